// The Win32 main window as the installer creates it under Wine and Xvfb: controls, texts,
// fonts, colours of the two lines, pictures for the build tree, and runs through the window
// against the test issuing server, with the enrollment stand-in, to the two green lines: in
// this process, and in the shipped program started as a process of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/shell/app_state.h"
#include "frontends/win32/win32_controls.h"
#include "frontends/win32/win32_main_window.h"
#include "tests/win/running_installer.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id {
namespace {

using wine_test::ChildControls;
using wine_test::ClassName;
using wine_test::RunningInstaller;
using wine_test::WindowText;

// One control as the window must show it.
struct ExpectedControl {
  std::wstring className;
  std::wstring text;
  DWORD controlStyle;  // the class's own style bits (low 16 bits)
  int x, y, width, height;
  int id;
  int fontHeight;
};

// The control table for a language and mode.
std::vector<ExpectedControl> ExpectedControls(bool french, bool advance) {
  std::vector<ExpectedControl> controls = {
      {L"Edit", L"", ES_AUTOHSCROLL, 10, 29, advance ? 420 : 550, 20, 0, 17},
      {L"Button", french ? L"Coller" : L"Paste", BS_DEFPUSHBUTTON, advance ? 438 : 570, 28, 75, 22,
       3, 0},
      {L"Button", french ? L"Soumettre" : L"Submit", BS_DEFPUSHBUTTON, 10, 85, french ? 82 : 75, 22,
       1, 0},
      {L"Button", french ? L"Fermer" : L"Close", BS_DEFPUSHBUTTON, 570, 85, 75, 22, 4, 0},
  };
  if (advance) {
    controls.push_back({L"Button", french ? L"Contexte" : L"Context", BS_GROUPBOX,
                        french ? 515 : 520, 14, french ? 138 : 126, 42, 0, 17});
    controls.push_back({L"Button", french ? L"Utilisateur" : L"User", BS_AUTORADIOBUTTON,
                        french ? 521 : 526, 31, french ? 70 : 47, 17, 0, 17});
    controls.push_back({L"Button", french ? L"Appareil" : L"Machine", BS_AUTORADIOBUTTON,
                        french ? 592 : 575, 31, french ? 58 : 66, 17, 0, 17});
  }
  controls.push_back({L"Static", L"", SS_LEFT, 10, 110, 800, 19, 0, 19});
  controls.push_back({L"Static", L"", SS_LEFT, 12, 130, 800, 30, 0, 17});
  return controls;
}

// Lower-cased, for class names the system may spell in another case ("STATIC", "Static").
std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) {
    c = static_cast<wchar_t>(towlower(c));
  }
  return text;
}

// A folder holding an app.ini with the given lines, as the current directory of a window.
std::wstring FolderWithSettings(const std::string& lines) {
  const std::wstring folder = wine_test::MakeTemporaryFolder(L"window");
  EXPECT_TRUE(wine_test::WriteTextFile(folder + L"app.ini", "[AppSettings]\r\n" + lines));
  return folder;
}

// Keeps a picture of the window in the build tree when scripts/test-wine asks for one.
void SavePicture(HWND window, const wchar_t* name) {
  std::wstring folder = wine_test::Environment(L"DIGITAL_ID_WINE_SHOTS");
  if (folder.empty()) {
    return;
  }
  EXPECT_TRUE(wine_test::WaitUntilPainted(window));
  EXPECT_TRUE(wine_test::SaveWindowBitmap(window, folder + L"\\" + name + L".bmp"));
}

struct WindowCase {
  const char* name;
  bool french;
  bool advance;
};

class MainWindowLayout : public ::testing::TestWithParam<WindowCase> {};

