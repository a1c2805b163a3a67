// The Win32 main window: class, procedure, painting of the captions and colours of the lines.
#include "shell/main_window_win.h"

#include "platform/win/win_text.h"
#include "platform/win/win_window_system.h"
#include "shell/app_state.h"
#include "shell/main_window.h"
#include "shell/main_window_layout.h"

namespace digital_id {

namespace {

constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// A font selected into a device context for the life of this object, then put back and deleted.
class SelectedFont {
 public:
  SelectedFont(HDC context, int height)
      : context_(context),
        font_(CreateTrebuchetFont(height)),
        previous_(font_ ? SelectObject(context, font_.get()) : nullptr) {}
  ~SelectedFont() {
    if (previous_ != nullptr) {
      SelectObject(context_, previous_);
    }
  }
  SelectedFont(const SelectedFont&) = delete;
  SelectedFont& operator=(const SelectedFont&) = delete;

 private:
  HDC context_;
  FontPtr font_;
  HGDIOBJ previous_;
};

// An open paint cycle of a window.
class PaintCycle {
 public:
  explicit PaintCycle(HWND window) : window_(window), context_(BeginPaint(window, &paint_)) {}
  ~PaintCycle() { EndPaint(window_, &paint_); }
  PaintCycle(const PaintCycle&) = delete;
  PaintCycle& operator=(const PaintCycle&) = delete;
  HDC Context() const { return context_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC context_;
};

void PaintCaptions(HWND window) {
  const PaintCycle paint(window);
  for (const Caption& caption : CaptionsToPaint()) {
    const SelectedFont font(paint.Context(), caption.fontHeight);
    SetBkMode(paint.Context(), TRANSPARENT);
    std::wstring text = ToWide(caption.text);
    // A line break starts the next line again at the caption's x; nothing is clipped or wrapped.
    RECT where{caption.x, caption.y, caption.x, caption.y};
    DrawTextW(paint.Context(), text.data(), static_cast<int>(text.size()), &where,
              DT_LEFT | DT_TOP | DT_NOCLIP | DT_NOPREFIX);
  }
}

}  // namespace

bool RegisterWin32MainWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kAppIconId));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kMainWindowClassName;
  windowClass.hIconSm = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                 GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  return RegisterClassExW(&windowClass) != 0;
}

HWND CreateWin32MainWindow(HINSTANCE instance, const std::wstring& title, int showCommand,
                           WinWindowSystem& windows) {
  HWND window = CreateWindowExW(WS_EX_CLIENTEDGE, kMainWindowClassName, title.c_str(),
                                kMainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, kMainWindowWidth,
                                kMainWindowHeight, nullptr, nullptr, instance, &windows);
  if (window == nullptr) {
    return nullptr;
  }
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  return window;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      if (auto* windows = static_cast<WinWindowSystem*>(creation->lpCreateParams)) {
        windows->AttachMainWindow(window);
      }
      OnMainWindowCreate();
      return 0;
    }
    case WM_PAINT:
      PaintCaptions(window);
      return 0;
    case WM_COMMAND:
      OnMainWindowCommand(LOWORD(wParam));
      return 0;
    case WM_DESTROY:
      OnMainWindowDestroy();
      return 0;
    case WM_CTLCOLORSTATIC:
      if (IsColouredLine(reinterpret_cast<WindowHandle>(lParam))) {
        HDC context = reinterpret_cast<HDC>(wParam);
        SetBkMode(context, TRANSPARENT);
        SetTextColor(context, static_cast<COLORREF>(App().lineColour.load()));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace digital_id
