#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "code_book.h"
#include "fault_plan.h"

namespace digital_id::test_server {

// Which server certificate the TLS side presents.
enum class ServerIdentity {
  Regular,            // issued by the issuing CA
  OtherIntermediate,  // issued by the other intermediate under the same root
  Untrusted,          // self-signed
  Expired,            // like Regular, but its validity ended yesterday
  NotYetValid,        // like Regular, but valid only from next month
  WrongName,          // like Regular, but for the name wrong.example only
};

// Everything the command line can set.
struct ServerOptions {
  std::string folder = "./test-server-data";            // --dir
  std::uint16_t httpPort = 0;                           // --http-port (0: a free port)
  std::uint16_t tlsPort = 0;                            // --tls-port (0: a free port)
  std::uint16_t clientAuthPort = 0;                     // --client-auth-port (0: a free port)
  std::vector<std::pair<std::string, CodeKind>> codes;  // --code, --deny-code, --nack1/2-code
  ServerIdentity identity =
      ServerIdentity::Regular;                   // --other-intermediate, --untrusted-server, ...
  std::string stallPath;                         // --http-stall-path
  std::string iniPath;                           // --write-ini
  std::string language = "EN";                   // --language
  bool advanceMode = false;                      // --advance-mode
  bool writePins = true;                         // the anchor pins in app.ini (--no-pins: none)
  bool askClientCertificate = false;             // --ask-client-certificate
  std::string iniHost = "127.0.0.1";             // --ini-host
  std::string eventsPath;                        // --events
  std::chrono::milliseconds verdictDelay{1000};  // --verdict-delay-ms
  FaultPlan faults;                              // --fault
  int tlsMinorVersion = 2;                       // --tls-version 1.N (0 to 3)
  long validityDays = 365;                       // --validity-days: of issued certificates
};

// Result of reading the command line.
enum class ParseOutcome { Run, Help, Error };

// Reads the arguments into options; on Error, error says what is wrong.
ParseOutcome ParseOptions(int argc, char** argv, ServerOptions& options, std::string& error);

// The usage text printed by --help and after a usage error.
std::string UsageText();

}  // namespace digital_id::test_server
