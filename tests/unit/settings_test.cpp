#include <gtest/gtest.h>

#include "core/shell/app_state.h"
#include "core/shell/localised_text.h"
#include "core/shell/settings.h"
#include "platform/fake/fake_platform.h"

namespace digital_id {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes.Install();
    App().settingsPath = u"C:\\Installer\\app.ini";
  }
  fake::FakePlatform fakes;
};

TEST_F(SettingsTest, NumbersFollowAutomaticBaseAndStopAtTheFirstForeignCharacter) {
  EXPECT_EQ(NumberFromText(u"0x3E8"), 1000u);
  EXPECT_EQ(NumberFromText(u"0X5dc"), 1500u);
  EXPECT_EQ(NumberFromText(u"010"), 8u);
  EXPECT_EQ(NumberFromText(u"0673"), 443u);
  EXPECT_EQ(NumberFromText(u"1500ms"), 1500u);
  EXPECT_EQ(NumberFromText(u"abc"), 0u);
  EXPECT_EQ(NumberFromText(u""), 0u);
  EXPECT_EQ(NumberFromText(u"0x"), 0u);
  EXPECT_EQ(NumberFromText(u"-1"), 4294967295u);
  EXPECT_EQ(NumberFromText(u" 42"), 42u);
  EXPECT_EQ(NumberFromText(u"99999999999"), 4294967295u);
  // Only the low byte of each character counts: U+0131 narrows to '1'.
  EXPECT_EQ(NumberFromText(u"\u0131\u0132"), 12u);
}

TEST_F(SettingsTest, ValuesAreCutToTheirBufferLessOne) {
  fakes.profile.Set(u"DownloadTimeout", u"4294967295");
  EXPECT_EQ(ReadSetting(keys::kDownloadTimeout), u"429496729");
  EXPECT_EQ(NumberFromText(ReadSetting(keys::kDownloadTimeout)), 429496729u);
  fakes.profile.Set(u"CAIssuer", std::u16string(300, u'x'));
  EXPECT_EQ(ReadSetting(keys::kCaIssuer).size(), 255u);
  fakes.profile.Set(u"CATCPPortSHA256", u"6597999");
  EXPECT_EQ(ReadSetting(keys::kCaTcpPortSha256), u"65979");
  EXPECT_EQ(ReadSetting(keys::kCaAddress), u"");
}

TEST_F(SettingsTest, FlagIsTrueOnlyForTrueInAnyCase) {
  EXPECT_TRUE(FlagFromText(u"TRUE"));
  EXPECT_TRUE(FlagFromText(u"True"));
  EXPECT_TRUE(FlagFromText(u"true"));
  EXPECT_FALSE(FlagFromText(u"1"));
  EXPECT_FALSE(FlagFromText(u"yes"));
  EXPECT_FALSE(FlagFromText(u"truee"));
  EXPECT_FALSE(FlagFromText(u""));
  EXPECT_FALSE(FlagFromText(u" true"));
}

TEST_F(SettingsTest, OnlyExactFrSelectsFrench) {
  EXPECT_EQ(LanguageFromSetting(u"FR"), Language::French);
  EXPECT_EQ(LanguageFromSetting(u"fr"), Language::English);
  EXPECT_EQ(LanguageFromSetting(u"FRA"), Language::English);
  EXPECT_EQ(LanguageFromSetting(u""), Language::English);
  fakes.profile.Set(u"Language", u"FRANCE");
  EXPECT_EQ(ReadSetting(keys::kLanguage), u"FRA");
  EXPECT_EQ(ReadLanguage(), Language::English);
  fakes.profile.Set(u"Language", u"FR");
  EXPECT_EQ(ReadLanguage(), Language::French);
}

TEST_F(SettingsTest, ModeKeyPicksTheSha256TwinOnPostXpOrWhenForced) {
  App().isPostXp = 0;
  EXPECT_EQ(ModeKey(keys::kCaTcpPortSha256, keys::kCaTcpPortSha1).name, u"CATCPPortSHA1");
  App().forceSha256 = 1;
  EXPECT_EQ(ModeKey(keys::kCaTcpPortSha256, keys::kCaTcpPortSha1).name, u"CATCPPortSHA256");
  App().forceSha256 = 0;
  App().isPostXp = 1;
  EXPECT_EQ(ModeKey(keys::kCaTcpPortSha256, keys::kCaTcpPortSha1).name, u"CATCPPortSHA256");
}

TEST_F(SettingsTest, NothingIsReadWithoutASettingsPath) {
  App().settingsPath.clear();
  fakes.profile.Set(u"Language", u"FR");
  EXPECT_EQ(ReadSetting(keys::kLanguage), u"");
  EXPECT_TRUE(fakes.profile.KeysRead().empty());
}

TEST_F(SettingsTest, NarrowingKeepsTheLowByteAndWideningIsLatin1) {
  EXPECT_EQ(Narrow(u"ab\u00E9\u0141"), std::string("ab\xE9\x41"));
  EXPECT_EQ(WidenLatin1("a\xE9"), u"a\u00E9");
}

}  // namespace
}  // namespace digital_id
