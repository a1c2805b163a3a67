#pragma once

#include <sys/types.h>
#include <optional>
#include <string>

namespace digital_id::test_server {

// Writes content to path through a temporary file in the same folder that is synced and renamed
// into place, so a crash never leaves a half-written file. Returns false (with errno-based text in
// error) on failure.
bool WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode,
                         std::string& error);

// The whole content of a file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace digital_id::test_server
