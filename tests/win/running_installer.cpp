// Runs the installer's window in the test process and takes pictures of it.
#include "tests/win/running_installer.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <type_traits>

#include "core/shell/startup.h"
#include "frontends/win32/win32_main_window.h"

namespace digital_id::wine_test {

namespace {

struct DcDelete {
  void operator()(HDC context) const { DeleteDC(context); }
};
using MemoryDcPtr = std::unique_ptr<std::remove_pointer_t<HDC>, DcDelete>;

struct GdiObjectDelete {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using BitmapPtr = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDelete>;

// A window's device context, released when this goes away.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), context_(GetWindowDC(window)) {}
  ~WindowDc() {
    if (context_ != nullptr) {
      ReleaseDC(window_, context_);
    }
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return context_; }

 private:
  HWND window_;
  HDC context_;
};

template <typename T>
void Put(std::ofstream& file, T value) {
  file.write(reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

RunningInstaller::RunningInstaller(const std::wstring& folder) {
  SetCurrentDirectoryW(folder.c_str());
  InstallPlatform(&platform_.Services());
  thread_ =
      std::thread([this] { exitCode_ = RunInstaller(GetModuleHandleW(nullptr), SW_SHOWNORMAL); });
  WaitFor(
      [this] {
        window_ = FindWindowW(kMainWindowClassName, nullptr);
        return window_ != nullptr || exitCode_.load() != -1;
      },
      30);
  if (window_ != nullptr) {
    // Once the window's thread answers, its creation message has run to its end.
    SendMessageW(window_, WM_NULL, 0, 0);
  }
}

RunningInstaller::~RunningInstaller() {
  Close();
}

int RunningInstaller::Close() {
  if (thread_.joinable()) {
    if (window_ != nullptr) {
      PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    thread_.join();
    window_ = nullptr;
  }
  return exitCode_.load();
}

std::vector<HWND> ChildControls(HWND window) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

std::wstring WindowText(HWND window) {
  // WM_GETTEXT itself: GetWindowText gives only the caption of another process's window.
  wchar_t buffer[512] = {};
  DWORD_PTR length = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer),
                          SMTO_ABORTIFHUNG, 10000, &length) == 0) {
    return {};
  }
  return std::wstring(buffer, std::min<DWORD_PTR>(length, 511));
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256] = {};
  const int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, length > 0 ? length : 0);
}

bool WaitUntilPainted(HWND window) {
  return WaitFor(
      [window] {
        // A message answered means the window's thread went back to its loop, where pending
        // painting runs before it waits again.
        SendMessageW(window, WM_NULL, 0, 0);
        if (GetUpdateRect(window, nullptr, FALSE) != FALSE) {
          return false;
        }
        for (HWND child : ChildControls(window)) {
          if (GetUpdateRect(child, nullptr, FALSE) != FALSE) {
            return false;
          }
        }
        return true;
      },
      10);
}

std::optional<WindowPicture> CaptureWindow(HWND window) {
  RECT frame{};
  if (GetWindowRect(window, &frame) == FALSE) {
    return std::nullopt;
  }
  WindowPicture picture;
  picture.width = frame.right - frame.left;
  picture.height = frame.bottom - frame.top;
  const WindowDc source(window);
  const MemoryDcPtr memory(CreateCompatibleDC(source.Get()));
  if (source.Get() == nullptr || !memory || picture.width <= 0 || picture.height <= 0) {
    return std::nullopt;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = picture.height;  // bottom-up rows, as a BMP file stores them
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const BitmapPtr bitmap(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || bits == nullptr) {
    return std::nullopt;
  }
  const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
  const bool copied =
      BitBlt(memory.get(), 0, 0, picture.width, picture.height, source.Get(), 0, 0, SRCCOPY) != 0;
  GdiFlush();
  SelectObject(memory.get(), previous);
  if (!copied) {
    return std::nullopt;
  }
  const auto* first = static_cast<const BYTE*>(bits);
  picture.bits.assign(first, first + picture.RowBytes() * static_cast<std::size_t>(picture.height));
  return picture;
}

COLORREF WindowPicture::At(int x, int y) const {
  const BYTE* pixel = bits.data() + RowBytes() * static_cast<std::size_t>(height - 1 - y) +
                      static_cast<std::size_t>(x) * 3;
  return RGB(pixel[2], pixel[1], pixel[0]);
}

bool SaveBitmap(const WindowPicture& picture, const std::wstring& path) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = picture.width;
  header.biHeight = picture.height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const auto imageBytes = static_cast<std::uint32_t>(picture.bits.size());
  std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
  Put<std::uint16_t>(file, 0x4D42);  // "BM"
  Put<std::uint32_t>(file, 14 + sizeof(header) + imageBytes);
  Put<std::uint32_t>(file, 0);
  Put<std::uint32_t>(file, 14 + sizeof(header));
  file.write(reinterpret_cast<const char*>(&header), sizeof(header));
  file.write(reinterpret_cast<const char*>(picture.bits.data()), imageBytes);
  return static_cast<bool>(file);
}

bool SaveWindowBitmap(HWND window, const std::wstring& path) {
  const std::optional<WindowPicture> picture = CaptureWindow(window);
  return picture && SaveBitmap(*picture, path);
}

}  // namespace digital_id::wine_test
