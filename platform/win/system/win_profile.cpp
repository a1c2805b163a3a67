#include "platform/win/system/win_profile.h"

#include <windows.h>

#include <vector>

#include "platform/win/wide_text.h"

namespace digital_id {

std::u16string WinProfile::ReadString(const std::u16string& section, const std::u16string& key,
                                      std::size_t bufferChars, const std::u16string& path) {
  // Without a path Windows would look in its own folder; the settings file is then absent.
  if (bufferChars == 0 || path.empty()) {
    return {};
  }
  std::vector<wchar_t> buffer(bufferChars);
  const std::wstring wideSection = ToWide(section);
  const std::wstring wideKey = ToWide(key);
  const std::wstring widePath = ToWide(path);
  const DWORD length =
      GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), L"", buffer.data(),
                               static_cast<DWORD>(bufferChars), widePath.c_str());
  return FromWide(std::wstring_view(buffer.data(), length < bufferChars ? length : 0));
}

}  // namespace digital_id
