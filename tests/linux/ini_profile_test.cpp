#include <gtest/gtest.h>

#include "platform/linux/system/ini_profile.h"
#include "tests/support/backend_test_support.h"

namespace digital_id::backend_tests {
namespace {

class IniProfileTest : public ::testing::Test {
 protected:
  std::u16string PathOf(const std::string& name) const {
    const std::string path = folder.Path() + "/" + name;
    return std::u16string(path.begin(), path.end());
  }
  std::u16string Read(const std::u16string& section, const std::u16string& key,
                      const std::string& file, std::size_t bufferChars = 256) {
    return profile.ReadString(section, key, bufferChars, PathOf(file));
  }

  ScratchFolder folder;
  IniProfile profile;
};

TEST_F(IniProfileTest, NamesIgnoreCaseTheFirstOccurrenceWinsAndValuesAreTrimmedAndUnquoted) {
  ASSERT_TRUE(WriteFile(folder.Path() + "/app.ini",
                        "; settings\r\n"
                        "[Other]\r\n"
                        "Language=EN\r\n"
                        "[AppSettings]\r\n"
                        "  language =  FR  \r\n"
                        "LANGUAGE=EN\r\n"
                        "# CAIssuer=commented\r\n"
                        ";CAAddress=commented\r\n"
                        "CAIssuer = \"  Quoted Issuer  \"\r\n"
                        "Single='x'\r\n"
                        "Mixed=\"unbalanced'\r\n"
                        "Empty=\r\n"
                        "Equals=a=b\r\n"
                        "[appsettings]\r\n"
                        "CAAddress=later.example\r\n"));
  EXPECT_EQ(Read(u"AppSettings", u"Language", "app.ini"), u"FR");
  EXPECT_EQ(Read(u"APPSETTINGS", u"caissuer", "app.ini"), u"  Quoted Issuer  ");
  EXPECT_EQ(Read(u"AppSettings", u"Single", "app.ini"), u"x");
  EXPECT_EQ(Read(u"AppSettings", u"Mixed", "app.ini"), u"\"unbalanced'");
  EXPECT_EQ(Read(u"AppSettings", u"Empty", "app.ini"), u"");
  EXPECT_EQ(Read(u"AppSettings", u"Equals", "app.ini"), u"a=b");
  // A second section of the same name is ignored.
  EXPECT_EQ(Read(u"AppSettings", u"CAAddress", "app.ini"), u"");
  EXPECT_EQ(Read(u"Other", u"Language", "app.ini"), u"EN");
}

TEST_F(IniProfileTest, MissingFileSectionOrKeyReadsEmptyAndLongValuesAreCut) {
  ASSERT_TRUE(WriteFile(folder.Path() + "/app.ini", "[AppSettings]\nLanguage=FRANCE\n"));
  EXPECT_EQ(Read(u"AppSettings", u"Language", "app.ini", 4), u"FRA");
  EXPECT_EQ(Read(u"AppSettings", u"Language", "app.ini", 1), u"");
  EXPECT_EQ(Read(u"AppSettings", u"Language", "app.ini", 0), u"");
  EXPECT_EQ(Read(u"AppSettings", u"Missing", "app.ini"), u"");
  EXPECT_EQ(Read(u"Nowhere", u"Language", "app.ini"), u"");
  EXPECT_EQ(Read(u"AppSettings", u"Language", "absent.ini"), u"");
  EXPECT_EQ(profile.ReadString(u"AppSettings", u"Language", 10, u""), u"");
}

TEST_F(IniProfileTest, Utf16AndUtf8FilesWithByteOrderMarksAreRead) {
  const std::u16string text = u"[AppSettings]\r\nCAIssuer=\u00C9metteur \u0434\r\n";
  std::string utf16le = "\xFF\xFE";
  for (const char16_t c : text) {
    utf16le.push_back(static_cast<char>(c & 0xFF));
    utf16le.push_back(static_cast<char>(c >> 8));
  }
  ASSERT_TRUE(WriteFile(folder.Path() + "/utf16.ini", utf16le));
  EXPECT_EQ(Read(u"appsettings", u"CAISSUER", "utf16.ini"), u"\u00C9metteur \u0434");

  ASSERT_TRUE(WriteFile(folder.Path() + "/utf8bom.ini",
                        "\xEF\xBB\xBF[AppSettings]\nCAIssuer=\xC3\x89metteur\n"));
  EXPECT_EQ(Read(u"AppSettings", u"CAIssuer", "utf8bom.ini"), u"\u00C9metteur");
  ASSERT_TRUE(
      WriteFile(folder.Path() + "/plain.ini", "[AppSettings]\nCAIssuer=\xC3\x89t\xC3\xA9\n"));
  EXPECT_EQ(Read(u"AppSettings", u"CAIssuer", "plain.ini"), u"\u00C9t\u00E9");
  // Bytes that are not UTF-8 are read one character each, as Latin-1.
  ASSERT_TRUE(WriteFile(folder.Path() + "/latin1.ini", "[AppSettings]\nCAIssuer=\xC9t\xE9\n"));
  EXPECT_EQ(Read(u"AppSettings", u"CAIssuer", "latin1.ini"), u"\u00C9t\u00E9");
  // A file path with characters outside ASCII reaches the file system as UTF-8.
  ASSERT_TRUE(WriteFile(folder.Path() + "/r\xC3\xA9glages.ini", "[AppSettings]\nLanguage=FR\n"));
  EXPECT_EQ(profile.ReadString(u"AppSettings", u"Language", 4, PathOf("r") + u"\u00E9glages.ini"),
            u"FR");
}

TEST_F(IniProfileTest, LinesEndAtAnyLineBreakUnclosedHeadersAreNoSectionsAndLargeFilesAreRead) {
  ASSERT_TRUE(
      WriteFile(folder.Path() + "/cr.ini", "[AppSettings]\rLanguage=FR\rCAIssuer=Issuer\r"));
  EXPECT_EQ(Read(u"AppSettings", u"Language", "cr.ini"), u"FR");
  EXPECT_EQ(Read(u"AppSettings", u"CAIssuer", "cr.ini"), u"Issuer");
  ASSERT_TRUE(WriteFile(folder.Path() + "/mixed.ini", "[AppSettings]\r\nA=1\rB=2\nC=3"));
  EXPECT_EQ(Read(u"AppSettings", u"A", "mixed.ini"), u"1");
  EXPECT_EQ(Read(u"AppSettings", u"B", "mixed.ini"), u"2");
  EXPECT_EQ(Read(u"AppSettings", u"C", "mixed.ini"), u"3");

  // "[Other" is an ordinary line: B still belongs to AppSettings. "[AppSettings" opens nothing.
  ASSERT_TRUE(WriteFile(folder.Path() + "/unclosed.ini",
                        "[AppSettings]\nA=1\n[Other\nB=2\n[AppSettings\nC=3\n"));
  EXPECT_EQ(Read(u"AppSettings", u"B", "unclosed.ini"), u"2");
  EXPECT_EQ(Read(u"AppSettings", u"C", "unclosed.ini"), u"3");
  EXPECT_EQ(Read(u"Other", u"B", "unclosed.ini"), u"");
  ASSERT_TRUE(WriteFile(folder.Path() + "/never.ini", "[AppSettings\nLanguage=FR\n"));
  EXPECT_EQ(Read(u"AppSettings", u"Language", "never.ini"), u"");

  // A file of more than 4 MiB: keys before and after the bulk are found.
  const std::string filler(100, 'x');
  std::string big = "[AppSettings]\nLanguage=FR\n";
  while (big.size() < 5 * 1024 * 1024) {
    big += "; " + filler + "\n";
  }
  big += "CAIssuer=After The Bulk\n[Later]\nKey=V\n";
  ASSERT_TRUE(WriteFile(folder.Path() + "/big.ini", big));
  EXPECT_EQ(Read(u"AppSettings", u"Language", "big.ini"), u"FR");
  EXPECT_EQ(Read(u"AppSettings", u"CAIssuer", "big.ini"), u"After The Bulk");
  EXPECT_EQ(Read(u"Later", u"Key", "big.ini"), u"V");
  // Something that is not a regular file reads as missing.
  EXPECT_EQ(profile.ReadString(u"AppSettings", u"Language", 10, u"/dev/zero"), u"");
}

}  // namespace
}  // namespace digital_id::backend_tests
