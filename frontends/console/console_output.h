#pragma once

#include <string_view>

namespace digital_id {

// The two output streams of the console program.
enum class ConsoleStream {
  Output,  // standard output: the status and detail lines, --help
  Errors,  // standard error: usage errors, notices of the core
};

// Writes UTF-8 text to a stream of the console program; everything it prints goes through here.
// On Windows a console receives the text as UTF-16 through WriteConsoleW, whatever its code page
// (which stays as it was), and a file or a pipe receives the UTF-8 bytes, each line ending in
// CR LF; elsewhere the bytes go to stdout or stderr unchanged.
void PrintText(ConsoleStream stream, std::string_view utf8);

}  // namespace digital_id
