#include "tests/e2e/console_scenarios.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace digital_id::e2e {

namespace {

const std::vector<std::string> kInstalled = {
    "status: Certificate was issued.",
    "detail: Certificate installation completed. Click Close to exit."};
const std::vector<std::string> kHandshakeFailure = {"status: Certificate authentication failed.",
                                                    "detail: Bad server certificate encountered."};
const std::pair<std::string, std::string> kInstalling = {"status: Certificate was issued.",
                                                         "detail: Installing certificate."};

// An enrollment that ends with the certificate installed and its verdict acknowledged.
ConsoleScenario Installed(std::string name, std::string code) {
  ConsoleScenario scenario;
  scenario.name = std::move(name);
  scenario.code = std::move(code);
  scenario.serverOptions = {"--code", scenario.code};
  scenario.lastLines = kInstalled;
  scenario.adjacentLines = {kInstalling};
  scenario.events = {"closed " + scenario.code, "cltack " + scenario.code};
  scenario.stores = StoresAfter::Issued;
  return scenario;
}

// A run that ends with exit code 1 and the given last lines.
ConsoleScenario Failed(std::string name, std::string code, std::vector<std::string> lastLines) {
  ConsoleScenario scenario;
  scenario.name = std::move(name);
  scenario.code = std::move(code);
  scenario.serverOptions = {"--code", scenario.code};
  scenario.exitCode = 1;
  scenario.lastLines = std::move(lastLines);
  return scenario;
}

std::vector<ConsoleScenario> MakeScenarios() {
  std::vector<ConsoleScenario> all;

  // The first enrollment of a user: anchors, request, issuance and installation.
  ConsoleScenario user = Installed("user", "E2E-USER");
  user.lines = {"status: Installing Root certificate.", "detail: Successfully connected."};
  user.events.insert(user.events.end(), {"http /ca.der 200", "http /root.der 200"});
  user.absentEvents = {"handshake-failed"};
  all.push_back(user);

  // The pins name the demo PKI's own root; this server serves another copy, as someone answering
  // the plain HTTP request with a root of their own would: refused at its download, before any
  // connection.
  ConsoleScenario pinned = Failed(
      "refused-root", "E2E-PIN",
      {"status: Root certificate downloading.", "detail: Root certificate download failed."});
  pinned.serverOptions.insert(pinned.serverOptions.end(), {"--fault", "expired-root"});
  pinned.errorsStart =
      "digital-id-enroll: ROOTCAThumbprint does not match the downloaded root certificate: "
      "expected ";
  pinned.events = {"http /ca.der 200", "http /root.der 200"};
  pinned.onlyEvents = pinned.events;
  pinned.rootRefused = true;
  all.push_back(pinned);

  ConsoleScenario machine = Installed("machine", "E2E-MACHINE");
  machine.serverOptions.push_back("--advance-mode");
  machine.arguments = {"--machine"};
  machine.machine = true;
  all.push_back(machine);

  // A server that asks for an optional client certificate gets none; on Windows the program
  // runs as on Windows XP, on the legacy enrollment control, with a certificate in the user's My
  // by now.
  ConsoleScenario legacy = Installed("optional-client-certificate", "E2E-LEGACY");
  legacy.serverOptions.push_back("--ask-client-certificate");
  legacy.events.push_back("client-certificate none");
  legacy.windowsAs = WindowsAs::Xp;
  all.push_back(legacy);

  // Schannel of Windows XP offers no TLS 1.2: acquiring the credentials fails after the anchors
  // were installed, and no request reaches the server.
  ConsoleScenario xp = Failed("xp-without-tls12", "E2E-XP", kHandshakeFailure);
  xp.lines = {"status: Installing Root certificate."};
  xp.absentEvents = {"request E2E-XP"};
  xp.windowsAs = WindowsAs::XpWithoutTls12;
  xp.platforms = Platforms::WindowsOnly;
  all.push_back(xp);

  // The server's denial and its two refusals. After a verdict the client acknowledges it; a
  // refusal at the first answer ends the exchange without a verdict and so without one.
  ConsoleScenario denied =
      Failed("denied", "E2E-DENY",
             {"status: Request denied.",
              "detail: Certificate was not issued. Ensure secure code was copied and pasted "
              "properly and has not been used before."});
  denied.serverOptions = {"--deny-code", denied.code};
  denied.events = {"closed E2E-DENY", "verdict E2E-DENY DENIED", "cltack E2E-DENY"};
  denied.stores = StoresAfter::Pending;
  all.push_back(denied);
  ConsoleScenario nack1 = Failed(
      "refused-at-first-answer", "E2E-NACK1",
      {"status: Submitting certificate request.", "detail: Invalid data. Request rejected."});
  nack1.serverOptions = {"--nack1-code", nack1.code};
  nack1.events = {"closed E2E-NACK1", "ack E2E-NACK1 SRVNACK"};
  nack1.absentEvents = {"cltack E2E-NACK1", "verdict E2E-NACK1 SRVNACK"};
  all.push_back(nack1);
  ConsoleScenario nack2 =
      Failed("refused-at-verdict", "E2E-NACK2",
             {"status: Bad connection.", "detail: Bad connection to the server."});
  nack2.serverOptions = {"--nack2-code", nack2.code};
  nack2.events = {"closed E2E-NACK2", "verdict E2E-NACK2 SRVNACK", "cltack E2E-NACK2"};
  all.push_back(nack2);

  // A verdict split over two records: only the first counts, and it is not the whole response.
  ConsoleScenario split = Failed("split-verdict", "E2E-SPLIT",
                                 {"status: Certificate installation failed.",
                                  "detail: Please try again with a new secure code."});
  split.serverOptions.insert(split.serverOptions.end(), {"--fault", "split-records=verdict"});
  split.events = {"closed E2E-SPLIT", "cltack E2E-SPLIT"};
  all.push_back(split);

  // A server whose chain the client does not trust, and a target name the server does not
  // carry: both refused at the handshake, before the request.
  ConsoleScenario untrusted = Failed("untrusted-server", "E2E-UNTRUSTED", kHandshakeFailure);
  untrusted.serverOptions.push_back("--untrusted-server");
  untrusted.linuxEvents = {"handshake-failed"};
  untrusted.absentEvents = {"request E2E-UNTRUSTED"};
  all.push_back(untrusted);
  ConsoleScenario wrongName = Failed("wrong-name", "E2E-NAME", kHandshakeFailure);
  wrongName.settings = {{"CAFECertNameSHA256", "wrong.example"},
                        {"CAFECertNameSHA1", "wrong.example"}};
  wrongName.linuxEvents = {"handshake-failed"};
  wrongName.absentEvents = {"request E2E-NAME"};
  all.push_back(wrongName);

  // The console program a user gets (the release build of the win32 preset), where it can run.
  ConsoleScenario shipped = Installed("shipped-console", "E2E-SHIPPED");
  shipped.shipped = true;
  shipped.platforms = Platforms::WindowsOnly;
  all.push_back(shipped);
  return all;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Reads JSON values from the start of a text, by the grammar of RFC 8259.
class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}

