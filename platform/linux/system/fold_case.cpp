#include "platform/linux/system/fold_case.h"

namespace digital_id {

namespace {

char16_t FoldOne(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
      (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
    return static_cast<char16_t>(c + 0x20);
  }
  if (c >= 0x400 && c <= 0x40F) {
    return static_cast<char16_t>(c + 0x50);
  }
  // Latin Extended-A: pairs of upper and lower case letters.
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return static_cast<char16_t>(c | 1);
  }
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
    return (c & 1) != 0 ? static_cast<char16_t>(c + 1) : c;
  }
  if (c == 0x178) {
    return 0xFF;
  }
  return c;
}

}  // namespace

std::u16string FoldCase(const std::u16string& text) {
  std::u16string folded(text);
  for (char16_t& c : folded) {
    c = FoldOne(c);
  }
  return folded;
}

}  // namespace digital_id
