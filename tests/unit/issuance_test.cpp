#include <gtest/gtest.h>

#include <utility>

#include "anchor_test_support.h"
#include "base/utf8_text.h"
#include "core/issuance/issuance.h"
#include "core/issuance/protocol.h"

namespace digital_id {
namespace {

using namespace testing;
using Kind = fake::EnrollmentCall::Kind;

class IssuanceTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    CreateWindow(true);
  }
  void SelectMachine() { fakes().windows.Click(App().machineRadio); }
};

TEST(IssuanceProtocolTest, RequestLengthFieldCountsTheWholeMessage) {
  const std::u16string code(10, u'C');
  const std::u16string identity(4, u'I');
  const std::u16string request(1000, u'R');
  const std::string sha1(EncodeRequestMessage(code, identity, request, false));
  EXPECT_EQ(sha1.size(), 1039u);
  EXPECT_EQ(sha1.substr(0, 11), "REQ;001039;");
  EXPECT_EQ(sha1.substr(sha1.size() - 12), ";true;false;");
  const std::string sha256(EncodeRequestMessage(code, identity, request, true));
  EXPECT_EQ(sha256.size(), 1038u);
  EXPECT_EQ(sha256.substr(0, 11), "REQ;001038;");
  EXPECT_EQ(sha256.substr(sha256.size() - 11), ";true;true;");
}

TEST(IssuanceProtocolTest, RequestKeepsLineBreaksAndNarrowsCharactersToTheirLowByte) {
  const std::string message(
      EncodeRequestMessage(u"AB-1", u"Ren\u00E9\u0141", u"MIIB\r\nAAA=\r\n", true));
  EXPECT_EQ(message, std::string("REQ;000045;AB-1;Ren\xE9\x41;MIIB\r\nAAA=\r\n;true;true;"));
  EXPECT_EQ(message.size(), 45u);
}

TEST(IssuanceProtocolTest, RequestTooLongForSixDigitsIsRefused) {
  EXPECT_EQ(EncodeRequestMessage(u"A", u"B", std::u16string(999990, u'R'), true), "");
}

TEST(IssuanceProtocolTest, AcknowledgementMarkersCountAnywhereCaseSensitivelyAcceptedFirst) {
  using enum ServerAcknowledgement;
  const std::pair<const char16_t*, ServerAcknowledgement> answers[] = {
      {u"SRVACK;", Accepted},     {u"xxSRVACK;SRVNACK;", Accepted}, {u"SRVNACK;", Refused},
      {u"bad SRVNACK;", Refused}, {u"srvack;", Unrecognised},       {u"", Unrecognised},
  };
  for (const auto& [answer, expected] : answers) {
    EXPECT_EQ(ClassifyServerAcknowledgement(answer), expected) << Utf16ToUtf8(answer);
  }
}

TEST(IssuanceProtocolTest, VerdictMarkersAreTestedDeniedThenRefusedThenIssued) {
  using enum IssuanceVerdict;
  const std::pair<const char16_t*, IssuanceVerdict> verdicts[] = {
      {u"DENIED;", Denied},          {u"ISSUED;abcDENIED;", Denied},
      {u"SRVNACK;ISSUED;x", Failed}, {u"ISSUED;MIIC", Issued},
      {u"", Unrecognised},           {u"issued;", Unrecognised},
      {u"SRVACK;", Unrecognised},
  };
  for (const auto& [verdict, expected] : verdicts) {
    EXPECT_EQ(ClassifyIssuanceVerdict(verdict), expected) << Utf16ToUtf8(verdict);
  }
}

TEST(IssuanceProtocolTest, ResponseIsEverythingAfterTheFirstIssuedMarker) {
  EXPECT_EQ(IssuedResponse(u"pre ISSUED;MIIC\r\nISSUED;tail"), u"MIIC\r\nISSUED;tail");
  EXPECT_EQ(IssuedResponse(u"ISSUED;"), u"");
  EXPECT_EQ(IssuedResponse(u"DENIED;MIIC"), u"");
}