  // One value and nothing but blanks after it.
  bool Document() {
    const bool value = Value();
    Blanks();
    return value && at_ == text_.size();
  }

 private:
  void Blanks() {
    while (at_ < text_.size() &&
           std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos) {
      ++at_;
    }
  }
  bool Take(char c) {
    Blanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool Digits() {
    const std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > start;
  }
  bool Number() {
    Word("-");
    if (!Word("0") && !Digits()) return false;
    if (Word(".") && !Digits()) return false;
    if (Word("e") || Word("E")) {
      if (!Word("+")) Word("-");
      return Digits();
    }
    return true;
  }
  bool String() {
    if (!Word("\"")) return false;
    while (at_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c == '\\') {
        if (at_ >= text_.size()) return false;
        const char escaped = text_[at_++];
        if (escaped == 'u') {
          for (int i = 0; i < 4; ++i, ++at_) {
            if (at_ >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[at_]))) {
              return false;
            }
          }
        } else if (std::string_view("\"\\/bfnrt").find(escaped) == std::string_view::npos) {
          return false;
        }
      }
    }
    return false;
  }
  // The members of an object or the elements of an array, after the opening bracket.
  bool Items(char close, bool members) {
    if (Take(close)) return true;
    do {
      if (members) {
        Blanks();
        if (!String() || !Take(':')) return false;
      }
      if (!Value()) return false;
    } while (Take(','));
    return Take(close);
  }
  bool Value() {
    if (++depth_ > 64) return false;
    Blanks();
    bool read = false;
    if (Word("{")) {
      read = Items('}', true);
    } else if (Word("[")) {
      read = Items(']', false);
    } else if (at_ < text_.size() && text_[at_] == '"') {
      read = String();
    } else {
      read = Word("true") || Word("false") || Word("null") || Number();
    }
    --depth_;
    return read;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  int depth_ = 0;
};

}  // namespace

