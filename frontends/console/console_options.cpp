#include "frontends/console/console_options.h"

#include <string_view>
#include <utility>

#include "base/serial_text.h"
#include "base/utf8_text.h"

namespace digital_id {

namespace {

// The longest notice period --days takes: ten years.
constexpr int kMaxExpiryNoticeDays = 3650;

// A whole number of days from 0 to kMaxExpiryNoticeDays written in decimal digits only.
std::optional<int> ParseDays(std::string_view text) {
  if (text.empty() || text.size() > 4) {
    return std::nullopt;
  }
  int days = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    days = days * 10 + (c - '0');
  }
  return days <= kMaxExpiryNoticeDays ? std::optional<int>(days) : std::nullopt;
}

// The usage error of options that do not go together; empty when they do.
std::string Conflict(const ConsoleOptions& options, bool daysGiven) {
  const int modes = (options.status ? 1 : 0) + (options.removeSerial ? 1 : 0) +
                    (options.checkExpiry ? 1 : 0) + (options.exportPkcs12 ? 1 : 0);
  if (modes > 1) {
    return "--status, --remove, --check-expiry and --export-pkcs12 exclude each other";
  }
  if (options.json && !options.status) {
    return "--json goes with --status only";
  }
  if (daysGiven && !options.checkExpiry) {
    return "--days goes with --check-expiry only";
  }
  if (options.checkExpiry && options.machine) {
    return "--check-expiry reminds the user of the user's own identity: no --machine";
  }
  return {};
}

}  // namespace

std::optional<ConsoleOptions> ParseConsoleOptions(int argc, const char* const* argv,
                                                  std::string& error) {
  ConsoleOptions options;
  bool daysGiven = false;
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
    } else if (argument == "--status") {
      options.status = true;
    } else if (argument == "--json") {
      options.json = true;
    } else if (argument == "--remove") {
      const std::optional<std::string> serial =
          i + 1 < argc ? ParseSerialText(argv[i + 1]) : std::nullopt;
      if (!serial) {
        error =
            "--remove needs the serial number of an identity (hexadecimal, as --status "
            "prints it)";
        return std::nullopt;
      }
      options.removeSerial = *serial;
      ++i;
    } else if (argument == "--check-expiry") {
      options.checkExpiry = true;
    } else if (argument == "--days") {
      const std::optional<int> days = i + 1 < argc ? ParseDays(argv[i + 1]) : std::nullopt;
      if (!days) {
        error = "--days needs a number of days from 0 to " + std::to_string(kMaxExpiryNoticeDays);
        return std::nullopt;
      }
      options.expiryDays = *days;
      daysGiven = true;
      ++i;
    } else {
      error = "unknown argument: " + std::string(argument);
      return std::nullopt;
    }
  }
  error = Conflict(options, daysGiven);
  if (!error.empty()) {
    return std::nullopt;
  }
  return options;
}

const char* ConsoleUsage() {
  return "Usage: digital-id-enroll [--machine] [--settings FILE]\n"
         "       digital-id-enroll [--machine] --export-pkcs12 FILE\n"
         "       digital-id-enroll [--machine] --status [--json]\n"
         "       digital-id-enroll [--machine] --remove SERIAL\n"
         "       digital-id-enroll --check-expiry [--days N]\n"
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
         "  --status         do not enroll: describe each identity installed for the user (with\n"
         "                   --machine, for the computer too): subject, issuer, serial number,\n"
         "                   validity, days left, its key and where it was published; exit code\n"
         "                   0 when one of them is still valid, else 1\n"
         "  --json           with --status: the same as one JSON document\n"
         "  --remove SERIAL  do not enroll: remove the identity with this serial number (the\n"
         "                   computer's with --machine) from the store, its files and the NSS\n"
         "                   databases it was published to; the anchors stay (not on Windows)\n"
         "  --check-expiry   do not enroll: when the user's newest identity expires within N\n"
         "                   days (or has expired), say so in a desktop notification, or on\n"
         "                   standard error without a desktop session; exit code 0\n"
         "  --days N         with --check-expiry: the notice period (default 30 days)\n"
         "  --help           show this text\n"
         "\n"
         "Every text of the status line is printed as \"status: TEXT\", every text of the detail\n"
         "line as \"detail: TEXT\" (a line break inside a text shows as \\n). What the\n"
         "enrollment made available to other programs, and what it left out, follows on standard\n"
         "error, one line each (\"published: ...\", \"skipped: ...\", \"failed: ...\").\n"
         "Exit code: 0 when the issued certificate was installed (or the file was exported, or\n"
         "the identity removed), 1 when the enrollment ended otherwise (or there was nothing to\n"
         "export, the export failed, or no identity has that serial number), 2 on a usage\n"
         "error.\n";
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