TEST_F(IssuanceTest, RequestUsesThePathAndContextOfTheMoment) {
  const std::string message = Request(u"ABC-123", u"alice");
  EXPECT_EQ(message, "REQ;000057;ABC-123;alice;MIIBfake\r\nrequest==\r\n;true;true;");
  EXPECT_EQ(fakes().system.ComInitializeCount(), 1);
  SelectMachine();
  App().isPostXp = 0;
  App().forceSha256 = 1;
  EXPECT_NE(Request(u"ABC-123", u"HOST").find(";true;true;"), std::string::npos);
  App().forceSha256 = 0;
  EXPECT_NE(Request(u"ABC-123", u"HOST").find(";true;false;"), std::string::npos);
  const auto calls = fakes().enrollment.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].path, EnrollmentPath::Modern);
  EXPECT_EQ(calls[0].context, EnrollmentContext::User);
  EXPECT_EQ(calls[1].path, EnrollmentPath::Legacy);
  EXPECT_EQ(calls[1].context, EnrollmentContext::Machine);
  // Nothing is written on success.
  EXPECT_EQ(Status(), u"");
}

TEST_F(IssuanceTest, NoRequestFromTheObjectsShowsTheFailureTexts) {
  fakes().enrollment.request.clear();
  EXPECT_EQ(Request(u"ABC-123", u"alice"), "");
  EXPECT_EQ(Status(), u"Generating request.");
  EXPECT_EQ(Detail(),
            u"Error in generating certificate request. Please ensure you have "
            u"Administrator permissions.");
  SetFrench();
  EXPECT_EQ(Request(u"ABC-123", u"alice"), "");
  EXPECT_EQ(Status(), u"Générer une demande.");
  EXPECT_EQ(Detail(), u"Erreur au moment de générer une demande de certificat.");
}

struct AnswerRow {
  const char16_t* answer;
  int result;
  const char16_t* status[2];
  const char16_t* detail[2];
};

TEST_F(IssuanceTest, AcknowledgementRowsInBothLanguages) {
  const AnswerRow rows[] = {
      {u"SRVACK;",
       1,
       {u"Certificate request submitted.", u"Présentation de demande de certificat."},
       {u"Certificate request is in progress.", u"Traitement de la demande de certificat."}},
      {u"SRVNACK;",
       0,
       {u"Submitting certificate request.", u"Soumettre une demande de certificat."},
       {u"Invalid data. Request rejected.", u"Données invalides. Demande refusée."}},
      {u"",
       0,
       {u"Connection error.", u"Erreur de connexion."},
       {u"An error occurred while connected to the server.",
        u"Une erreur s'est produite pendant la connexion au serveur."}},
  };
  for (int french = 0; french < 2; ++french) {
    if (french) SetFrench();
    for (const AnswerRow& row : rows) {
      EXPECT_EQ(Shown(EvaluateServerAcknowledgement(row.answer)), row.result);
      EXPECT_EQ(Status(), row.status[french]);
      EXPECT_EQ(Detail(), row.detail[french]);
    }
  }
}

TEST_F(IssuanceTest, VerdictRowsInBothLanguagesWithBothDenialForms) {
  const char16_t* const denialEnglish =
      u"Certificate was not issued. Ensure secure code was copied and pasted properly and has "
      u"not been used before.";
  const char16_t* const formA =
      u"Le certificat n'a pas été émis. Veuillez vous assurer que le code de sécurité a été "
      u"copié et collé adéquatement \net qu'il n'a pas été utilisé préalablement.";
  const char16_t* const formB =
      u"Le certificat n'a pas été émis. Veuillez vous assurer que le code de sécurité a été "
      u"copié et collé adéquatement  \net qu'il n'a pas été utilisé préalablement.";
  const AnswerRow rows[] = {
      {u"DENIED;", 0, {u"Request denied.", u"Demande rejetée."}, {denialEnglish, formA}},
      {u"SRVNACK;",
       0,
       {u"Bad connection.", u"Mauvaise connexion."},
       {u"Bad connection to the server.", u"Mauvaise connexion au serveur."}},
      {u"ISSUED;MIIC",
       1,
       {u"Certificate was issued.", u"Le certificat a été émis."},
       {u"Installing certificate.", u"Installation du certificat."}},
      {u"", 0, {u"Request denied.", u"Demande rejetée."}, {denialEnglish, formB}},
  };
  for (int french = 0; french < 2; ++french) {
    if (french) SetFrench();
    for (const AnswerRow& row : rows) {
      EXPECT_EQ(Shown(EvaluateIssuanceVerdict(row.answer)), row.result);
      EXPECT_EQ(Status(), row.status[french]);
      EXPECT_EQ(Detail(), row.detail[french]);
    }
  }
}

