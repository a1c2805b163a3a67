// The console scenarios shared with the Linux end-to-end tests, run against digital-id-enroll.exe
// as a child process under Wine. Each scenario's test issuing server was started by the Wine
// fixture in a folder named after it (the fixture learns the servers from --list-servers); after
// each run the stores of the prefix are inspected and the enrollment stand-in's report must be
// empty.
#include <gtest/gtest.h>
#include <urlmon.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/utf8_text.h"
#include "platform/win/wide_text.h"
#include "platform/win/x509/crypt_handles.h"
#include "tests/e2e/console_scenarios.h"
#include "tests/win/enrollment_test_support.h"
#include "tests/win/installed_certificates.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id::e2e {
// Names a scenario in test output.
void PrintTo(const ConsoleScenario& scenario, std::ostream* out) {
  *out << scenario.name;
}
}  // namespace digital_id::e2e

namespace digital_id {
namespace {

using e2e::ConsoleScenario;
using e2e::StoresAfter;
using e2e::WindowsAs;
using wine_test::Environment;

struct HandleClose {
  void operator()(HANDLE handle) const {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
using HandlePtr = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleClose>;

std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// The lines of a text, line ends (LF or CR LF) removed.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// What one run of the program gave.
struct ConsoleRun {
  int exitCode = -1;
  std::vector<std::string> lines;
  std::string errors;
};

// A file opened for the standard handles of a child process (inheritable).
HandlePtr StandardFile(const std::wstring& path, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return HandlePtr(CreateFileW(
      path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
      &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Runs program in folder with input on its standard input, its output going to files there;
// one that outlives 180 s is ended.
ConsoleRun RunConsole(const std::wstring& program, const std::wstring& folder,
                      const std::vector<std::string>& arguments, const std::string& input) {
  ConsoleRun run;
  if (!wine_test::WriteTextFile(folder + L"input.txt", input)) return run;
  {
    const HandlePtr in = StandardFile(folder + L"input.txt", false);
    const HandlePtr out = StandardFile(folder + L"output.txt", true);
    const HandlePtr errors = StandardFile(folder + L"errors.txt", true);
    std::wstring commandLine = L"\"" + program + L"\"";
    for (const std::string& argument : arguments) commandLine += L" " + Wide(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.get();
    startup.hStdOutput = out.get();
    startup.hStdError = errors.get();
    PROCESS_INFORMATION started{};
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       folder.c_str(), &startup, &started) == FALSE) {
      return run;
    }
    const HandlePtr process(started.hProcess);
    const HandlePtr thread(started.hThread);
    if (WaitForSingleObject(process.get(), 180000) != WAIT_OBJECT_0) {
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), 30000);
    } else {
      DWORD code = 0;
      GetExitCodeProcess(process.get(), &code);
      run.exitCode = static_cast<int>(code);
    }
  }
  run.lines = Lines(Text(wine_test::ReadFileBytes(folder + L"output.txt")));
  run.errors = Text(wine_test::ReadFileBytes(folder + L"errors.txt"));
  return run;
}

// Sets a registry value while this lives; the key is deleted again afterwards.
class RegistryValue {
 public:
  RegistryValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD type,
                const void* data, DWORD size)
      : root_(root), key_(key) {
    HKEY opened = nullptr;
    set_ = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened,
                           nullptr) == ERROR_SUCCESS &&
           RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size) ==
               ERROR_SUCCESS;
    if (opened != nullptr) RegCloseKey(opened);
  }
  ~RegistryValue() { RegDeleteKeyW(root_, key_.c_str()); }
  RegistryValue(const RegistryValue&) = delete;
  RegistryValue& operator=(const RegistryValue&) = delete;
  // Whether the value was set.
  bool Set() const { return set_; }

