#include "frontends/console/console_expiry_notice.h"

#include <chrono>
#include <cstdio>

namespace digital_id {
namespace {

constexpr std::int64_t kDaySeconds = 24 * 60 * 60;

// "2026-12-14 at 09:30 UTC" in English, "2026-12-14 à 09:30 UTC" in French.
std::string UtcTime(std::int64_t seconds, Language language) {
  using namespace std::chrono;
  const sys_seconds moment{std::chrono::seconds(seconds)};
  const sys_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss<std::chrono::seconds> time{moment - day};
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %s %02d:%02d UTC", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                language == Language::French ? "à" : "at", static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()));
  return text;
}

// How long is left, as the end of a sentence: "in 5 days", "within a day".
std::string TimeLeft(std::int64_t secondsLeft, Language language) {
  const std::int64_t daysLeft = (secondsLeft + kDaySeconds - 1) / kDaySeconds;
  if (daysLeft <= 1) {
    return language == Language::French ? "d'ici un jour" : "within a day";
  }
  return (language == Language::French ? "dans " : "in ") + std::to_string(daysLeft) +
         (language == Language::French ? " jours" : " days");
}

}  // namespace

std::optional<ExpiryNotice> ExpiryNoticeFor(const std::vector<IdentityRecord>& identities,
                                            std::int64_t now, int noticeDays, Language language) {
  const IdentityRecord* newest = nullptr;
  for (const IdentityRecord& identity : identities) {
    if (identity.notBefore > now) {
      continue;  // not valid yet: it cannot be the one the user relies on today
    }
    if (newest == nullptr || identity.notBefore > newest->notBefore ||
        (identity.notBefore == newest->notBefore && identity.notAfter > newest->notAfter)) {
      newest = &identity;
    }
  }
  if (newest == nullptr) {
    return std::nullopt;
  }
  const std::int64_t secondsLeft = newest->notAfter - now;
  if (secondsLeft > static_cast<std::int64_t>(noticeDays) * kDaySeconds) {
    return std::nullopt;
  }
  const bool french = language == Language::French;
  const bool ended = secondsLeft <= 0;
  const std::string when = UtcTime(newest->notAfter, language);
  ExpiryNotice notice;
  if (french) {
    notice.summary = ended ? "Votre code d'identification numérique a expiré"
                           : "Votre code d'identification numérique expire bientôt";
    notice.body = ended ? "Il a expiré le " + when + "."
                        : "Il expire le " + when + ", " + TimeLeft(secondsLeft, language) + ".";
    notice.body +=
        " Il ne se renouvelle pas : pour vous inscrire de nouveau, demandez un nouveau code de "
        "sécurité à l'organisme qui l'a émis.";
  } else {
    notice.summary = ended ? "Your digital ID has expired" : "Your digital ID expires soon";
    notice.body = ended ? "It expired on " + when + "."
                        : "It expires on " + when + ", " + TimeLeft(secondsLeft, language) + ".";
    notice.body +=
        " It cannot be renewed: to enroll again, ask the organisation that issued it for a new "
        "secure code.";
  }
  return notice;
}

std::string ExpiryNoticeLine(const ExpiryNotice& notice) {
  return notice.summary + ": " + notice.body;
}

}  // namespace digital_id