TEST_P(MainWindowLayout, ControlsTextsAndFontsFollowTheTable) {
  const WindowCase& variant = GetParam();
  std::string lines = variant.french ? "Language=FR\r\n" : "Language=EN\r\n";
  lines += variant.advance ? "AdvanceMode=TRUE\r\n" : "AdvanceMode=yes\r\n";
  RunningInstaller installer(FolderWithSettings(lines));
  const HWND window = installer.Window();
  ASSERT_NE(window, nullptr);

  EXPECT_EQ(ClassName(window), L"ORVANDIGITALIDINSTALLER");
  EXPECT_EQ(WindowText(window), variant.french
                                    ? L"Programme d'installation du code d'identification numérique"
                                    : L"Orvan Digital ID Installer");
  RECT frame{};
  ASSERT_TRUE(GetWindowRect(window, &frame));
  EXPECT_EQ(frame.right - frame.left, 665);
  EXPECT_EQ(frame.bottom - frame.top, 190);
  const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0U);
  EXPECT_NE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);

  const std::vector<HWND> controls = ChildControls(window);
  const std::vector<ExpectedControl> expected = ExpectedControls(variant.french, variant.advance);
  ASSERT_EQ(controls.size(), expected.size());
  for (std::size_t i = 0; i < controls.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "control " << i);
    const HWND control = controls[i];
    const ExpectedControl& want = expected[i];
    EXPECT_EQ(Lower(ClassName(control)), Lower(want.className));
    EXPECT_EQ(WindowText(control), want.text);
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(control, &rect));
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, want.x);
    EXPECT_EQ(rect.top, want.y);
    EXPECT_EQ(rect.right - rect.left, want.width);
    EXPECT_EQ(rect.bottom - rect.top, want.height);
    EXPECT_EQ(GetDlgCtrlID(control), want.id);
    const auto controlStyle = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    EXPECT_EQ(controlStyle & 0xFFFFU, want.controlStyle);
    EXPECT_EQ(controlStyle & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(controlStyle & WS_GROUP, 0U);
    EXPECT_TRUE(IsWindowEnabled(control));
    const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW logFont{};
    ASSERT_NE(GetObjectW(font, sizeof logFont, &logFont), 0);
    EXPECT_EQ(logFont.lfHeight, want.fontHeight);
    EXPECT_EQ(std::wstring(logFont.lfFaceName), L"Trebuchet MS");
  }
  // The code box holds 64 characters. (Its frame shows in the pictures: the edit control takes
  // WS_BORDER out of its window style and draws the frame itself.)
  EXPECT_EQ(SendMessageW(controls[0], EM_GETLIMITTEXT, 0, 0), 64);
  if (variant.advance) {
    EXPECT_EQ(SendMessageW(controls[5], BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(controls[6], BM_GETCHECK, 0, 0), BST_UNCHECKED);
  }
  SavePicture(window, (std::wstring(L"win-window-") +
                       std::wstring(variant.name,
                                    variant.name + std::char_traits<char>::length(variant.name)))
                          .c_str());
  EXPECT_EQ(installer.Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(LanguagesAndModes, MainWindowLayout,
                         ::testing::Values(WindowCase{"en", false, false},
                                           WindowCase{"fr", true, false},
                                           WindowCase{"en-advance", false, true},
                                           WindowCase{"fr-advance", true, true}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             c = c == '-' ? '_' : c;
                           }
                           return name;
                         });

TEST(MainWindowControls, EachKindIsTheWin32ClassWithTheStylesItHadAlways) {
  const std::pair<ControlKind, Win32Control> expected[] = {
      {ControlKind::EditBox, {L"Edit", 0x50800080}},       // child, visible, border, autoscroll
      {ControlKind::PushButton, {L"Button", 0x50000001}},  // default push button
      {ControlKind::GroupBox, {L"Button", 0x50000007}},
      {ControlKind::RadioButton, {L"Button", 0x50000009}},  // automatic radio button
      {ControlKind::StaticText, {L"STATIC", 0x50000000}},   // left-aligned
  };
  for (const auto& [kind, control] : expected) {
    const Win32Control mapped = Win32ControlFor(kind);
    EXPECT_EQ(std::wstring(mapped.className), control.className);
    EXPECT_EQ(mapped.style, control.style);
  }
}

struct DcDelete {
  void operator()(HDC context) const { DeleteDC(context); }
};
using MemoryDcPtr = std::unique_ptr<std::remove_pointer_t<HDC>, DcDelete>;

TEST(MainWindowColours, StatusAndDetailLinesAreDrawnInTheLineColour) {
  RunningInstaller installer(FolderWithSettings("Language=EN\r\n"));
  const HWND window = installer.Window();
  ASSERT_NE(window, nullptr);
  const std::vector<HWND> controls = ChildControls(window);
  ASSERT_EQ(controls.size(), 6U);
  const HWND codeEdit = controls[0];
  const HWND statusLine = controls[4];
  const HWND detailLine = controls[5];
  const MemoryDcPtr context(CreateCompatibleDC(nullptr));
  ASSERT_TRUE(context);

  for (const COLORREF colour : {COLORREF{153}, COLORREF{0x8000}}) {
    App().lineColour = colour;
    for (const HWND line : {statusLine, detailLine}) {
      SetTextColor(context.get(), RGB(1, 2, 3));
      SetBkMode(context.get(), OPAQUE);
      const LRESULT brush =
          SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context.get()),
                       reinterpret_cast<LPARAM>(line));
      EXPECT_EQ(GetTextColor(context.get()), colour);
      EXPECT_EQ(GetBkMode(context.get()), TRANSPARENT);
      EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), GetSysColorBrush(COLOR_BTNFACE));
    }
    // Any other control keeps the platform's own colours.
    SetTextColor(context.get(), RGB(1, 2, 3));
    SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context.get()),
                 reinterpret_cast<LPARAM>(codeEdit));
    EXPECT_NE(GetTextColor(context.get()), colour);
  }
  // A picture of both lines in green.
  SetWindowTextW(statusLine, L"Status line in the line colour.");
  SetWindowTextW(detailLine, L"Detail line in the line colour.");
  SavePicture(window, L"win-window-green-lines");
  EXPECT_EQ(installer.Close(), 0);
}

