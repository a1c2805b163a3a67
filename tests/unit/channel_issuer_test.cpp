#include "tests/unit/channel_test_fixture.h"

namespace digital_id {
namespace {

using IssuerTest = ChannelTest;

fake::FakeCertificate ServerCertificate(const std::u16string& issuer) {
  fake::FakeCertificateData data;
  data.subject = u"ca.example.test";
  data.issuer = issuer;
  return fake::FakeCertificate(data);
}

TEST_F(IssuerTest, OnlyTheExactSimpleNameStringMatches) {
  const fake::FakeCertificate certificate =
      ServerCertificate(u"XX, Example Org, Example Issuing CA");
  fakes.profile.Set(u"CAIssuer", u"XX, Example Org, Example Issuing CA");
  EXPECT_EQ(CheckServerIssuer(&certificate), 1);

  for (const std::u16string other :
       {u"Example Issuing CA, Example Org, XX", u"C=XX, O=Example Org, CN=Example Issuing CA",
        u"CN=Example Issuing CA", u"xx, example org, example issuing ca",
        u"XX, Example Org, Example Issuing CA ", u" XX, Example Org, Example Issuing CA",
        u"XX,Example Org,Example Issuing CA", u"Example Issuing CA"}) {
    fakes.profile.Set(u"CAIssuer", other);
    EXPECT_EQ(CheckServerIssuer(&certificate), 0) << std::string(other.begin(), other.end());
  }
}

TEST_F(IssuerTest, MissingCertificateOrIssuerSettingNeverMatchesANamedIssuer) {
  EXPECT_EQ(CheckServerIssuer(nullptr), 0);
  fakes.profile.Remove(u"CAIssuer");
  EXPECT_EQ(CheckServerIssuer(nullptr), 0);
  const fake::FakeCertificate named = ServerCertificate(u"Example Issuing CA");
  EXPECT_EQ(CheckServerIssuer(&named), 0);
  // An issuer that renders empty is the only one an empty setting matches.
  const fake::FakeCertificate unnamed = ServerCertificate(u"");
  EXPECT_EQ(CheckServerIssuer(&unnamed), 1);
}

TEST_F(IssuerTest, IssuerIsComparedAsRenderedIntoTheNameBuffer) {
  const std::u16string longName(300, u'n');
  const fake::FakeCertificate certificate = ServerCertificate(longName);
  // Both the rendering and the setting keep 255 characters.
  fakes.profile.Set(u"CAIssuer", longName);
  EXPECT_EQ(CheckServerIssuer(&certificate), 1);
  fakes.profile.Set(u"CAIssuer", std::u16string(254, u'n'));
  EXPECT_EQ(CheckServerIssuer(&certificate), 0);
}

TEST_F(IssuerTest, ServerFromTheConfiguredIssuerPassesWithoutAnyText) {
  Establish();
  MarkLines();
  EXPECT_EQ(Shown(AuthenticateServer(channel, Language::English)), 1);
  EXPECT_TRUE(LinesUnchanged());
}

TEST_F(IssuerTest, ServerFromAnotherIssuerShowsValidationFailure) {
  Establish();
  Tls().peerCertificate->issuer = u"Other Intermediate CA";
  EXPECT_EQ(Shown(AuthenticateServer(channel, Language::English)), 0);
  EXPECT_EQ(StatusLine(), u"Validating server credentials.");
  EXPECT_EQ(DetailLine(), u"Unable to validate the server credentials.");

  // The language is the run's choice, not a fresh read of the setting.
  EXPECT_EQ(Shown(AuthenticateServer(channel, Language::French)), 0);
  EXPECT_EQ(StatusLine(), u"Validation des justificatifs d'identité du serveur.");
  EXPECT_EQ(DetailLine(), u"Incapable de valider les justificatifs d'identité du serveur.");
}

TEST_F(IssuerTest, SessionWithoutACertificateFailsTheValidation) {
  Establish();
  Tls().peerCertificate.reset();
  EXPECT_EQ(Shown(AuthenticateServer(channel, Language::English)), 0);
  EXPECT_EQ(DetailLine(), u"Unable to validate the server credentials.");

  // Nor does a session that was never secured yield one, or a channel without a session.
  SecureChannel unsecured;
  unsecured.session = Tls().NewSession();
  SetDetailLine(u"");
  EXPECT_EQ(Shown(AuthenticateServer(unsecured, Language::English)), 0);
  EXPECT_EQ(DetailLine(), u"Unable to validate the server credentials.");
  unsecured.session.reset();
  SetDetailLine(u"");
  EXPECT_EQ(Shown(AuthenticateServer(unsecured, Language::English)), 0);
  EXPECT_EQ(DetailLine(), u"Unable to validate the server credentials.");
}

}  // namespace
}  // namespace digital_id
