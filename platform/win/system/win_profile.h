#pragma once

#include "platform/profile.h"

namespace digital_id {

// Profile-string reads through GetPrivateProfileStringW.
class WinProfile : public Profile {
 public:
  // GetPrivateProfileStringW with the empty default into a buffer of bufferChars characters.
  std::u16string ReadString(const std::u16string& section, const std::u16string& key,
                            std::size_t bufferChars, const std::u16string& path) override;
};

}  // namespace digital_id
