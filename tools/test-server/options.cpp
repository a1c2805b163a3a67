#include "options.h"

#include <array>

#include <charconv>
#include <optional>
#include <string_view>

namespace digital_id::test_server {

namespace {

bool ParseNumber(std::string_view text, unsigned long max, unsigned long& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && !text.empty() && value <= max;
}

bool IsCode(std::string_view code) {
  if (code.empty() || code.size() > 64) return false;
  for (const char c : code) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) {
      return false;
    }
  }
  return true;
}

// The server certificate chosen by an option without value; nothing for other options.
std::optional<ServerIdentity> IdentityOption(std::string_view name) {
  static const std::array<std::pair<std::string_view, ServerIdentity>, 5> options = {{
      {"--other-intermediate", ServerIdentity::OtherIntermediate},
      {"--untrusted-server", ServerIdentity::Untrusted},
      {"--expired-server", ServerIdentity::Expired},
      {"--not-yet-valid-server", ServerIdentity::NotYetValid},
      {"--wrong-name-server", ServerIdentity::WrongName},
  }};
  for (const auto& [text, identity] : options) {
    if (text == name) return identity;
  }
  return std::nullopt;
}

}  // namespace

std::string UsageText() {
  return "usage: digital-id-test-server [options]\n"
         "  --dir DIR              folder of the demo PKI (default ./test-server-data)\n"
         "  --http-port N          anchor download port on 127.0.0.1 (default: a free port)\n"
         "  --tls-port N           issuance port on 127.0.0.1 (default: a free port)\n"
         "  --client-auth-port N   HTTPS port that requires a client certificate from the\n"
         "                         issuing CA and answers with its subject (default: a free port)\n"
         "  --code CODE            one-time code that gets a certificate (repeatable)\n"
         "  --deny-code CODE       code answered SRVACK; then DENIED; (repeatable)\n"
         "  --nack1-code CODE      code answered SRVNACK; at once (repeatable)\n"
         "  --nack2-code CODE      code answered SRVACK; then SRVNACK; (repeatable)\n"
         "  --other-intermediate   present a server certificate from Other Issuing CA\n"
         "  --untrusted-server     present a self-signed server certificate\n"
         "  --expired-server       present a server certificate that expired yesterday\n"
         "  --not-yet-valid-server present a server certificate valid from next month\n"
         "  --wrong-name-server    present a server certificate for wrong.example only\n"
         "  --tls-version 1.N      speak only TLS 1.N (0 to 3; default 1.2)\n"
         "  --http-stall-path PATH accept GET PATH and never answer\n"
         "  --write-ini PATH       write an app.ini pointing at this server\n"
         "  --language LANG        Language in that app.ini (default EN)\n"
         "  --advance-mode         AdvanceMode=TRUE in that app.ini\n"
         "  --no-pins              leave CAThumbprint and ROOTCAThumbprint (the SHA-256\n"
         "                         fingerprints of the demo CA and root) out of that app.ini\n"
         "  --ask-client-certificate  ask issuance clients for an optional client certificate\n"
         "                         (naming the demo CA and root) and log whether one came\n"
         "  --ini-host HOST        CAAddress and server name in that app.ini (default 127.0.0.1)\n"
         "  --events FILE          append one line per event to FILE\n"
         "  --verdict-delay-ms N   pause between SRVACK; and the verdict (default 1000)\n"
         "  --validity-days N      issued certificates end N days from now (1 to 3650;\n"
         "                         default 365)\n"
         "  --help                 this text\n" +
         FaultUsageText() +
         "Without any code option, three one-time codes are made up and shown on standard "
         "error.\nStandard output: \"http-port N\", \"tls-port N\", \"client-auth-port N\", then "
         "\"ready\".\n";
}

ParseOutcome ParseOptions(int argc, char** argv, ServerOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--help" || name == "-h") return ParseOutcome::Help;
    if (const auto wanted = IdentityOption(name)) {
      if (options.identity != ServerIdentity::Regular && options.identity != *wanted) {
        error = "only one server certificate option may be given";
        return ParseOutcome::Error;
      }
      options.identity = *wanted;
      continue;
    }
    if (name == "--advance-mode") {
      options.advanceMode = true;
      continue;
    }
    if (name == "--no-pins") {
      options.writePins = false;
      continue;
    }
    if (name == "--ask-client-certificate") {
      options.askClientCertificate = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = std::string(name) + (name.rfind("--", 0) == 0 ? " needs a value" : ": unknown");
      return ParseOutcome::Error;
    }
    const std::string value = argv[++i];
    unsigned long number = 0;
    if (name == "--dir") {
      options.folder = value;
    } else if (name == "--http-port" || name == "--tls-port" || name == "--client-auth-port") {
      if (!ParseNumber(value, 65535, number)) {
        error = std::string(name) + " needs a port number, not \"" + value + "\"";
        return ParseOutcome::Error;
      }
      (name == "--http-port"  ? options.httpPort
       : name == "--tls-port" ? options.tlsPort
                              : options.clientAuthPort) = static_cast<std::uint16_t>(number);
    } else if (name == "--code" || name == "--deny-code" || name == "--nack1-code" ||
               name == "--nack2-code") {
      if (!IsCode(value)) {
        error = std::string(name) + " needs 1 to 64 letters, digits or hyphens";
        return ParseOutcome::Error;
      }
      const CodeKind kind = name == "--code"         ? CodeKind::Issue
                            : name == "--deny-code"  ? CodeKind::Deny
                            : name == "--nack1-code" ? CodeKind::RefuseFirst
                                                     : CodeKind::RefuseSecond;
      options.codes.emplace_back(value, kind);
    } else if (name == "--http-stall-path") {
      if (value.empty() || value.front() != '/') {
        error = "--http-stall-path needs a path starting with /";
        return ParseOutcome::Error;
      }
      options.stallPath = value;
    } else if (name == "--fault") {
      if (!options.faults.Add(value, error)) return ParseOutcome::Error;
    } else if (name == "--tls-version") {
      if (value.size() != 3 || value.compare(0, 2, "1.") != 0 ||
          !ParseNumber(std::string_view(value).substr(2), 3, number)) {
        error = "--tls-version needs 1.0, 1.1, 1.2 or 1.3";
        return ParseOutcome::Error;
      }
      options.tlsMinorVersion = static_cast<int>(number);
    } else if (name == "--write-ini") {
      options.iniPath = value;
    } else if (name == "--language") {
      options.language = value;
    } else if (name == "--ini-host") {
      options.iniHost = value;
    } else if (name == "--events") {
      options.eventsPath = value;
    } else if (name == "--verdict-delay-ms") {
      if (!ParseNumber(value, 60000, number)) {
        error = "--verdict-delay-ms needs 0 to 60000";
        return ParseOutcome::Error;
      }
      options.verdictDelay = std::chrono::milliseconds(number);
    } else if (name == "--validity-days") {
      if (!ParseNumber(value, 3650, number) || number == 0) {
        error = "--validity-days needs 1 to 3650";
        return ParseOutcome::Error;
      }
      options.validityDays = static_cast<long>(number);
    } else {
      error = "unknown option " + std::string(name);
      return ParseOutcome::Error;
    }
  }
  return ParseOutcome::Run;
}

}  // namespace digital_id::test_server
