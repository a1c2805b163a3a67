// Checks the secure-code test on arbitrary UTF-16 codes of any length against a plain reading of
// its rule: every code unit is an ASCII letter, digit or hyphen-minus.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/enrollment/secure_code.h"
#include "fuzz/fuzz_input.h"

namespace {

bool AllowedUnit(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
         c == u'-';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace digital_id;
  const std::u16string code = fuzzing::AsUtf16(data, size);
  fuzzing::Require(IsValidSecureCode(code) == std::all_of(code.begin(), code.end(), AllowedUnit));
  // The same bytes as 8-bit text widened one byte per character, as a pasted code arrives.
  std::u16string widened(data, data + size);
  fuzzing::Require(IsValidSecureCode(widened) ==
                   std::all_of(widened.begin(), widened.end(), AllowedUnit));
  return 0;
}
