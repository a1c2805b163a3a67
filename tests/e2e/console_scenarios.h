#pragma once

// The end-to-end runs of the console program that both platforms make: each against a test
// issuing server of its own, followed by a look at the platform's certificate stores. The Linux
// end-to-end tests run them against digital-id-enroll, the Wine tests against
// digital-id-enroll.exe.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace digital_id::e2e {

// Where a scenario runs.
enum class Platforms { Both, LinuxOnly, WindowsOnly };

// What the stores must show after the run, in the run's context.
enum class StoresAfter {
  Issued,      // one more issued certificate in My, joined to its key, its request no longer
               // pending; the issuing CA in CA, the root not left there
  Pending,     // nothing issued; the request's key is still pending
  NoneIssued,  // nothing issued
};

// How the Windows run presents the system to the program.
enum class WindowsAs {
  Current,         // as the prefix is
  Xp,              // Windows XP, whose enrollment control is the legacy one
  XpWithoutTls12,  // Windows XP whose Schannel offers no TLS 1.2 to clients
};

// One run of the console program and what it must give.
struct ConsoleScenario {
  std::string name;                        // also the name of the server's folder
  std::vector<std::string> serverOptions;  // digital-id-test-server options (codes, faults)
  std::string code;                        // the line typed at the prompt
  std::vector<std::string> arguments;      // after the program name
  std::vector<std::pair<std::string, std::string>> settings;  // app.ini values replaced
  int exitCode = 0;
  std::vector<std::string> lastLines;  // the last status and detail lines
  std::vector<std::pair<std::string, std::string>> adjacentLines;  // pairs that follow each other
  std::vector<std::string> lines;                                  // lines that must be printed
  std::string errorsStart;                // the start of standard error, when it matters
  std::vector<std::string> events;        // server events that must come (waited for)
  std::vector<std::string> linuxEvents;   // further events of the Linux run (Schannel under Wine
                                          // ends a refused handshake before the server logs it)
  std::vector<std::string> absentEvents;  // server events that must not be logged
  std::vector<std::string> onlyEvents;    // when not empty: the only events allowed
  bool machine = false;                   // the machine's context (else the user's)
  StoresAfter stores = StoresAfter::NoneIssued;
  bool rootRefused = false;  // the root the server serves must end in no store
  bool shipped = false;      // run the shipped program instead of the test build's
  WindowsAs windowsAs = WindowsAs::Current;
  Platforms platforms = Platforms::Both;
};

// Every scenario, in the order the Windows tests run them (they share one prefix).
const std::vector<ConsoleScenario>& ConsoleScenarios();

// The scenarios a platform runs.
std::vector<ConsoleScenario> ScenariosFor(Platforms platform);

// An INI text with the values of the given keys replaced (keys that are absent are left so);
// line ends are kept as they were.
std::string WithSettings(const std::string& ini,
                         const std::vector<std::pair<std::string, std::string>>& settings);

// The last two of the lines (all of them when there are fewer).
std::vector<std::string> LastTwo(const std::vector<std::string>& lines);

// What a finished run is checked against: its exit code, its lines and its standard error. The
// failures, one text each; none when the run matches the scenario.
std::vector<std::string> RunMismatches(const ConsoleScenario& scenario, int exitCode,
                                       const std::vector<std::string>& lines,
                                       const std::string& errors);

// The failures of a server's event log against the scenario's absent and only events.
std::vector<std::string> EventMismatches(const ConsoleScenario& scenario,
                                         const std::vector<std::string>& events);

// A name usable as a test name (letters, digits and underscores).
std::string TestName(const std::string& name);

// True when text is one well-formed JSON document (RFC 8259: one value, blanks around it).
bool IsWellFormedJson(std::string_view text);

}  // namespace digital_id::e2e