 private:
  HKEY root_;
  std::wstring key_;
  bool set_ = false;
};

// Wine reports the older system to this program only; its enrollment control is then the
// legacy one.
std::unique_ptr<RegistryValue> AsWindowsXp() {
#ifdef _WIN64
  static const wchar_t version[] = L"winxp64";
#else
  static const wchar_t version[] = L"winxp";
#endif
  return std::make_unique<RegistryValue>(
      HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\digital-id-enroll.exe", L"Version", REG_SZ,
      version, static_cast<DWORD>(sizeof version));
}

// Schannel as on Windows XP: TLS 1.2 turned off for clients.
std::unique_ptr<RegistryValue> WithoutTls12() {
  static const DWORD disabled = 0;
  return std::make_unique<RegistryValue>(
      HKEY_LOCAL_MACHINE,
      L"System\\CurrentControlSet\\Control\\SecurityProviders\\SCHANNEL\\Protocols\\TLS "
      L"1.2\\Client",
      L"Enabled", REG_DWORD, &disabled, static_cast<DWORD>(sizeof disabled));
}

// The lines of a server's event log so far.
std::vector<std::string> Events(const std::wstring& server) {
  return Lines(Text(wine_test::ReadFileBytes(server + L"events.log")));
}

// Waits (at most 20 s) until the server logged event: it logs the end of an exchange shortly
// after the client has gone.
bool WaitForEvent(const std::wstring& server, const std::string& event) {
  for (int i = 0; i < 200; ++i) {
    const std::vector<std::string> events = Events(server);
    if (std::find(events.begin(), events.end(), event) != events.end()) return true;
    Sleep(100);
  }
  return false;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The scenario that installs the user's first identity: --status is checked around it.
constexpr char kFirstUserIdentity[] = "user";

// The text after label on the first line that holds it (blanks around it removed); nullopt when
// no line does.
std::optional<std::string> LabelledValue(const std::vector<std::string>& lines,
                                         const std::string& label) {
  for (const std::string& line : lines) {
    const std::size_t at = line.find(label);
    if (at == std::string::npos) continue;
    const std::size_t start = line.find_first_not_of(' ', at + label.size());
    return start == std::string::npos ? std::string() : line.substr(start);
  }
  return std::nullopt;
}

// A certificate's serial number as the program prints it: upper-case hexadecimal, the most
// significant byte first (CryptoAPI keeps the bytes the other way round), no leading zero bytes.
std::string SerialOf(PCCERT_CONTEXT certificate) {
  const CRYPT_INTEGER_BLOB& serial = certificate->pCertInfo->SerialNumber;
  std::string text;
  for (DWORD i = serial.cbData; i > 0; --i) {
    if (text.empty() && serial.pbData[i - 1] == 0 && i > 1) continue;
    char digits[3] = {};
    std::snprintf(digits, sizeof digits, "%02X", serial.pbData[i - 1]);
    text += digits;
  }
  return text;
}

// A UTC file time as "YYYY-MM-DD<between>HH:MM:SS".
std::string TimeText(const FILETIME& time, char between) {
  SYSTEMTIME utc{};
  if (FileTimeToSystemTime(&time, &utc) == FALSE) return {};
  char text[32] = {};
  std::snprintf(text, sizeof text, "%04u-%02u-%02u%c%02u:%02u:%02u", utc.wYear, utc.wMonth,
                utc.wDay, between, utc.wHour, utc.wMinute, utc.wSecond);
  return text;
}

// English texts for the program's status runs while this lives (the locale decides their
// language).
class EnglishStatusTexts {
 public:
  EnglishStatusTexts() { SetEnvironmentVariableW(L"LC_ALL", L"en_US.UTF-8"); }
  ~EnglishStatusTexts() { SetEnvironmentVariableW(L"LC_ALL", nullptr); }
  EnglishStatusTexts(const EnglishStatusTexts&) = delete;
  EnglishStatusTexts& operator=(const EnglishStatusTexts&) = delete;
};

// Before any identity: --status lists none and exits 1, as text and as JSON; --remove is refused
// on Windows (exit 2).
void ExpectNoIdentityListed(const std::wstring& program, const std::wstring& folder) {
  const EnglishStatusTexts english;
  const ConsoleRun text = RunConsole(program, folder, {"--status"}, "");
  EXPECT_EQ(text.exitCode, 1) << Joined(text.lines) << text.errors;
  EXPECT_FALSE(LabelledValue(text.lines, "Serial number:")) << Joined(text.lines);
  EXPECT_EQ(text.errors, "") << "a store never made holds nothing";
  const ConsoleRun json = RunConsole(program, folder, {"--status", "--json"}, "");
  const std::string document = Joined(json.lines);
  EXPECT_EQ(json.exitCode, 1) << document << json.errors;
  EXPECT_TRUE(e2e::IsWellFormedJson(document)) << document;
  EXPECT_EQ(document.find("\"serial\""), std::string::npos) << document;
  const ConsoleRun removal = RunConsole(program, folder, {"--remove", "01"}, "");
  EXPECT_EQ(removal.exitCode, 2) << removal.errors;
}

// After the user's first enrollment: --status lists the identity in the user's My, with its
// serial, names, validity and key, and exits 0; --status --json says the same.
void ExpectIssuedIdentityListed(const std::wstring& program, const std::wstring& folder) {
  const std::vector<CertContextPtr> issued =
      wine_test::IssuedCertificates(CERT_SYSTEM_STORE_CURRENT_USER);
  ASSERT_EQ(issued.size(), 1u);
  const CERT_INFO& info = *issued.front()->pCertInfo;
  const std::string serial = SerialOf(issued.front().get());
  wchar_t user[256] = {};
  DWORD size = 256;
  ASSERT_NE(GetUserNameW(user, &size), FALSE);
  // The test server names the identity O=Example Org, CN=<identity>.
  const std::string subject = "CN=" + Utf16ToUtf8(FromWide(user)) + ",O=Example Org";
  const EnglishStatusTexts english;

  const ConsoleRun text = RunConsole(program, folder, {"--status"}, "");
  EXPECT_EQ(text.exitCode, 0) << Joined(text.lines) << text.errors;
  EXPECT_EQ(LabelledValue(text.lines, "Serial number:"), serial) << Joined(text.lines);
  EXPECT_EQ(LabelledValue(text.lines, "Subject:"), subject) << Joined(text.lines);
  // Names as the Linux backend writes them, the most specific part first.
  EXPECT_EQ(LabelledValue(text.lines, "Issuer:"), "CN=Example Issuing CA,O=Example Org,C=XX")
      << Joined(text.lines);
  EXPECT_EQ(LabelledValue(text.lines, "Valid from:"), TimeText(info.NotBefore, ' ') + " UTC");
  EXPECT_EQ(LabelledValue(text.lines, "Valid until:"), TimeText(info.NotAfter, ' ') + " UTC");
  EXPECT_EQ(LabelledValue(text.lines, "Private key:"), "present") << Joined(text.lines);

  const ConsoleRun json = RunConsole(program, folder, {"--status", "--json"}, "");
  const std::string document = Joined(json.lines);
  EXPECT_EQ(json.exitCode, 0) << document << json.errors;
  EXPECT_TRUE(e2e::IsWellFormedJson(document)) << document;
  for (const std::string& member :
       {"\"serial\": \"" + serial + "\"", "\"subject\": \"" + subject + "\"",
        "\"validFrom\": \"" + TimeText(info.NotBefore, 'T') + "Z\"",
        "\"validUntil\": \"" + TimeText(info.NotAfter, 'T') + "Z\"",
        std::string("\"hasPrivateKey\": true"), std::string("\"current\": true")}) {
    EXPECT_NE(document.find(member), std::string::npos) << member << "\n" << document;
  }
}

class ConsoleScenarioTest : public ::testing::TestWithParam<ConsoleScenario> {};

TEST_P(ConsoleScenarioTest, EndsAsTheTableSaysAndLeavesTheStoresSo) {
  const ConsoleScenario& scenario = GetParam();
  std::wstring program = Environment(L"DIGITAL_ID_WINE_ENROLL");
  if (scenario.shipped) {
    const std::wstring shipped = Environment(L"DIGITAL_ID_WINE_SHIPPED");
    if (shipped.empty()) {
      GTEST_SKIP() << "the shipped programs are 32-bit: they run only under 32-bit Wine";
    }
    program = shipped + L"\\digital-id-enroll.exe";
  }
  ASSERT_FALSE(program.empty()) << "run by the Wine fixture of CTest";
  const std::wstring server =
      wine_test::FixtureFolder() + L"servers\\" + Wide(scenario.name) + L"\\";
  const std::wstring folder = wine_test::MakeTemporaryFolder(L"scenario");
  // The first download in a fresh prefix sets up Wine's URL cache first, which can take longer
  // than the server's 10 s on a busy machine.
  std::vector<std::pair<std::string, std::string>> settings = {{"DownloadTimeout", "60000"}};
  settings.insert(settings.end(), scenario.settings.begin(), scenario.settings.end());
  ASSERT_FALSE(folder.empty());
  ASSERT_TRUE(wine_test::WriteTextFile(
      folder + L"app.ini",
      e2e::WithSettings(Text(wine_test::ReadFileBytes(server + L"app.ini")), settings)));
  ASSERT_NE(CopyFileW(program.c_str(), (folder + L"digital-id-enroll.exe").c_str(), FALSE), FALSE);

  const DWORD location =
      scenario.machine ? CERT_SYSTEM_STORE_LOCAL_MACHINE : CERT_SYSTEM_STORE_CURRENT_USER;
  const std::size_t issuedBefore = wine_test::IssuedCertificates(location).size();
  const std::size_t pendingBefore = wine_test::CertificateCount(location, L"REQUEST");
  const bool firstUserIdentity = scenario.name == kFirstUserIdentity;
  if (firstUserIdentity) {
    ASSERT_EQ(issuedBefore, 0u) << "the first scenario of a fresh prefix";
    ExpectNoIdentityListed(folder + L"digital-id-enroll.exe", folder);
  }
  ConsoleRun run;
  {
    std::unique_ptr<RegistryValue> xp;
    std::unique_ptr<RegistryValue> tls;
    if (scenario.windowsAs != WindowsAs::Current) xp = AsWindowsXp();
    if (scenario.windowsAs == WindowsAs::XpWithoutTls12) tls = WithoutTls12();
    ASSERT_TRUE(!xp || xp->Set());
    ASSERT_TRUE(!tls || tls->Set());
    run = RunConsole(folder + L"digital-id-enroll.exe", folder, scenario.arguments,
                     scenario.code + "\n");
  }
  for (const std::string& failure :
       e2e::RunMismatches(scenario, run.exitCode, run.lines, run.errors)) {
    ADD_FAILURE() << failure << "\n" << Joined(run.lines) << run.errors;
  }
  for (const std::string& event : scenario.events) {
    EXPECT_TRUE(WaitForEvent(server, event)) << event << "\n" << Joined(Events(server));
  }
  for (const std::string& failure : e2e::EventMismatches(scenario, Events(server))) {
    ADD_FAILURE() << failure << "\n" << Joined(Events(server));
  }
  const std::string report =
      Text(wine_test::ReadFileBytes(Environment(L"DIGITAL_ID_STAND_IN_REPORT")));
  EXPECT_TRUE(report.empty()) << "the enrollment stand-in saw misuse:\n" << report;

  const std::vector<CertContextPtr> issued = wine_test::IssuedCertificates(location);
  switch (scenario.stores) {
    case StoresAfter::Issued:
      EXPECT_EQ(issued.size(), issuedBefore + 1);
      for (const std::string& failure : wine_test::InstalledMismatches(location)) {
        ADD_FAILURE() << failure;
      }
      break;
    case StoresAfter::Pending:
      EXPECT_EQ(issued.size(), issuedBefore);
      EXPECT_EQ(wine_test::CertificateCount(location, L"REQUEST"), pendingBefore + 1);
      break;
    case StoresAfter::NoneIssued:
      EXPECT_EQ(issued.size(), issuedBefore);
      break;
  }
  if (firstUserIdentity) {
    ExpectIssuedIdentityListed(folder + L"digital-id-enroll.exe", folder);
  }
  if (scenario.rootRefused) {
    // The root as the server served it, fetched after the run.
    const std::string port = Text(wine_test::ReadFileBytes(server + L"server.out"));
    const std::size_t at = port.find("http-port ");
    ASSERT_NE(at, std::string::npos);
    const std::wstring url = L"http://127.0.0.1:" +
                             Wide(port.substr(at + 10, port.find('\n', at) - at - 10)) +
                             L"/root.der";
    const std::wstring file = folder + L"served-root.der";
    ASSERT_EQ(URLDownloadToFileW(nullptr, url.c_str(), file.c_str(), 0, nullptr), S_OK);
    const std::vector<BYTE> der = wine_test::ReadFileBytes(file);
    ASSERT_FALSE(der.empty());
    for (const DWORD where : {CERT_SYSTEM_STORE_CURRENT_USER, CERT_SYSTEM_STORE_LOCAL_MACHINE}) {
      for (const wchar_t* store : {L"Root", L"CA", L"My"}) {
        EXPECT_FALSE(wine_test::StoreHolds(where, store, der))
            << "the refused root is in " << std::string(store, store + std::wcslen(store));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ConsoleScenarioTest,
                         ::testing::ValuesIn(e2e::ScenariosFor(e2e::Platforms::WindowsOnly)),
                         [](const auto& info) { return e2e::TestName(info.param.name); });

}  // namespace
}  // namespace digital_id

// With --list-servers: one line per scenario, its name and the options of its test issuing
// server, for the Wine fixture that starts them. Otherwise the tests.
int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--list-servers") {
    for (const digital_id::e2e::ConsoleScenario& scenario :
         digital_id::e2e::ScenariosFor(digital_id::e2e::Platforms::WindowsOnly)) {
      std::cout << scenario.name;
      for (const std::string& option : scenario.serverOptions) std::cout << ' ' << option;
      std::cout << '\n';
    }
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
