#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace digital_id {

// What the command line of digital-id-enroll asks for.
struct ConsoleOptions {
  bool machine = false;                     // --machine: machine context
  std::optional<std::string> settings;      // --settings FILE instead of ./app.ini
  std::optional<std::string> exportPkcs12;  // --export-pkcs12 FILE: export instead of enrolling
  bool help = false;                        // --help
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
