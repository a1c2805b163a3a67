#include <gtest/gtest.h>

#include "core/shell/startup.h"
#include "core_test_fixture.h"

namespace digital_id {
namespace {

using testing::CoreTest;

class StartupTest : public CoreTest {
 protected:
  int Start() {
    App().settingsPath.clear();
    return RunInstaller(nullptr, 5);
  }
};

TEST_F(StartupTest, SettingsFileIsLookedForInTheCurrentDirectory) {
  fakes().system.currentDirectory = u"D:\\Elsewhere";
  fakes().windows.exitCodeOfLoop = 0;
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(App().settingsPath, u"D:\\Elsewhere\\app.ini");
  EXPECT_TRUE(fakes().windows.ClassRegistered());
  EXPECT_EQ(fakes().windows.Window().showCommand, 5);
  // The flags are read before the window exists.
  const auto keys = fakes().profile.KeysRead();
  ASSERT_GE(keys.size(), 3u);
  EXPECT_EQ(keys[0], u"AdvanceMode");
  EXPECT_EQ(keys[1], u"ForceSHA256");
  EXPECT_EQ(fakes().profile.BufferSizes()[0], 10u);
}

TEST_F(StartupTest, CurrentDirectoryTooLongMeansEverySettingReadsEmpty) {
  fakes().system.currentDirectory = std::u16string(300, u'a');
  fakes().profile.Set(u"AdvanceMode", u"TRUE");
  Start();
  EXPECT_EQ(App().settingsPath, u"");
  EXPECT_EQ(App().advanceMode.load(), 0u);
  EXPECT_EQ(fakes().windows.Window().title, u"Orvan Digital ID Installer");
}

TEST_F(StartupTest, OperatingSystemGenerationDecidesPostXp) {
  for (auto [major, expected] : {std::pair{5u, 0u}, {6u, 1u}, {10u, 1u}}) {
    Reset();
    fakes().system.osMajor = major;
    Start();
    EXPECT_EQ(App().isPostXp.load(), expected) << major;
    EXPECT_EQ(App().lineColour.load(), 0u);
  }
}

TEST_F(StartupTest, FlagsFollowTheFlagRule) {
  fakes().profile.Set(u"AdvanceMode", u"TRUE");
  fakes().profile.Set(u"ForceSHA256", u"yes");
  Start();
  EXPECT_EQ(App().advanceMode.load(), 1u);
  EXPECT_EQ(App().forceSha256.load(), 0u);
  EXPECT_NE(App().userRadio, nullptr);

  Reset();
  fakes().profile.Set(u"AdvanceMode", u"1");
  fakes().profile.Set(u"ForceSHA256", u"True");
  Start();
  EXPECT_EQ(App().advanceMode.load(), 0u);
  EXPECT_EQ(App().forceSha256.load(), 1u);
  EXPECT_EQ(App().userRadio, nullptr);
  EXPECT_EQ(App().machineRadio, nullptr);
}

TEST_F(StartupTest, FailedVersionQueryIsReportedAndOnlyCodeBoxAndSubmitAreDisabled) {
  for (bool french : {false, true}) {
    Reset();
    if (french) fakes().profile.Set(u"Language", u"FR");
    fakes().profile.Set(u"AdvanceMode", u"true");
    fakes().system.osMajor.reset();
    fakes().windows.exitCodeOfLoop = 0;
    EXPECT_EQ(Start(), 0);
    EXPECT_EQ(App().isPostXp.load(), 0u);
    EXPECT_EQ(App().lineColour.load(), 153u);
    EXPECT_EQ(Status(),
              french ? u"Erreur de détection du système d'exploitation." : u"OS detection error.");
    EXPECT_EQ(Detail(), french ? u"Incapable de détecter le système d'exploitation."
                               : u"Unable to detect operating system.");
    const AppState& app = App();
    EXPECT_FALSE(fakes().windows.IsEnabled(app.codeEdit));
    EXPECT_FALSE(fakes().windows.IsEnabled(app.submitButton));
    EXPECT_TRUE(fakes().windows.IsEnabled(app.pasteButton));
    EXPECT_TRUE(fakes().windows.IsEnabled(app.closeButton));
    EXPECT_TRUE(fakes().windows.IsEnabled(app.userRadio));
    EXPECT_TRUE(fakes().windows.IsEnabled(app.machineRadio));
  }
}

TEST_F(StartupTest, FailedWindowCreationEndsWithZeroAndShowsNothing) {
  fakes().windows.failCreateWindow = true;
  fakes().system.osMajor.reset();
  fakes().windows.exitCodeOfLoop = 7;  // would show if the loop ran
  EXPECT_EQ(Start(), 0);
  EXPECT_TRUE(fakes().windows.Events().empty());
}

TEST_F(StartupTest, CloseAndDestructionQuitWithZero) {
  Start();
  fakes().windows.Press(App().closeButton);
  EXPECT_EQ(fakes().windows.PostedQuit(), 0);
  EXPECT_EQ(fakes().windows.RunMessageLoop(), 0);

  Reset();
  Start();
  fakes().windows.CloseWindow();
  EXPECT_EQ(fakes().windows.PostedQuit(), 0);
}

TEST_F(StartupTest, TitleFollowsLanguageAtCreation) {
  fakes().profile.Set(u"Language", u"FR");
  Start();
  EXPECT_EQ(fakes().windows.Window().title,
            u"Programme d'installation du code d'identification numérique");
}

}  // namespace
}  // namespace digital_id
