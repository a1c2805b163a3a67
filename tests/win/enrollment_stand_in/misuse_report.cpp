// The report file the test scripts read after each run with the stand-in.
#include "tests/win/enrollment_stand_in/misuse_report.h"

#include <memory>
#include <string>

namespace digital_id::stand_in {

namespace {

struct HandleClose {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FilePtr = std::unique_ptr<void, HandleClose>;

}  // namespace

void ReportMisuse(const wchar_t* what) {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetEnvironmentVariableW(kReportVariable, path, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) {
    return;
  }
  const std::wstring line = std::wstring(L"misuse: ") + what + L"\r\n";
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), text.data(), bytes,
                      nullptr, nullptr);
  const HANDLE opened = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    return;
  }
  const FilePtr file(opened);
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

HRESULT Misuse(HRESULT result, const wchar_t* what) {
  ReportMisuse(what);
  return result;
}

}  // namespace digital_id::stand_in
