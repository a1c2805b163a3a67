#include "platform/win/win_window_system.h"

#include <mutex>
#include <vector>

#include "platform/win/win_text.h"
#include "shell/app_state.h"
#include "shell/main_window_win.h"

namespace digital_id {

namespace {

HWND Native(WindowHandle handle) {
  return static_cast<HWND>(handle);
}

// An open clipboard, closed when this goes away.
class ClipboardSession {
 public:
  ClipboardSession() : open_(OpenClipboard(nullptr) != FALSE) {}
  ~ClipboardSession() {
    if (open_) {
      CloseClipboard();
    }
  }
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

// Global memory locked for reading, unlocked when this goes away.
class GlobalLockGuard {
 public:
  explicit GlobalLockGuard(HGLOBAL memory)
      : memory_(memory), data_(memory != nullptr ? GlobalLock(memory) : nullptr) {}
  ~GlobalLockGuard() {
    if (data_ != nullptr) {
      GlobalUnlock(memory_);
    }
  }
  GlobalLockGuard(const GlobalLockGuard&) = delete;
  GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
  const char* Data() const { return static_cast<const char*>(data_); }
  std::size_t Size() const { return GlobalSize(memory_); }

 private:
  HGLOBAL memory_;
  void* data_;
};

}  // namespace

HFONT CreateTrebuchetFont(int height) {
  return CreateFontW(height, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"Trebuchet MS");
}

void WinWindowSystem::RegisterMainWindowClass() {
  RegisterWin32MainWindowClass(static_cast<HINSTANCE>(App().instance));
}

bool WinWindowSystem::CreateMainWindow(const std::u16string& title, int showCommand) {
  return CreateWin32MainWindow(static_cast<HINSTANCE>(App().instance), ToWide(title), showCommand,
                               *this) != nullptr;
}

int WinWindowSystem::RunMessageLoop() {
  MSG message{};
  // GetMessageW answers -1 on an error, which must end the loop as well.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

WindowHandle WinWindowSystem::CreateControl(const ControlCreation& control) {
  const std::wstring className = ToWide(control.className);
  const std::wstring text = ToWide(control.text);
  return CreateWindowExW(0, className.c_str(), text.c_str(), control.style, control.x, control.y,
                         control.width, control.height, mainWindow_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                         static_cast<HINSTANCE>(App().instance), nullptr);
}

void* WinWindowSystem::CreateControlFont(int fontHeight) {
  FontPtr font(CreateTrebuchetFont(fontHeight));
  if (!font) {
    return nullptr;
  }
  HFONT handle = font.get();
  std::lock_guard guard(fontsLock_);
  fonts_.push_back(std::move(font));
  return handle;
}

void WinWindowSystem::SetFont(WindowHandle control, void* font) {
  if (font != nullptr) {
    SendMessageW(Native(control), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

void WinWindowSystem::LimitText(WindowHandle edit, int characters) {
  SendMessageW(Native(edit), EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
}

void WinWindowSystem::SetCheck(WindowHandle radio, int state) {
  SendMessageW(Native(radio), BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

void WinWindowSystem::SetText(WindowHandle control, const std::u16string& text) {
  const std::wstring wide = ToWide(text);
  SetWindowTextW(Native(control), wide.c_str());
}

std::u16string WinWindowSystem::GetText(WindowHandle control, std::size_t bufferChars) {
  if (bufferChars == 0) {
    return {};
  }
  std::vector<wchar_t> buffer(bufferChars);
  const int length = GetWindowTextW(Native(control), buffer.data(), static_cast<int>(bufferChars));
  return FromWide(std::wstring_view(buffer.data(), length > 0 ? length : 0));
}

void WinWindowSystem::Enable(WindowHandle control, bool enable) {
  EnableWindow(Native(control), enable ? TRUE : FALSE);
}

int WinWindowSystem::GetCheck(WindowHandle radio) {
  return static_cast<int>(SendMessageW(Native(radio), BM_GETCHECK, 0, 0));
}

std::optional<std::string> WinWindowSystem::ClipboardText() {
  const ClipboardSession clipboard;
  if (!clipboard.IsOpen()) {
    return std::nullopt;
  }
  const GlobalLockGuard locked(GetClipboardData(CF_TEXT));
  if (locked.Data() == nullptr) {
    return std::nullopt;
  }
  // Up to the terminating zero byte, but never past the end of the memory block.
  const std::size_t size = locked.Size();
  std::size_t length = 0;
  while (length < size && locked.Data()[length] != '\0') {
    ++length;
  }
  return std::string(locked.Data(), length);
}

void WinWindowSystem::PostQuit(int exitCode) {
  PostQuitMessage(exitCode);
}

}  // namespace digital_id