TEST_F(IssuanceTest, SuccessfulInstallationTurnsGreenBeforeTheTextsAndCleansTheCaStore) {
  const std::uint64_t now = fakes().system.now.load();
  App().lineColour = kColourDarkRed;
  App().anchorIssuerName.Set(kRootName);
  fakes().certificates.Put(StoreLocation::CurrentUser, u"CA", AnchorData(false, now));
  fakes().certificates.Put(StoreLocation::CurrentUser, u"CA", AnchorData(true, now));
  fakes().windows.ClearEvents();
  Shown(InstallIssuedCertificate(u"ISSUED;MIIC\r\n"));
  const auto calls = fakes().enrollment.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, Kind::InstallResponse);
  EXPECT_EQ(calls[0].response, u"MIIC\r\n");
  EXPECT_EQ(App().lineColour.load(), 0x8000u);
  EXPECT_EQ(Status(), u"Certificate was issued.");
  EXPECT_EQ(Detail(), u"Certificate installation completed. Click Close to exit.");
  // Only the copy of the root went from the CA store; the issuing CA stayed.
  const auto ca = fakes().certificates.Contents(StoreLocation::CurrentUser, u"CA");
  ASSERT_EQ(ca.size(), 1u);
  EXPECT_EQ(ca[0].subject, kIssuingName);
  SetFrench();
  Shown(InstallIssuedCertificate(u"ISSUED;x"));
  EXPECT_EQ(Detail(),
            u"Installation du certificat terminée. Cliquer sur « Fermer » pour terminer.");
}

TEST_F(IssuanceTest, FailedInstallationStaysDarkRedAndDeletesNothing) {
  const std::uint64_t now = fakes().system.now.load();
  App().lineColour = kColourDarkRed;
  App().anchorIssuerName.Set(kRootName);
  fakes().certificates.Put(StoreLocation::CurrentUser, u"CA", AnchorData(true, now));
  fakes().enrollment.installResult = static_cast<std::int32_t>(0x80092004);
  for (int french = 0; french < 2; ++french) {
    if (french) SetFrench();
    Shown(InstallIssuedCertificate(u"ISSUED;"));
    EXPECT_EQ(App().lineColour.load(), 153u);
    EXPECT_EQ(Status(), french ? u"Échec de l'installation du certificat."
                               : u"Certificate installation failed.");
    EXPECT_EQ(Detail(), french ? u"Veuillez essayer avec un nouveau code de sécurité."
                               : u"Please try again with a new secure code.");
  }
  EXPECT_EQ(fakes().certificates.DeleteCount(), 0);
}

TEST_F(IssuanceTest, CleanUpNeedsARootNameAndTheModernPath) {
  const std::uint64_t now = fakes().system.now.load();
  fakes().certificates.Put(StoreLocation::CurrentUser, u"CA", AnchorData(false, now));
  App().anchorIssuerName.Set(u"");  // would match every certificate
  Shown(InstallIssuedCertificate(u"ISSUED;x"));
  App().anchorIssuerName.Set(kIssuingName);
  App().isPostXp = 0;
  Shown(InstallIssuedCertificate(u"ISSUED;x"));
  EXPECT_EQ(fakes().certificates.DeleteCount(), 0);
  // In machine context the machine's CA store is the one cleaned.
  App().isPostXp = 1;
  SelectMachine();
  fakes().certificates.Put(StoreLocation::LocalMachine, u"CA", AnchorData(false, now));
  Shown(InstallIssuedCertificate(u"ISSUED;x"));
  EXPECT_EQ(fakes().certificates.Contents(StoreLocation::LocalMachine, u"CA").size(), 0u);
  EXPECT_EQ(fakes().certificates.Contents(StoreLocation::CurrentUser, u"CA").size(), 1u);
  EXPECT_EQ(fakes().enrollment.Calls().back().context, EnrollmentContext::Machine);
}

}  // namespace
}  // namespace digital_id
