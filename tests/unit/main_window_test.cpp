#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "core_test_fixture.h"
#include "shell/main_window_layout.h"

namespace digital_id {
namespace {

using testing::CoreTest;
using Geometry = std::tuple<std::u16string, std::u16string, int, int, int, int, int>;

std::vector<Geometry> CreatedControls(const fake::FakeWindowSystem& windows) {
  std::vector<Geometry> all;
  for (const fake::FakeControl* c : windows.Controls()) {
    const ControlCreation& k = c->creation;
    all.emplace_back(k.className, k.text, k.x, k.y, k.width, k.height, k.id);
  }
  return all;
}

class MainWindowTest : public CoreTest {};

TEST_F(MainWindowTest, ControlsOfTheSimpleLayoutInEnglish) {
  CreateWindow(false);
  const std::vector<Geometry> expected{
      {u"Edit", u"", 10, 29, 550, 20, 0},        {u"Button", u"Paste", 570, 28, 75, 22, 3},
      {u"Button", u"Submit", 10, 85, 75, 22, 1}, {u"Button", u"Close", 570, 85, 75, 22, 4},
      {u"STATIC", u"", 10, 110, 800, 19, 0},     {u"STATIC", u"", 12, 130, 800, 30, 0}};
  EXPECT_EQ(CreatedControls(fakes().windows), expected);
  EXPECT_EQ(fakes().windows.FontHeights(), (std::vector<int>{17, 0, 0, 0, 19, 17}));
  EXPECT_EQ(App().userRadio, nullptr);
}

TEST_F(MainWindowTest, ControlsOfTheAdvanceLayoutInEnglishAndFrench) {
  CreateWindow(true);
  const std::vector<Geometry> english{
      {u"Edit", u"", 10, 29, 420, 20, 0},           {u"Button", u"Paste", 438, 28, 75, 22, 3},
      {u"Button", u"Submit", 10, 85, 75, 22, 1},    {u"Button", u"Close", 570, 85, 75, 22, 4},
      {u"Button", u"Context", 520, 14, 126, 42, 0}, {u"Button", u"User", 526, 31, 47, 17, 0},
      {u"Button", u"Machine", 575, 31, 66, 17, 0},  {u"STATIC", u"", 10, 110, 800, 19, 0},
      {u"STATIC", u"", 12, 130, 800, 30, 0}};
  EXPECT_EQ(CreatedControls(fakes().windows), english);
  // The group and its two radio buttons share one font object.
  EXPECT_EQ(fakes().windows.FontHeights(), (std::vector<int>{17, 0, 0, 0, 17, 19, 17}));
  EXPECT_EQ(fakes().windows.GetCheck(App().userRadio), 1);
  EXPECT_EQ(fakes().windows.GetCheck(App().machineRadio), 0);

  Reset();
  SetFrench();
  CreateWindow(true);
  const std::vector<Geometry> french{{u"Edit", u"", 10, 29, 420, 20, 0},
                                     {u"Button", u"Coller", 438, 28, 75, 22, 3},
                                     {u"Button", u"Soumettre", 10, 85, 82, 22, 1},
                                     {u"Button", u"Fermer", 570, 85, 75, 22, 4},
                                     {u"Button", u"Contexte", 515, 14, 138, 42, 0},
                                     {u"Button", u"Utilisateur", 521, 31, 70, 17, 0},
                                     {u"Button", u"Appareil", 592, 31, 58, 17, 0},
                                     {u"STATIC", u"", 10, 110, 800, 19, 0},
                                     {u"STATIC", u"", 12, 130, 800, 30, 0}};
  EXPECT_EQ(CreatedControls(fakes().windows), french);
}

TEST_F(MainWindowTest, StylesLimitAndHandlesAreSetAtCreation) {
  CreateWindow(true);
  const auto controls = fakes().windows.Controls();
  ASSERT_EQ(controls.size(), 9u);
  EXPECT_EQ(controls[0]->creation.style, 0x50800080u);  // child, visible, border, autoscroll
  EXPECT_EQ(controls[0]->limit, 64);
  EXPECT_EQ(controls[1]->creation.style, 0x50000001u);
  EXPECT_EQ(controls[4]->creation.style, 0x50000007u);
  EXPECT_EQ(controls[5]->creation.style, 0x50000009u);
  EXPECT_EQ(controls[7]->creation.style, 0x50000000u);
  EXPECT_EQ(App().codeEdit, controls[0]);
  EXPECT_EQ(App().statusLine, controls[7]);
  EXPECT_EQ(App().detailLine, controls[8]);
  EXPECT_TRUE(IsColouredLine(App().statusLine));
  EXPECT_TRUE(IsColouredLine(App().detailLine));
  EXPECT_FALSE(IsColouredLine(App().userRadio));
  EXPECT_FALSE(IsColouredLine(nullptr));
}

TEST_F(MainWindowTest, CaptionsFollowTheLanguageOfEachPaint) {
  auto captions = CaptionsToPaint();
  ASSERT_EQ(captions.size(), 2u);
  EXPECT_EQ(captions[0].text, u"Secure Code");
  EXPECT_EQ(captions[0].fontHeight, 19);
  EXPECT_EQ(captions[1].y, 52);
  EXPECT_EQ(captions[1].text,
            u"Click in the box to activate the cursor. Click the Paste button to paste the Secure "
            u"Code into the box.\nClick Submit.");
  SetFrench();
  captions = CaptionsToPaint();
  EXPECT_EQ(captions[0].text, u"Code de sécurité");
  EXPECT_EQ(captions[1].text,
            u"Cliquer dans la case pour activer le curseur. Cliquer sur le bouton « Coller » pour "
            u"saisir \nle code de sécurité dans la case. Cliquez sur « Soumettre ».");
}

TEST_F(MainWindowTest, PasteTakesAtMost64CharactersAndReplacesTheBox) {
  CreateWindow();
  fakes().windows.Type(App().codeEdit, u"old");
  fakes().windows.clipboard = std::string(100, 'A');
  OnMainWindowCommand(3);
  EXPECT_EQ(fakes().windows.TextOf(App().codeEdit), std::u16string(64, u'A'));

  fakes().windows.clipboard = std::string("ABCDE-1234");
  OnMainWindowCommand(3);
  EXPECT_EQ(fakes().windows.TextOf(App().codeEdit), u"ABCDE-1234");

  // Bytes become characters one by one, line breaks and all.
  fakes().windows.clipboard = std::string("A\xE9 1\r\n");
  OnMainWindowCommand(3);
  EXPECT_EQ(fakes().windows.TextOf(App().codeEdit), u"A\u00E9 1\r\n");
}

TEST_F(MainWindowTest, PasteWithoutTextLeavesTheBoxUnchanged) {
  CreateWindow();
  fakes().windows.Type(App().codeEdit, u"KEEP-ME");
  fakes().windows.clipboard.reset();
  fakes().windows.ClearEvents();
  OnMainWindowCommand(3);
  EXPECT_EQ(fakes().windows.TextOf(App().codeEdit), u"KEEP-ME");
  EXPECT_TRUE(fakes().windows.Events().empty());
}

TEST_F(MainWindowTest, SubmitDisablesTheFourInOrderBeforeTheRunStarts) {
  CreateWindow();
  fakes().system.threadMode = fake::ThreadMode::Fail;
  fakes().windows.ClearEvents();
  OnMainWindowCommand(1);
  const auto events = fakes().windows.Events();
  ASSERT_EQ(events.size(), 8u);
  const AppState& app = App();
  const WindowHandle order[] = {app.codeEdit, app.submitButton, app.pasteButton, app.closeButton};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(events[i].kind, fake::WindowEvent::Kind::Enable);
    EXPECT_EQ(events[i].control, order[i]);
    EXPECT_FALSE(events[i].enabled);
    // A worker that cannot be started gives the controls back in the same order.
    EXPECT_EQ(events[4 + i].control, order[i]);
    EXPECT_TRUE(events[4 + i].enabled);
  }
  EXPECT_TRUE(InputControlsEnabled());
}

TEST_F(MainWindowTest, UnknownCommandsDoNothing) {
  CreateWindow();
  fakes().windows.ClearEvents();
  OnMainWindowCommand(0);
  OnMainWindowCommand(2);
  EXPECT_TRUE(fakes().windows.Events().empty());
  EXPECT_EQ(fakes().system.ThreadsStarted(), 0);
  // Only the low 16 bits carry the id; the notification code above them is ignored.
  OnMainWindowCommand((1 << 16) | 4);
  EXPECT_EQ(fakes().windows.PostedQuit(), 0);
}

}  // namespace
}  // namespace digital_id
