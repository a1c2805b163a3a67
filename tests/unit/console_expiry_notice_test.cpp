// The expiry reminder of the console program: which identity decides, when it speaks, and what
// it says in English and French.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "frontends/console/console_expiry_notice.h"

namespace digital_id {
namespace {

constexpr std::int64_t kDay = 24 * 60 * 60;
// 2026-12-09 09:30:00 UTC.
constexpr std::int64_t kNow = 1796808600;

IdentityRecord IdentityFrom(std::int64_t notBefore, std::int64_t notAfter) {
  IdentityRecord identity;
  identity.subject = "CN=Alice, O=Example Org";
  identity.notBefore = notBefore;
  identity.notAfter = notAfter;
  return identity;
}

TEST(ConsoleExpiryNoticeTest, SpeaksOnlyWhenTheNewestIdentityEndsWithinThePeriodOrHasEnded) {
  // Five days left: a notice that says when, and that a new secure code is needed.
  const std::optional<ExpiryNotice> soon =
      ExpiryNoticeFor({IdentityFrom(kNow - kDay, kNow + 5 * kDay)}, kNow, 30, Language::English);
  ASSERT_TRUE(soon);
  EXPECT_EQ(soon->summary, "Your digital ID expires soon");
  EXPECT_NE(soon->body.find("It expires on 2026-12-14 at 09:30 UTC, in 5 days."), std::string::npos)
      << soon->body;
  EXPECT_NE(soon->body.find("new secure code"), std::string::npos) << soon->body;
  EXPECT_EQ(ExpiryNoticeLine(*soon), soon->summary + ": " + soon->body);

  // 400 days left, or more than the period asked for: nothing.
  EXPECT_FALSE(
      ExpiryNoticeFor({IdentityFrom(kNow - kDay, kNow + 400 * kDay)}, kNow, 30, Language::English));
  EXPECT_FALSE(
      ExpiryNoticeFor({IdentityFrom(kNow - kDay, kNow + 5 * kDay)}, kNow, 4, Language::English));

  // The newest identity decides: an older one that has expired is left alone when a newer one
  // lasts, and one that is not valid yet is not the newest.
  EXPECT_FALSE(ExpiryNoticeFor({IdentityFrom(kNow - 400 * kDay, kNow - 35 * kDay),
                                IdentityFrom(kNow - kDay, kNow + 300 * kDay)},
                               kNow, 30, Language::English));
  const std::optional<ExpiryNotice> expired =
      ExpiryNoticeFor({IdentityFrom(kNow - 400 * kDay, kNow - 35 * kDay),
                       IdentityFrom(kNow + kDay, kNow + 300 * kDay)},
                      kNow, 30, Language::English);
  ASSERT_TRUE(expired);
  EXPECT_EQ(expired->summary, "Your digital ID has expired");
  EXPECT_NE(expired->body.find("It expired on 2026-11-04 at 09:30 UTC."), std::string::npos)
      << expired->body;

  // No identity, or none that has begun: nothing.
  EXPECT_FALSE(ExpiryNoticeFor({}, kNow, 30, Language::English));
  EXPECT_FALSE(
      ExpiryNoticeFor({IdentityFrom(kNow + kDay, kNow + 2 * kDay)}, kNow, 30, Language::French));

  // French, with less than a day left.
  const std::optional<ExpiryNotice> french =
      ExpiryNoticeFor({IdentityFrom(kNow - kDay, kNow + 3600)}, kNow, 30, Language::French);
  ASSERT_TRUE(french);
  EXPECT_EQ(french->summary, "Votre code d'identification numérique expire bientôt");
  EXPECT_NE(french->body.find("Il expire le 2026-12-09 à 10:30 UTC, d'ici un jour."),
            std::string::npos)
      << french->body;
  EXPECT_NE(french->body.find("nouveau code de sécurité"), std::string::npos) << french->body;
}

}  // namespace
}  // namespace digital_id
