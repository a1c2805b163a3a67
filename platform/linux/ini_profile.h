#pragma once

#include <cstddef>
#include <string>

#include "platform/profile.h"

namespace digital_id {

// Reads settings from an INI file with the profile-string rules: section and key names compared
// without regard to case, the first occurrence of a key wins, values trimmed of blanks and of
// one pair of surrounding matching quotes, lines starting with ';' or '#' ignored. The file may
// be UTF-8 (with or without a byte-order mark) or UTF-16 with a byte-order mark.
class IniProfile : public Profile {
 public:
  // The value of key in section of the file at path, cut to bufferChars - 1; empty if absent.
  std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                            std::size_t bufferChars, const std::u16string& path) override;
};

// The value of key in section of INI text already decoded to UTF-16; empty when absent.
std::u16string FindIniValue(const std::u16string& text, const std::u16string& section,
                            const std::u16string& key);

// INI file bytes decoded to UTF-16 according to their byte-order mark (UTF-8 without one;
// bytes that are not UTF-8 are read as 8-bit text).
std::u16string DecodeIniText(const std::string& bytes);

}  // namespace digital_id
