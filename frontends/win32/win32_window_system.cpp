#include "frontends/win32/win32_window_system.h"

#include <mutex>
#include <vector>

#include "base/secret_text.h"
#include "frontends/win32/win32_controls.h"
#include "platform/win/wide_text.h"

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

HINSTANCE Win32WindowSystem::Instance(void* instance) const {
  if (instance != nullptr) {
    return static_cast<HINSTANCE>(instance);
  }
  return instance_ != nullptr ? instance_ : GetModuleHandleW(nullptr);
}

void Win32WindowSystem::RegisterMainWindowClass(void* instance) {
  instance_ = Instance(instance);
  RegisterWin32MainWindowClass(instance_);
}

bool Win32WindowSystem::CreateMainWindow(const MainWindowDescription& window,
                                         WindowEvents& events) {
  instance_ = Instance(window.instance);
  link_.events = &events;
  return CreateWin32MainWindow(instance_, window, link_) != nullptr;
}

int Win32WindowSystem::RunMessageLoop() {
  MSG message{};
  // GetMessageW answers -1 on an error, which must end the loop as well.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

WindowHandle Win32WindowSystem::CreateControl(const ControlDescription& control) {
  HFONT font = nullptr;
  {
    std::lock_guard guard(fontsLock_);
    if (!control.font.sharedWithPrevious || fonts_.empty()) {
      fonts_.push_back(CreateTrebuchetFont(control.font.height));
    }
    font = fonts_.back().get();
  }
  const Win32Control kind = Win32ControlFor(control.kind);
  const std::wstring text = ToWide(control.text);
  const Rect& rect = control.rect;
  HWND created = CreateWindowExW(0, kind.className, text.c_str(), kind.style, rect.x, rect.y,
                                 rect.width, rect.height, link_.window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.command)),
                                 instance_, nullptr);
  if (created == nullptr) {
    return nullptr;
  }
  if (control.kind == ControlKind::EditBox && control.textLimit > 0) {
    SendMessageW(created, EM_LIMITTEXT, static_cast<WPARAM>(control.textLimit), 0);
  }
  if (font != nullptr) {
    SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  if (control.kind == ControlKind::RadioButton && control.checked) {
    SendMessageW(created, BM_SETCHECK, BST_CHECKED, 0);
  }
  return created;
}

void Win32WindowSystem::SetText(WindowHandle control, const std::u16string& text) {
  const std::wstring wide = ToWide(text);
  SetWindowTextW(Native(control), wide.c_str());
}

std::u16string Win32WindowSystem::GetText(WindowHandle control, std::size_t bufferChars) {
  if (bufferChars == 0) {
    return {};
  }
  // The text may be the secure code: the buffer is wiped when it is freed.
  std::vector<wchar_t, WipingAllocator<wchar_t>> buffer(bufferChars);
  const int length = GetWindowTextW(Native(control), buffer.data(), static_cast<int>(bufferChars));
  return FromWide(std::wstring_view(buffer.data(), length > 0 ? length : 0));
}

void Win32WindowSystem::Enable(WindowHandle control, bool enable) {
  EnableWindow(Native(control), enable ? TRUE : FALSE);
}

void Win32WindowSystem::SetChecked(WindowHandle radio, bool checked) {
  SendMessageW(Native(radio), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32WindowSystem::IsChecked(WindowHandle radio) {
  return SendMessageW(Native(radio), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::optional<std::string> Win32WindowSystem::ClipboardText() {
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

void Win32WindowSystem::PostQuit(int exitCode) {
  PostQuitMessage(exitCode);
}

}  // namespace digital_id