const std::vector<ConsoleScenario>& ConsoleScenarios() {
  static const std::vector<ConsoleScenario> all = MakeScenarios();
  return all;
}

std::vector<ConsoleScenario> ScenariosFor(Platforms platform) {
  std::vector<ConsoleScenario> chosen;
  for (const ConsoleScenario& scenario : ConsoleScenarios()) {
    if (scenario.platforms == Platforms::Both || scenario.platforms == platform) {
      chosen.push_back(scenario);
    }
  }
  return chosen;
}

std::string WithSettings(const std::string& ini,
                         const std::vector<std::pair<std::string, std::string>>& settings) {
  std::istringstream in(ini);
  std::string text;
  for (std::string line; std::getline(in, line);) {
    const bool carriageReturn = !line.empty() && line.back() == '\r';
    for (const auto& [key, value] : settings) {
      if (line.rfind(key + "=", 0) == 0) line = key + "=" + value + (carriageReturn ? "\r" : "");
    }
    text += line + "\n";
  }
  return text;
}

std::vector<std::string> LastTwo(const std::vector<std::string>& lines) {
  return {lines.size() > 2 ? lines.end() - 2 : lines.begin(), lines.end()};
}

std::vector<std::string> RunMismatches(const ConsoleScenario& scenario, int exitCode,
                                       const std::vector<std::string>& lines,
                                       const std::string& errors) {
  std::vector<std::string> failures;
  if (exitCode != scenario.exitCode) {
    failures.push_back("exit code " + std::to_string(exitCode) + ", expected " +
                       std::to_string(scenario.exitCode));
  }
  if (LastTwo(lines) != scenario.lastLines) failures.push_back("other last lines");
  for (const auto& [first, second] : scenario.adjacentLines) {
    bool found = false;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      found = found || (lines[i] == first && lines[i + 1] == second);
    }
    if (!found) failures.push_back("no \"" + first + "\" followed by \"" + second + "\"");
  }
  for (const std::string& line : scenario.lines) {
    if (!Contains(lines, line)) failures.push_back("no line \"" + line + "\"");
  }
  if (errors.rfind(scenario.errorsStart, 0) != 0) {
    failures.push_back("standard error does not start with \"" + scenario.errorsStart + "\"");
  }
  return failures;
}

std::vector<std::string> EventMismatches(const ConsoleScenario& scenario,
                                         const std::vector<std::string>& events) {
  std::vector<std::string> failures;
  for (const std::string& event : scenario.absentEvents) {
    if (Contains(events, event)) failures.push_back("the server logged \"" + event + "\"");
  }
  for (const std::string& event : events) {
    if (!scenario.onlyEvents.empty() && !Contains(scenario.onlyEvents, event)) {
      failures.push_back("the server logged more: \"" + event + "\"");
    }
  }
  return failures;
}

bool IsWellFormedJson(std::string_view text) {
  return JsonReader(text).Document();
}

std::string TestName(const std::string& name) {
  std::string made = name;
  for (char& c : made) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!plain) c = '_';
  }
  return made;
}

}  // namespace digital_id::e2e
