#pragma once

#include <cstddef>
#include <string>

namespace digital_id {

// Profile-string reads from an INI file.
class Profile {
 public:
  virtual ~Profile() = default;

  // Reads key in section of the file at path into a buffer of bufferChars characters, terminator
  // included: a longer value is cut to bufferChars - 1 characters. A missing file, section or key
  // reads as the empty text.
  virtual std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                                    std::size_t bufferChars, const std::u16string& path) = 0;
};

}  // namespace digital_id
