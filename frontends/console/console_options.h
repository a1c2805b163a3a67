#pragma once

#include <optional>
#include <string>

namespace digital_id {

// What the command line of digital-id-enroll asks for.
struct ConsoleOptions {
  bool machine = false;                 // --machine: machine context
  std::optional<std::string> settings;  // --settings FILE instead of ./app.ini
  bool help = false;                    // --help
};

// Parses the arguments after the program name; nullopt with a message in error on a usage error.
std::optional<ConsoleOptions> ParseConsoleOptions(int argc, const char* const* argv,
                                                  std::string& error);

// The text --help prints.
const char* ConsoleUsage();

// Turns one line of standard input into the secure code: the line end ("\n" or "\r\n") is not
// part of it, anything else is; UTF-8 is decoded, other bytes are taken one character each.
std::u16string SecureCodeFromLine(std::string line);

}  // namespace digital_id
