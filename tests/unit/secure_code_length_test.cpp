#include <gtest/gtest.h>

#include <string>

#include "core/enrollment/secure_code.h"

namespace digital_id {
namespace {

// A matcher that recursed once per character ran out of stack here.
TEST(SecureCodeLengthTest, CodesOfAMillionCharactersAreCheckedWithoutExhaustingTheStack) {
  std::u16string code(1000000, u'A');
  code[500000] = u'-';
  code[999999] = u'9';
  EXPECT_TRUE(IsValidSecureCode(code));
  code[999998] = u' ';
  EXPECT_FALSE(IsValidSecureCode(code));
  code[999998] = u'z';
  code[0] = char16_t(0x0141);
  EXPECT_FALSE(IsValidSecureCode(code));
}

}  // namespace
}  // namespace digital_id
