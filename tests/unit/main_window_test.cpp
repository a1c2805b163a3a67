#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "core/shell/main_window_layout.h"
#include "core_test_fixture.h"

namespace digital_id {
namespace {

using testing::CoreTest;
using Geometry = std::tuple<ControlKind, std::u16string, int, int, int, int, int>;

constexpr ControlKind kEdit = ControlKind::EditBox;
constexpr ControlKind kPush = ControlKind::PushButton;
constexpr ControlKind kGroup = ControlKind::GroupBox;
constexpr ControlKind kRadio = ControlKind::RadioButton;
constexpr ControlKind kStatic = ControlKind::StaticText;

std::vector<Geometry> CreatedControls(const fake::FakeWindowSystem& windows) {
  std::vector<Geometry> all;
  for (const fake::FakeControl* c : windows.Controls()) {
    const ControlDescription& d = c->description;
    all.emplace_back(d.kind, d.text, d.rect.x, d.rect.y, d.rect.width, d.rect.height, d.command);
  }
  return all;
}

class MainWindowTest : public CoreTest {};

TEST_F(MainWindowTest, ControlsOfTheSimpleLayoutInEnglish) {
  CreateWindow(false);
  const std::vector<Geometry> expected{
      {kEdit, u"", 10, 29, 550, 20, 0},      {kPush, u"Paste", 570, 28, 75, 22, 3},
      {kPush, u"Submit", 10, 85, 75, 22, 1}, {kPush, u"Close", 570, 85, 75, 22, 4},
      {kStatic, u"", 10, 110, 800, 19, 0},   {kStatic, u"", 12, 130, 800, 30, 0}};
  EXPECT_EQ(CreatedControls(fakes().windows), expected);
  EXPECT_EQ(fakes().windows.FontHeights(), (std::vector<int>{17, 0, 0, 0, 19, 17}));
  EXPECT_EQ(App().userRadio, nullptr);
  const MainWindowDescription window = fakes().windows.Window();
  EXPECT_EQ(window.width, 665);
  EXPECT_EQ(window.height, 190);
}

TEST_F(MainWindowTest, ControlsOfTheAdvanceLayoutInEnglishAndFrench) {
  CreateWindow(true);
  const std::vector<Geometry> english{
      {kEdit, u"", 10, 29, 420, 20, 0},          {kPush, u"Paste", 438, 28, 75, 22, 3},
      {kPush, u"Submit", 10, 85, 75, 22, 1},     {kPush, u"Close", 570, 85, 75, 22, 4},
      {kGroup, u"Context", 520, 14, 126, 42, 0}, {kRadio, u"User", 526, 31, 47, 17, 0},
      {kRadio, u"Machine", 575, 31, 66, 17, 0},  {kStatic, u"", 10, 110, 800, 19, 0},
      {kStatic, u"", 12, 130, 800, 30, 0}};
  EXPECT_EQ(CreatedControls(fakes().windows), english);
  // The group and its two radio buttons share one font object.
  EXPECT_EQ(fakes().windows.FontHeights(), (std::vector<int>{17, 0, 0, 0, 17, 19, 17}));
  EXPECT_TRUE(fakes().windows.IsChecked(App().userRadio));
  EXPECT_FALSE(fakes().windows.IsChecked(App().machineRadio));

  Reset();
  SetFrench();
  CreateWindow(true);
  const std::vector<Geometry> french{
      {kEdit, u"", 10, 29, 420, 20, 0},           {kPush, u"Coller", 438, 28, 75, 22, 3},
      {kPush, u"Soumettre", 10, 85, 82, 22, 1},   {kPush, u"Fermer", 570, 85, 75, 22, 4},
      {kGroup, u"Contexte", 515, 14, 138, 42, 0}, {kRadio, u"Utilisateur", 521, 31, 70, 17, 0},
      {kRadio, u"Appareil", 592, 31, 58, 17, 0},  {kStatic, u"", 10, 110, 800, 19, 0},
      {kStatic, u"", 12, 130, 800, 30, 0}};
  EXPECT_EQ(CreatedControls(fakes().windows), french);
}

TEST_F(MainWindowTest, LimitCheckFontsAndHandlesAreSetAtCreation) {
  CreateWindow(true);
  const auto controls = fakes().windows.Controls();
  ASSERT_EQ(controls.size(), 9u);
  EXPECT_EQ(controls[0]->description.textLimit, 64);
  for (std::size_t i = 1; i < controls.size(); ++i) {
    EXPECT_EQ(controls[i]->description.textLimit, 0) << i;
  }
  EXPECT_TRUE(controls[5]->description.checked);
  EXPECT_FALSE(controls[6]->description.checked);
  // Each control has a font object of its own, except the radio buttons, which draw in the
  // group's.
  EXPECT_EQ(controls[5]->font, controls[4]->font);
  EXPECT_EQ(controls[6]->font, controls[4]->font);
  EXPECT_NE(controls[7]->font, controls[4]->font);
  EXPECT_EQ(App().codeEdit, controls[0]);
  EXPECT_EQ(App().pasteButton, controls[1]);
  EXPECT_EQ(App().submitButton, controls[2]);
  EXPECT_EQ(App().closeButton, controls[3]);
  EXPECT_EQ(App().userRadio, controls[5]);
  EXPECT_EQ(App().machineRadio, controls[6]);
  EXPECT_EQ(App().statusLine, controls[7]);
  EXPECT_EQ(App().detailLine, controls[8]);
}

TEST_F(MainWindowTest, OnlyTheTwoLinesAreDrawnInTheLineColour) {
  CreateWindow(true);
  for (const auto& [colour, rgb] :
       {std::pair{153u, Rgb{153, 0, 0}}, std::pair{0x8000u, Rgb{0, 128, 0}}}) {
    App().lineColour = colour;
    for (WindowHandle line : {App().statusLine, App().detailLine}) {
      const std::optional<Rgb> painted = fakes().windows.PaintedColour(line);
      ASSERT_TRUE(painted.has_value());
      EXPECT_EQ(std::tuple(painted->red, painted->green, painted->blue),
                std::tuple(rgb.red, rgb.green, rgb.blue));
    }
  }
  for (WindowHandle other : {App().codeEdit, App().userRadio, WindowHandle{}}) {
    EXPECT_FALSE(fakes().windows.PaintedColour(other).has_value());
  }
}

TEST_F(MainWindowTest, CaptionsFollowTheLanguageOfEachPaint) {
  CreateWindow();
  auto captions = fakes().windows.PaintCaptions();
  ASSERT_EQ(captions.size(), 2u);
  EXPECT_EQ(captions[0].text, u"Secure Code");
  EXPECT_EQ(captions[0].fontHeight, 19);
  EXPECT_EQ(captions[1].y, 52);
  EXPECT_EQ(captions[1].text,
            u"Click in the box to activate the cursor. Click the Paste button to paste the Secure "
            u"Code into the box.\nClick Submit.");
  SetFrench();
  captions = fakes().windows.PaintCaptions();
  EXPECT_EQ(captions[0].text, u"Code de sécurité");
  EXPECT_EQ(captions[1].text,
            u"Cliquer dans la case pour activer le curseur. Cliquer sur le bouton « Coller » pour "
            u"saisir \nle code de sécurité dans la case. Cliquez sur « Soumettre ».");
}

TEST_F(MainWindowTest, PasteTakesAtMost64CharactersAndReplacesTheBox) {
  CreateWindow();
  fakes().windows.Type(App().codeEdit, u"old");
  fakes().windows.clipboard = std::string(100, 'A');
  fakes().windows.Press(App().pasteButton);
  EXPECT_EQ(fakes().windows.TextOf(App().codeEdit), std::u16string(64, u'A'));

  fakes().windows.clipboard = std::string("ABCDE-1234");
  fakes().windows.Press(App().pasteButton);
  EXPECT_EQ(fakes().windows.TextOf(App().codeEdit), u"ABCDE-1234");

  // Bytes become characters one by one, line breaks and all.
  fakes().windows.clipboard = std::string("A\xE9 1\r\n");
  fakes().windows.Press(App().pasteButton);
  EXPECT_EQ(fakes().windows.TextOf(App().codeEdit), u"A\u00E9 1\r\n");
}

TEST_F(MainWindowTest, PasteWithoutTextLeavesTheBoxUnchanged) {
  CreateWindow();
  fakes().windows.Type(App().codeEdit, u"KEEP-ME");
  fakes().windows.clipboard.reset();
  fakes().windows.ClearEvents();
  fakes().windows.Press(App().pasteButton);
  EXPECT_EQ(fakes().windows.TextOf(App().codeEdit), u"KEEP-ME");
  EXPECT_TRUE(fakes().windows.Events().empty());
}

TEST_F(MainWindowTest, SubmitDisablesTheFourInOrderBeforeTheRunStarts) {
  CreateWindow();
  fakes().system.threadMode = fake::ThreadMode::Fail;
  fakes().windows.ClearEvents();
  fakes().windows.Press(App().submitButton);
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
  OnMainWindowCommand((1 << 16) | 4);
  EXPECT_TRUE(fakes().windows.Events().empty());
  EXPECT_EQ(fakes().system.ThreadsStarted(), 0);
  EXPECT_FALSE(fakes().windows.PostedQuit().has_value());
}

}  // namespace
}  // namespace digital_id
