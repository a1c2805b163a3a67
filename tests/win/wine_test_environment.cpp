// Access to what the Wine fixture of CTest prepares for the tests run under Wine.
#include "tests/win/wine_test_environment.h"

#include <windows.h>

#include <cctype>
#include <fstream>
#include <iterator>

namespace digital_id::wine_test {

namespace {

std::wstring ProcessEnvironment(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) {
    return {};
  }
  std::wstring value(needed, L'\0');
  const DWORD written = GetEnvironmentVariableW(name, value.data(), needed);
  value.resize(written < needed ? written : 0);
  return value;
}

}  // namespace

std::wstring FixtureFolder() {
  std::wstring folder = ProcessEnvironment(L"DIGITAL_ID_WINE_FIXTURE");
  if (!folder.empty() && folder.back() != L'\\') {
    folder.push_back(L'\\');
  }
  return folder;
}

std::wstring Environment(const wchar_t* name) {
  std::wstring value = ProcessEnvironment(name);
  if (!value.empty() || FixtureFolder().empty()) {
    return value;
  }
  // Values known only once the fixture's servers run (ports, folders) are in its file.
  std::ifstream file((FixtureFolder() + L"environment.txt").c_str());
  const std::wstring wanted = std::wstring(name) + L"=";
  for (std::string line; std::getline(file, line);) {
    const std::wstring wide(line.begin(), line.end());
    if (wide.rfind(wanted, 0) == 0) {
      return wide.substr(wanted.size());
    }
  }
  return {};
}

std::wstring DataFolder() {
  std::wstring folder = Environment(L"DIGITAL_ID_WINE_DATA");
  if (!folder.empty() && folder.back() != L'\\') {
    folder.push_back(L'\\');
  }
  return folder;
}

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  if (!file) {
    return {};
  }
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file),
                                   std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> BytesFromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (const char c : hex) {
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) {
      continue;
    }
    const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0
                          ? c - '0'
                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  return bytes;
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
  std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
  file << text;
  return static_cast<bool>(file);
}

std::wstring MakeTemporaryFolder(const std::wstring& stem) {
  wchar_t base[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, base);
  std::wstring root(base, length);
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    std::wstring folder = root + L"digital-id-" + stem + L"-" +
                          std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    if (CreateDirectoryW(folder.c_str(), nullptr) != FALSE) {
      return folder + L"\\";
    }
  }
  return {};
}

}  // namespace digital_id::wine_test
