#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <span>

#include "base/secret_text.h"
#include "platform/cert_store.h"

namespace digital_id {

// How a finished file takes its name.
enum class Placement {
  NoReplace,  // refused when the name exists
  Replace,    // an existing file of that name is replaced in one step
};

// Outcome of an atomic write.
enum class WriteOutcome {
  Written,  // the file is in place, flushed
  Exists,   // NoReplace and the name was taken: nothing was written
  Failed,   // any other failure: nothing is left behind
};

// Prefix of the temporary files that writes leave only when the writer dies mid-way; readers
// never list them.
inline constexpr const char* kTemporaryPrefix = ".tmp-";

// Writes content to a temporary file in the target's folder with the given mode, flushes it and
// moves it to target, so that readers see either no file or the whole file.
WriteOutcome WriteFileAtomically(const std::filesystem::path& target,
                                 std::span<const std::uint8_t> content, mode_t mode,
                                 Placement placement);

// Points a symbolic link at target (a name relative to the link's folder), replacing an existing
// link of that name in one step; false on failure.
bool ReplaceSymlink(const std::filesystem::path& link, const std::string& target);

// The whole content of a file; nullopt when it cannot be read.
std::optional<Bytes> ReadWholeFile(const std::filesystem::path& path);
// The same for a file that holds a secret (a private key): every buffer of the read is wiped.
std::optional<SecretBytes> ReadWholeSecretFile(const std::filesystem::path& path);

// Flushes a folder itself, so that a rename or unlink in it survives a crash.
void SyncFolder(const std::filesystem::path& folder);

// Removes the temporary files and folders (see kTemporaryPrefix) of a folder. Only safe while no
// writer can be working in it (under its FolderLock, or when they are old).
void RemoveTemporaries(const std::filesystem::path& folder, long olderThanSeconds = 0);

}  // namespace digital_id