constexpr wchar_t kCompleted[] = L"Certificate installation completed. Click Close to exit.";

// Pastes the code into the window's edit control and presses Submit, as a user would, then
// waits until the run ends: its texts are final and the four input controls are back. Fails
// the test when it does not end with the certificate installed.
void SubmitAndExpectInstalled(HWND window, const std::wstring& code) {
  const std::vector<HWND> controls = ChildControls(window);
  ASSERT_EQ(controls.size(), 6U);
  const HWND codeEdit = controls[0];
  const HWND submit = controls[2];
  const HWND statusLine = controls[4];
  const HWND detailLine = controls[5];

  SendMessageW(codeEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(code.c_str()));
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), reinterpret_cast<LPARAM>(submit));
  const bool ended = wine_test::WaitFor(
      [&] {
        return WindowText(detailLine) == kCompleted &&
               std::all_of(controls.begin(), controls.begin() + 4,
                           [](HWND control) { return IsWindowEnabled(control) != FALSE; });
      },
      180);
  const std::wstring status = WindowText(statusLine);
  const std::wstring detail = WindowText(detailLine);
  EXPECT_TRUE(ended) << "the run did not end; status: " << std::string(status.begin(), status.end())
                     << "; detail: " << std::string(detail.begin(), detail.end());
  EXPECT_EQ(status, L"Certificate was issued.");
  EXPECT_EQ(detail, kCompleted);
}

