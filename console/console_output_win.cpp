#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>

#include "console/console_output.h"
#include "shell/settings.h"
#include "shell/utf8_text.h"

namespace digital_id {

namespace {

// Characters given to one WriteConsoleW call: older consoles refuse writes above 64 KB.
constexpr std::size_t kConsoleChunkChars = 8192;

// Text with every line feed preceded by a carriage return, as Windows ends lines.
template <typename Text>
Text WithCrLf(std::basic_string_view<typename Text::value_type> text) {
  Text converted;
  converted.reserve(text.size() + text.size() / 16);
  for (const auto c : text) {
    if (c == '\n') converted.push_back('\r');
    converted.push_back(c);
  }
  return converted;
}

void WriteToConsole(HANDLE console, std::string_view utf8) {
  const std::optional<std::u16string> decoded = Utf8ToUtf16(utf8);
  const std::u16string wide = WithCrLf<std::u16string>(decoded ? *decoded : WidenLatin1(utf8));
  std::size_t done = 0;
  while (done < wide.size()) {
    const DWORD count = static_cast<DWORD>(std::min(wide.size() - done, kConsoleChunkChars));
    DWORD written = 0;
    if (!WriteConsoleW(console, wide.data() + done, count, &written, nullptr) || written == 0) {
      return;
    }
    done += written;
  }
}

void WriteToFile(HANDLE file, std::string_view utf8) {
  const std::string bytes = WithCrLf<std::string>(utf8);
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr) ||
        written == 0) {
      return;
    }
    done += written;
  }
}

}  // namespace

void PrintText(ConsoleStream stream, std::string_view utf8) {
  const HANDLE handle =
      GetStdHandle(stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
    return;
  }
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    WriteToConsole(handle, utf8);
  } else {
    WriteToFile(handle, utf8);
  }
}

}  // namespace digital_id
