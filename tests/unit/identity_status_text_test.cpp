// What digital-id-enroll --status prints, from the records a platform gives: the blocks of text
// in English and French, and the JSON document, with hostile names escaped.

#include <gtest/gtest.h>

#include "frontends/console/identity_status_text.h"

namespace digital_id {
namespace {

TEST(IdentityStatusTextTest, BlocksInBothLanguagesAndJsonWithEscapedNamesAndValidity) {
  constexpr std::int64_t kNow = 1'796'810'400;  // 2026-12-09 10:00:00 UTC
  constexpr std::int64_t kDay = 86'400;
  IdentityRecord current;
  current.subject = "CN=Jane Doe,O=Example";
  current.issuer = "CN=Example Issuing CA";
  current.serial = "0A1B";
  current.notBefore = kNow - kDay;
  current.notAfter = kNow + 30 * kDay + 3600;
  current.hasPrivateKey = true;
  current.publishedFiles = {"/home/jane/identity/0001/identity.crt"};
  current.nssDatabases = {"/home/jane/.pki/nssdb"};
  // An ended identity whose names carry a quote, a backslash, a line end, an escape sequence and
  // a C1 control.
  IdentityRecord expired;
  expired.subject = "CN=Eve\"\\\n\x1b[31m\xc2\x9bX";
  expired.issuer = "CN=Ève";
  expired.serial = "FF";
  expired.notBefore = kNow - 400 * kDay;
  expired.notAfter = kNow - 10;
  const std::vector<StatusContext> both = {{false, {current}}, {true, {expired}}};

  EXPECT_EQ(UtcTimeText(kNow), "2026-12-09 10:00:00 UTC");
  EXPECT_EQ(IsoUtcTimeText(-1), "1969-12-31T23:59:59Z");
  EXPECT_TRUE(IsCurrentIdentity(current, kNow));
  EXPECT_FALSE(IsCurrentIdentity(expired, kNow));
  EXPECT_FALSE(IsCurrentIdentity(current, current.notAfter));
  EXPECT_EQ(DaysLeft(current, kNow), 30);
  EXPECT_EQ(DaysLeft(expired, kNow), -1);

  EXPECT_EQ(IdentityStatusText(both, kNow, Language::English, false),
            "Digital ID 1 of 1 (user)\n"
            "  Subject:       CN=Jane Doe,O=Example\n"
            "  Issuer:        CN=Example Issuing CA\n"
            "  Serial number: 0A1B\n"
            "  Valid from:    2026-12-08 10:00:00 UTC\n"
            "  Valid until:   2027-01-08 11:00:00 UTC\n"
            "  Days left:     30\n"
            "  Private key:   present\n"
            "  PEM file:      /home/jane/identity/0001/identity.crt\n"
            "  NSS database:  /home/jane/.pki/nssdb\n"
            "\n"
            "Digital ID 1 of 1 (machine)\n"
            "  Subject:       CN=Eve\"\\\\\\x0a\\x1b[31m\\u{9b}X\n"
            "  Issuer:        CN=Ève\n"
            "  Serial number: FF\n"
            "  Valid from:    2025-11-04 10:00:00 UTC\n"
            "  Valid until:   2026-12-09 09:59:50 UTC\n"
            "  Days left:     -1 (expired)\n"
            "  Private key:   missing\n");
  const std::string french = IdentityStatusText(both, kNow, Language::French, false);
  EXPECT_EQ(french.substr(0, french.find("\n\n") + 1),
            "Identité numérique 1 sur 1 (utilisateur)\n"
            "  Sujet :           CN=Jane Doe,O=Example\n"
            "  Émetteur :        CN=Example Issuing CA\n"
            "  Numéro de série : 0A1B\n"
            "  Valide du :       2026-12-08 10:00:00 UTC\n"
            "  Valide jusqu'au : 2027-01-08 11:00:00 UTC\n"
            "  Jours restants :  30\n"
            "  Clé privée :      présente\n"
            "  Fichier PEM :     /home/jane/identity/0001/identity.crt\n"
            "  Base NSS :        /home/jane/.pki/nssdb\n");
  EXPECT_NE(french.find("  Jours restants :  -1 (expirée)\n"), std::string::npos) << french;
  EXPECT_EQ(IdentityStatusText({{false, {}}}, kNow, Language::French, false),
            "Aucune identité numérique dans le magasin de l'utilisateur\n");

  // The JSON document is the same in every language.
  const std::string json = IdentityStatusText(both, kNow, Language::French, true);
  EXPECT_EQ(json, IdentityStatusText(both, kNow, Language::English, true));
  EXPECT_EQ(json,
            "{\n"
            "  \"checkedAt\": \"2026-12-09T10:00:00Z\",\n"
            "  \"identities\": [\n"
            "    {\n"
            "      \"context\": \"user\",\n"
            "      \"subject\": \"CN=Jane Doe,O=Example\",\n"
            "      \"issuer\": \"CN=Example Issuing CA\",\n"
            "      \"serial\": \"0A1B\",\n"
            "      \"validFrom\": \"2026-12-08T10:00:00Z\",\n"
            "      \"validUntil\": \"2027-01-08T11:00:00Z\",\n"
            "      \"daysLeft\": 30,\n"
            "      \"current\": true,\n"
            "      \"expired\": false,\n"
            "      \"hasPrivateKey\": true,\n"
            "      \"publishedFiles\": [\n"
            "        \"/home/jane/identity/0001/identity.crt\"\n"
            "      ],\n"
            "      \"nssDatabases\": [\n"
            "        \"/home/jane/.pki/nssdb\"\n"
            "      ]\n"
            "    },\n"
            "    {\n"
            "      \"context\": \"machine\",\n"
            "      \"subject\": \"CN=Eve\\\"\\\\\\n\\u001b[31m\\u009bX\",\n"
            "      \"issuer\": \"CN=Ève\",\n"
            "      \"serial\": \"FF\",\n"
            "      \"validFrom\": \"2025-11-04T10:00:00Z\",\n"
            "      \"validUntil\": \"2026-12-09T09:59:50Z\",\n"
            "      \"daysLeft\": -1,\n"
            "      \"current\": false,\n"
            "      \"expired\": true,\n"
            "      \"hasPrivateKey\": false,\n"
            "      \"publishedFiles\": [],\n"
            "      \"nssDatabases\": []\n"
            "    }\n"
            "  ]\n"
            "}\n");
  // Bytes that are not UTF-8 still give a well-formed document.
  IdentityRecord latin1 = expired;
  latin1.subject = "CN=\xe9";
  EXPECT_NE(IdentityStatusText({{false, {latin1}}}, kNow, Language::English, true)
                .find("\"subject\": \"CN=\xc3\xa9\""),
            std::string::npos);
  EXPECT_EQ(IdentityStatusText({}, kNow, Language::English, true),
            "{\n  \"checkedAt\": \"2026-12-09T10:00:00Z\",\n  \"identities\": []\n}\n");
}

}  // namespace
}  // namespace digital_id
