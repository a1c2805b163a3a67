#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "platform/profile.h"

namespace digital_id {

// Reads settings from an INI file with the profile-string rules: section and key names compared
// without regard to case, only the first section of a name counts (a later one of the same name
// is ignored), the first occurrence of a key in it wins, values trimmed of blanks and of one pair
// of surrounding matching quotes, lines starting with ';' or '#' ignored. A section header is a
// line starting with '[' that holds a ']'; an unclosed "[Name" line is an ordinary line. Lines
// end at CR, LF or CR LF. The file may be UTF-8 (with or without a byte-order mark; a line that
// is not UTF-8 is read as 8-bit text) or UTF-16 with a byte-order mark. The file is read as a
// stream up to the end of the wanted section, whatever its size. A privileged run reads a file that
// another user could change as if it were missing, and says so once on standard error.
class IniProfile : public Profile {
 public:
  // The value of key in section of the file at path, cut to bufferChars - 1; empty if absent.
  std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                            std::size_t bufferChars, const std::u16string& path) override;
};

// The value of key in section of INI text already decoded to UTF-16; empty when absent.
std::u16string FindIniValue(const std::u16string& text, const std::u16string& section,
                            const std::u16string& key);

// The value of key in section of an INI byte stream, read only as far as needed; empty when
// absent.
std::u16string FindIniValueInStream(std::istream& in, const std::u16string& section,
                                    const std::u16string& key);

// INI file bytes decoded to UTF-16 according to their byte-order mark (UTF-8 without one;
// bytes that are not UTF-8 are read as 8-bit text).
std::u16string DecodeIniText(const std::string& bytes);

// One section of INI text with its entries in file order.
struct IniSection {
  std::u16string name;
  std::vector<std::pair<std::u16string, std::u16string>> entries;  // key and value
  // The value of the first entry whose key equals key without regard to case; null if none.
  const std::u16string* Find(const std::u16string& key) const;
};

// Every section of INI text in file order, with the line rules above (entries before the first
// header are dropped; sections of the same name stay separate).
std::vector<IniSection> ReadIniSections(const std::u16string& text);

}  // namespace digital_id
