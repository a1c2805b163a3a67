#include <gtest/gtest.h>

#include <limits>

#include "platform/linux/stores/file_cert_services.h"
#include "tests/support/backend_test_support.h"

namespace digital_id::backend_tests {
namespace {

constexpr std::size_t kBuffer = 256;

std::u16string Render(const std::vector<NameAttribute>& attributes,
                      std::size_t bufferChars = kBuffer) {
  const X509NamePtr name = MakeName(attributes);
  EXPECT_TRUE(name);
  FileCertServices services;
  return name ? services.NameToSimpleString(NameDer(name.get()), bufferChars) : u"<no name>";
}

TEST(SimpleNameTest, ValuesAreJoinedInEncodedOrderWithRdnAndAttributeSeparators) {
  EXPECT_EQ(Render({{"C", "FR", V_ASN1_PRINTABLESTRING}, {"O", "Acme"}, {"CN", "Jane Doe"}}),
            u"FR, Acme, Jane Doe");
  EXPECT_EQ(Render({{"CN", "Jane"}, {"UID", "jd42", V_ASN1_UTF8STRING, true}, {"O", "Acme"}}),
            u"Jane + jd42, Acme");
}

TEST(SimpleNameTest, ValuesWithReservedCharactersAreQuotedWithQuotesDoubled) {
  EXPECT_EQ(Render({{"O", "Acme, Inc."}}), u"\"Acme, Inc.\"");
  EXPECT_EQ(Render({{"CN", "Say \"hi\""}}), u"\"Say \"\"hi\"\"\"");
  EXPECT_EQ(Render({{"CN", " lead"}}), u"\" lead\"");
  EXPECT_EQ(Render({{"CN", "trail "}}), u"\"trail \"");
  EXPECT_EQ(Render({{"CN", ""}}), u"\"\"");
  EXPECT_EQ(Render({{"CN", "a=b"}}), u"\"a=b\"");
  EXPECT_EQ(Render({{"CN", "x+y"}}), u"\"x+y\"");
  EXPECT_EQ(Render({{"CN", "#1"}}), u"\"#1\"");
  EXPECT_EQ(Render({{"CN", "a;b"}}), u"\"a;b\"");
  EXPECT_EQ(Render({{"CN", "<tag>"}}), u"\"<tag>\"");
  EXPECT_EQ(Render({{"CN", "two\nlines"}}), u"\"two\nlines\"");
  EXPECT_EQ(Render({{"CN", "in side"}, {"O", "Dot.Com"}}), u"in side, Dot.Com");
}

TEST(SimpleNameTest, StringTypesDecodeToTheSameText) {
  EXPECT_EQ(Render({{"CN", "\xC3\xA9t\xC3\xA9"}}), u"\u00E9t\u00E9");               // UTF8String
  EXPECT_EQ(Render({{"CN", std::string("\0\xE9\0t\0\xE9", 6), V_ASN1_BMPSTRING}}),  // BMPString
            u"\u00E9t\u00E9");
  EXPECT_EQ(Render({{"CN", "plain", V_ASN1_PRINTABLESTRING}}), u"plain");
  EXPECT_EQ(Render({{"emailAddress", "a@b.c", V_ASN1_IA5STRING}}), u"a@b.c");
  EXPECT_EQ(Render({{"CN", "caf\xE9", V_ASN1_T61STRING}}), u"caf\u00E9");
}

TEST(SimpleNameTest, ResultIsCutToTheBufferAndBadInputGivesNothing) {
  EXPECT_EQ(Render({{"C", "FR"}, {"O", "Acme"}, {"CN", "Jane"}}, 5), u"FR, ");
  EXPECT_EQ(Render({{"CN", "Jane"}}, 1), u"");
  FileCertServices services;
  EXPECT_EQ(services.NameToSimpleString({0x30, 0x05, 0x31}, kBuffer), u"");
  EXPECT_EQ(services.NameToSimpleString({}, kBuffer), u"");
}

}  // namespace
}  // namespace digital_id::backend_tests