TEST(MainWindowRun, SubmittedCodeEndsWithTheCertificateInstalledAndBothLinesGreen) {
  const std::wstring serverFolder = wine_test::Environment(L"DIGITAL_ID_WINE_GOOD_SERVER");
  const std::wstring code = wine_test::Environment(L"DIGITAL_ID_WINE_CODE");
  ASSERT_FALSE(serverFolder.empty()) << "scripts/test-wine starts the test issuing server";
  ASSERT_FALSE(code.empty());
  // The server wrote its app.ini into its folder: the window starts there.
  RunningInstaller installer(serverFolder);
  const HWND window = installer.Window();
  ASSERT_NE(window, nullptr);
  SubmitAndExpectInstalled(window, code);
  EXPECT_EQ(App().lineColour.load(), kColourGreen);
  SavePicture(window, L"win-window-run");
  EXPECT_EQ(installer.Close(), 0);
}

struct HandleClose {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using HandlePtr = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleClose>;

// A search for the main window of a process.
struct MainWindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK TakeMainWindowOf(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<MainWindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && IsWindowVisible(window) != FALSE &&
      ClassName(window) == kMainWindowClassName) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The visible main window of a process; null when it has none yet.
HWND MainWindowOf(DWORD processId) {
  MainWindowSearch search{processId, nullptr};
  EnumWindows(TakeMainWindowOf, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// How many pixels of a child control show the colour, in a picture of its main window.
int PixelsOf(const wine_test::WindowPicture& picture, HWND window, HWND control, COLORREF colour) {
  RECT frame{};
  RECT area{};
  GetWindowRect(window, &frame);
  GetWindowRect(control, &area);
  int count = 0;
  for (int y = std::max(0L, area.top - frame.top);
       y < std::min<LONG>(picture.height, area.bottom - frame.top); ++y) {
    for (int x = std::max(0L, area.left - frame.left);
         x < std::min<LONG>(picture.width, area.right - frame.left); ++x) {
      count += picture.At(x, y) == colour ? 1 : 0;
    }
  }
  return count;
}

// The program a user gets (the release build of the win32 preset), as a process of its own:
// a run through its window ends with both lines drawn in green.
TEST(ShippedInstaller, SubmittedCodeEndsWithBothLinesGreen) {
  const std::wstring program = wine_test::Environment(L"DIGITAL_ID_WINE_SHIPPED_INSTALLER");
  const std::wstring folder = wine_test::Environment(L"DIGITAL_ID_WINE_SHIPPED_SERVER");
  const std::wstring code = wine_test::Environment(L"DIGITAL_ID_WINE_SHIPPED_CODE");
  if (program.empty()) {
    GTEST_SKIP() << "scripts/test-wine names the shipped program where it can run it";
  }
  ASSERT_FALSE(folder.empty());
  ASSERT_FALSE(code.empty());
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  ASSERT_NE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           folder.c_str(), &startup, &started),
            FALSE)
      << "cannot start the shipped program, error " << GetLastError();
  const HandlePtr process(started.hProcess);
  const HandlePtr thread(started.hThread);
  HWND window = nullptr;
  ASSERT_TRUE(wine_test::WaitFor([&] { return (window = MainWindowOf(started.dwProcessId)); }, 60));
  SubmitAndExpectInstalled(window, code);

  ASSERT_TRUE(wine_test::WaitUntilPainted(window));
  const std::optional<wine_test::WindowPicture> picture = wine_test::CaptureWindow(window);
  ASSERT_TRUE(picture);
  const std::vector<HWND> controls = ChildControls(window);
  for (const HWND line : {controls[4], controls[5]}) {
    EXPECT_GT(PixelsOf(*picture, window, line, kColourGreen), 0);
    EXPECT_EQ(PixelsOf(*picture, window, line, COLORREF{153}), 0);  // the failure colour
  }
  const std::wstring shots = wine_test::Environment(L"DIGITAL_ID_WINE_SHOTS");
  if (!shots.empty()) {
    EXPECT_TRUE(wine_test::SaveBitmap(*picture, shots + L"\\win-shipped-window-run.bmp"));
  }

  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.get(), &exitCode);
  EXPECT_EQ(exitCode, 0U);
}

}  // namespace
}  // namespace digital_id
