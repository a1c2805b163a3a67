#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace digital_id {

// The default of --days: how long before the end of its validity an identity is announced.
inline constexpr int kDefaultExpiryNoticeDays = 30;

// What the command line of digital-id-enroll asks for. At most one of status, removeSerial,
// checkExpiry and exportPkcs12 is set; none means an enrollment.
struct ConsoleOptions {
  bool machine = false;                     // --machine: machine context
  std::optional<std::string> settings;      // --settings FILE instead of ./app.ini
  std::optional<std::string> exportPkcs12;  // --export-pkcs12 FILE: export instead of enrolling
  bool status = false;                      // --status: list the installed identities
  bool json = false;                        // --json (with --status): as one JSON document
  std::optional<std::string> removeSerial;  // --remove SERIAL: the serial as ParseSerialText gives
  bool checkExpiry = false;                 // --check-expiry: remind of an identity's end
  int expiryDays = kDefaultExpiryNoticeDays;  // --days N (with --check-expiry)
  bool help = false;                          // --help
};

// Parses the arguments after the program name; nullopt with a message in error on a usage error.
std::optional<ConsoleOptions> ParseConsoleOptions(int argc, const char* const* argv,
                                                  std::string& error);

// The text --help prints.
const char* ConsoleUsage();

// One line of standard input without its line end ("\n" or "\r\n").
std::string_view WithoutLineEnd(std::string_view line);

// Turns one line of standard input into the secure code: the line end ("\n" or "\r\n") is not
// part of it, anything else is; UTF-8 is decoded, other bytes are taken one character each.
std::u16string SecureCodeFromLine(std::string_view line);

}  // namespace digital_id
