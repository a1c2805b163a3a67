#include "frontends/console/console_options.h"

#include <string_view>
#include <utility>

#include "base/utf8_text.h"

namespace digital_id {

std::optional<ConsoleOptions> ParseConsoleOptions(int argc, const char* const* argv,
                                                  std::string& error) {
  ConsoleOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--machine") {
      options.machine = true;
    } else if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--settings") {
      if (i + 1 >= argc || std::string_view(argv[i + 1]).empty()) {
        error = "--settings needs a file name";
        return std::nullopt;
      }
      options.settings = argv[++i];
    } else if (argument == "--export-pkcs12") {
      if (i + 1 >= argc || std::string_view(argv[i + 1]).empty()) {
        error = "--export-pkcs12 needs a file name";
        return std::nullopt;
      }
      options.exportPkcs12 = argv[++i];
    } else {
      error = "unknown argument: " + std::string(argument);
      return std::nullopt;
    }
  }
  return options;
}

const char* ConsoleUsage() {
  return "Usage: digital-id-enroll [--machine] [--settings FILE]\n"
         "       digital-id-enroll [--machine] --export-pkcs12 FILE\n"
         "\n"
         "Reads a one-time secure code from the first line of standard input and runs one\n"
         "enrollment: the trust anchors are checked, a key pair and a request are made, and the\n"
         "certificate the issuing server issues is installed with its key.\n"
         "\n"
         "  --machine        enroll the computer (machine context); needs AdvanceMode=true\n"
         "  --settings FILE  read the settings from FILE instead of ./app.ini\n"
         "  --export-pkcs12 FILE\n"
         "                   do not enroll: write the newest installed identity (the user's,\n"
         "                   the computer's with --machine) with its key and chain to FILE as\n"
         "                   PKCS #12, protected by the passphrase on the first line of\n"
         "                   standard input (AES-256, PBKDF2, SHA-256 MAC; not on Windows)\n"
         "  --help           show this text\n"
         "\n"
         "Every text of the status line is printed as \"status: TEXT\", every text of the detail\n"
         "line as \"detail: TEXT\" (a line break inside a text shows as \\n). What the\n"
         "enrollment made available to other programs, and what it left out, follows on standard\n"
         "error, one line each (\"published: ...\", \"skipped: ...\", \"failed: ...\").\n"
         "Exit code: 0 when the issued certificate was installed (or the file was exported), 1\n"
         "when the enrollment ended otherwise (or there was nothing to export or the export\n"
         "failed), 2 on a usage error.\n";
}

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::u16string SecureCodeFromLine(std::string_view line) {
  return Utf8OrLatin1ToUtf16(WithoutLineEnd(line));
}

}  // namespace digital_id
