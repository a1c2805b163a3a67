#include "frontends/console/identity_status_text.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string_view>

#include "base/escaped_text.h"
#include "base/utf8_text.h"

namespace digital_id {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;

// The labels of a block in one language.
struct StatusLabels {
  const char* identity;               // "Digital ID"
  const char* of;                     // "of", between the number and the count
  const char* user;                   // the user's context
  const char* machine;                // the machine's context
  const char* noneUser;               // the line of the user's context when it holds no identity
  const char* noneMachine;            // the same for the machine's
  std::array<const char*, 9> fields;  // subject ... NSS database, each with its colon
  const char* present;                // the private key is there
  const char* missing;                // it is not
  const char* expired;                // after the days left of an ended identity
  const char* notYet;                 // after the days left of an identity not yet valid
};

constexpr StatusLabels kEnglish{
    "Digital ID",
    "of",
    "user",
    "machine",
    "No digital ID in the user's store",
    "No digital ID in the machine's store",
    {"Subject:", "Issuer:", "Serial number:", "Valid from:", "Valid until:", "Days left:",
     "Private key:", "PEM file:", "NSS database:"},
    "present",
    "missing",
    "expired",
    "not yet valid"};

constexpr StatusLabels kFrench{
    "Identité numérique",
    "sur",
    "utilisateur",
    "machine",
    "Aucune identité numérique dans le magasin de l'utilisateur",
    "Aucune identité numérique dans le magasin de la machine",
    {"Sujet :", "Émetteur :", "Numéro de série :", "Valide du :", "Valide jusqu'au :",
     "Jours restants :", "Clé privée :", "Fichier PEM :", "Base NSS :"},
    "présente",
    "absente",
    "expirée",
    "pas encore valide"};

enum Field { kSubject, kIssuer, kSerial, kFrom, kUntil, kDays, kKey, kPem, kNss };

// Characters of UTF-8 text, for alignment.
std::size_t Width(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The date and time of a moment, UTC.
struct UtcParts {
  int year;
  unsigned month, day;
  int hours, minutes, seconds;
};

UtcParts Parts(std::int64_t seconds) {
  using namespace std::chrono;
  const sys_seconds moment{std::chrono::seconds{seconds}};
  const sys_days day = floor<days>(moment);
  const year_month_day date{day};
  const int inDay = static_cast<int>((moment - day).count());
  return {static_cast<int>(date.year()),
          static_cast<unsigned>(date.month()),
          static_cast<unsigned>(date.day()),
          inDay / 3600,
          inDay / 60 % 60,
          inDay % 60};
}

std::string Formatted(std::int64_t seconds, const char* layout) {
  const UtcParts parts = Parts(seconds);
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), layout, parts.year, parts.month, parts.day, parts.hours,
                parts.minutes, parts.seconds);
  return text.data();
}

// Text as a JSON string, quotes included: well-formed UTF-8 (text that is not is read as
// Latin-1), with quotes, backslashes and control characters (C0, DEL, C1) escaped.
std::string JsonString(std::string_view text) {
  const std::string utf8 =
      Utf8ToUtf16(text) ? std::string(text) : Utf16ToUtf8(Utf8OrLatin1ToUtf16(text));
  std::string out = "\"";
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    const unsigned char next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1])
                                                   : static_cast<unsigned char>(0);
    std::array<char, 8> escape{};
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(escape.data(), escape.size(), "\\u%04x", static_cast<unsigned>(byte));
      out += escape.data();
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
      std::snprintf(escape.data(), escape.size(), "\\u%04x", static_cast<unsigned>(next));
      out += escape.data();
      ++i;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out + "\"";
}

std::string JsonList(const std::vector<std::string>& items, const std::string& indent) {
  if (items.empty()) {
    return "[]";
  }
  std::string out = "[\n";
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += indent + "  " + JsonString(items[i]) + (i + 1 < items.size() ? ",\n" : "\n");
  }
  return out + indent + "]";
}

