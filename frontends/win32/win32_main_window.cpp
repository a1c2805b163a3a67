// The Win32 main window: class, procedure, painting of the captions and colours of the lines.
#include "frontends/win32/win32_main_window.h"

#include <commctrl.h>

#include <optional>
#include <string>

#include "frontends/win32/gdi_font.h"
#include "platform/win/wide_text.h"

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

void PaintCaptions(HWND window, WindowEvents& events) {
  const PaintCycle paint(window);
  for (const Caption& caption : events.Captions()) {
    const SelectedFont font(paint.Context(), caption.fontHeight);
    SetBkMode(paint.Context(), TRANSPARENT);
    std::wstring text = ToWide(caption.text);
    // A line break starts the next line again at the caption's x; nothing is clipped or wrapped.
    RECT where{caption.x, caption.y, caption.x, caption.y};
    DrawTextW(paint.Context(), text.data(), static_cast<int>(text.size()), &where,
              DT_LEFT | DT_TOP | DT_NOCLIP | DT_NOPREFIX);
  }
}

// The events of a window, from the link its creation message stored; null before that.
WindowEvents* EventsOf(HWND window) {
  const auto* link =
      reinterpret_cast<const MainWindowLink*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return link != nullptr ? link->events : nullptr;
}

}  // namespace

bool RegisterWin32MainWindowClass(HINSTANCE instance) {
  // The manifest asks for version 6 of the common controls; Windows XP draws them in the visual
  // styles only after this call. A failure leaves the classic look, so it is not looked at.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);

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

HWND CreateWin32MainWindow(HINSTANCE instance, const MainWindowDescription& window,
                           MainWindowLink& link) {
  const std::wstring title = ToWide(window.title);
  HWND created = CreateWindowExW(WS_EX_CLIENTEDGE, kMainWindowClassName, title.c_str(),
                                 kMainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, window.width,
                                 window.height, nullptr, nullptr, instance, &link);
  if (created == nullptr) {
    return nullptr;
  }
  ShowWindow(created, window.showCommand);
  UpdateWindow(created);
  return created;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* link = static_cast<MainWindowLink*>(creation->lpCreateParams);
    if (link == nullptr) {
      return 0;
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(link));
    link->window = window;
    if (link->events != nullptr) {
      link->events->OnCreate();
    }
    return 0;
  }
  WindowEvents* events = EventsOf(window);
  if (events == nullptr) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  switch (message) {
    case WM_PAINT:
      PaintCaptions(window, *events);
      return 0;
    case WM_COMMAND:
      // The low word is the control's id, which is a push button's command (0 for the other
      // controls); the notification code is not looked at.
      if (LOWORD(wParam) != 0) {
        events->OnButtonPressed(LOWORD(wParam));
      }
      return 0;
    case WM_DESTROY:
      events->OnClosed();
      return 0;
    case WM_CTLCOLORSTATIC:
      if (const std::optional<Rgb> colour =
              events->TextColour(reinterpret_cast<WindowHandle>(lParam))) {
        HDC context = reinterpret_cast<HDC>(wParam);
        SetBkMode(context, TRANSPARENT);
        SetTextColor(context, RGB(colour->red, colour->green, colour->blue));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace digital_id
