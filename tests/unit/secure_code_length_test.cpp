#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "base/secret_text.h"
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

// The run keeps the code as secret text: the window's answer it was taken from is wiped at once,
// and a short code, kept inside the object rather than on the heap, is wiped with the object.
TEST(SecureCodeLengthTest, TheCodeIsWipedFromTheAnswerItCameInAndFromTheRunsCopy) {
  std::u16string answer(200, u'Q');
  const SecretU16Text taken = TakeSecret(std::move(answer));
  EXPECT_EQ(taken, std::u16string_view(std::u16string(200, u'Q')));
  EXPECT_TRUE(std::all_of(answer.data(), answer.data() + answer.capacity(),
                          [](char16_t c) { return c == 0; }));

  alignas(SecretU16Text) std::array<unsigned char, sizeof(SecretU16Text)> storage{};
  SecretU16Text* code =
      std::construct_at(reinterpret_cast<SecretU16Text*>(storage.data()), u"AB-1");
  const auto holds = [&storage] {
    const std::u16string_view wanted = u"AB-1";
    const auto* bytes = reinterpret_cast<const unsigned char*>(wanted.data());
    return std::search(storage.begin(), storage.end(), bytes,
                       bytes + wanted.size() * sizeof(char16_t)) != storage.end();
  };
  EXPECT_TRUE(holds());  // the check sees the code where it is
  std::destroy_at(code);
  EXPECT_FALSE(holds());
}

}  // namespace
}  // namespace digital_id