std::string JsonDocument(const std::vector<StatusContext>& contexts, std::int64_t now) {
  std::vector<std::string> objects;
  for (const StatusContext& context : contexts) {
    for (const IdentityRecord& identity : context.identities) {
      const char* indent = "      ";
      const auto member = [&](const char* name, const std::string& value, bool last = false) {
        return indent + JsonString(name) + ": " + value + (last ? "\n" : ",\n");
      };
      const auto boolean = [](bool value) { return std::string(value ? "true" : "false"); };
      objects.push_back(
          "    {\n" + member("context", JsonString(context.machine ? "machine" : "user")) +
          member("subject", JsonString(identity.subject)) +
          member("issuer", JsonString(identity.issuer)) +
          member("serial", JsonString(identity.serial)) +
          member("validFrom", JsonString(IsoUtcTimeText(identity.notBefore))) +
          member("validUntil", JsonString(IsoUtcTimeText(identity.notAfter))) +
          member("daysLeft", std::to_string(DaysLeft(identity, now))) +
          member("current", boolean(IsCurrentIdentity(identity, now))) +
          member("expired", boolean(now >= identity.notAfter)) +
          member("hasPrivateKey", boolean(identity.hasPrivateKey)) +
          member("publishedFiles", JsonList(identity.publishedFiles, indent)) +
          member("nssDatabases", JsonList(identity.nssDatabases, indent), true) + "    }");
    }
  }
  std::string out = "{\n  \"checkedAt\": " + JsonString(IsoUtcTimeText(now)) + ",\n";
  out += "  \"identities\": [";
  for (std::size_t i = 0; i < objects.size(); ++i) {
    out += (i == 0 ? "\n" : ",\n") + objects[i];
  }
  return out + (objects.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

std::string TextBlocks(const std::vector<StatusContext>& contexts, std::int64_t now,
                       Language language) {
  const StatusLabels& labels = language == Language::French ? kFrench : kEnglish;
  std::size_t width = 0;
  for (const char* field : labels.fields) {
    width = std::max(width, Width(field));
  }
  const auto line = [&](Field field, const std::string& value) {
    const std::string label = labels.fields[field];
    return "  " + label + std::string(width + 1 - Width(label), ' ') +
           EscapeControlCharacters(value) + "\n";
  };
  std::string out;
  for (const StatusContext& context : contexts) {
    const char* name = context.machine ? labels.machine : labels.user;
    // Blocks are separated by an empty line; appended piece by piece.
    if (!out.empty()) {
      out += '\n';
    }
    if (context.identities.empty()) {
      out += context.machine ? labels.noneMachine : labels.noneUser;
      out += '\n';
      continue;
    }
    const std::size_t count = context.identities.size();
    for (std::size_t index = 0; index < count; ++index) {
      const IdentityRecord& identity = context.identities[index];
      const std::int64_t days = DaysLeft(identity, now);
      std::string daysText = std::to_string(days);
      if (now >= identity.notAfter) {
        daysText += std::string(" (") + labels.expired + ")";
      } else if (now < identity.notBefore) {
        daysText += std::string(" (") + labels.notYet + ")";
      }
      if (index > 0) {
        out += '\n';
      }
      out += std::string(labels.identity) + " " + std::to_string(index + 1) + " " + labels.of +
             " " + std::to_string(count) + " (" + name + ")\n";
      out += line(kSubject, identity.subject) + line(kIssuer, identity.issuer) +
             line(kSerial, identity.serial) + line(kFrom, UtcTimeText(identity.notBefore)) +
             line(kUntil, UtcTimeText(identity.notAfter)) + line(kDays, daysText) +
             line(kKey, identity.hasPrivateKey ? labels.present : labels.missing);
      for (const std::string& file : identity.publishedFiles) {
        out += line(kPem, file);
      }
      for (const std::string& database : identity.nssDatabases) {
        out += line(kNss, database);
      }
    }
  }
  return out;
}

}  // namespace

bool IsCurrentIdentity(const IdentityRecord& identity, std::int64_t now) {
  return identity.notBefore <= now && now < identity.notAfter;
}

std::int64_t DaysLeft(const IdentityRecord& identity, std::int64_t now) {
  const std::int64_t left = identity.notAfter - now;
  return left >= 0 ? left / kSecondsPerDay : -((-left + kSecondsPerDay - 1) / kSecondsPerDay);
}

std::string UtcTimeText(std::int64_t seconds) {
  return Formatted(seconds, "%04d-%02u-%02u %02d:%02d:%02d UTC");
}

std::string IsoUtcTimeText(std::int64_t seconds) {
  return Formatted(seconds, "%04d-%02u-%02uT%02d:%02d:%02dZ");
}

std::string IdentityStatusText(const std::vector<StatusContext>& contexts, std::int64_t now,
                               Language language, bool json) {
  return json ? JsonDocument(contexts, now) : TextBlocks(contexts, now, language);
}

}  // namespace digital_id
