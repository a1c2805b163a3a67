#include <gtest/gtest.h>

#include <functional>

#include "anchor_test_support.h"
#include "core/anchors/anchor_check.h"

namespace digital_id {
namespace {

using namespace testing;
constexpr auto kUser = StoreLocation::CurrentUser;
constexpr auto kMachine = StoreLocation::LocalMachine;

class AnchorCheckTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    Prepare();
  }
  void Prepare() {
    CreateWindow(true);
    ServeAnchors(fakes());
  }
  std::uint64_t Now() { return fakes().system.now.load(); }
  void StoreBoth(StoreLocation location = kUser) {
    fakes().certificates.Put(location, u"CA", AnchorData(false, Now()));
    fakes().certificates.Put(location, u"Root", AnchorData(true, Now()));
  }
};

struct OutcomeRow {
  const char* name;
  AnchorKind kind;
  std::function<void(fake::FakePlatform&)> arrange;
  int result;
  const char16_t* status[2];  // English, French
  const char16_t* detail[2];
};

TEST_F(AnchorCheckTest, EveryOutcomeShowsItsTextsInBothLanguages) {
  const std::uint64_t now = Now();
  auto storeAnchors = [now](fake::FakePlatform& f) {
    f.certificates.Put(kUser, u"CA", AnchorData(false, now));
    f.certificates.Put(kUser, u"Root", AnchorData(true, now));
  };
  const std::vector<OutcomeRow> rows{
      {"ca download failed",
       AnchorKind::Ca,
       [](fake::FakePlatform& f) {
         f.downloads.Serve(kCaUrl, fake::FakeDownload::Failing(kEFail));
       },
       0,
       {u"CA certificate downloading.", u"Téléchargement du certificat de l'AC."},
       {u"CA certificate download failed.", u"Échec du téléchargement du certificat de l'AC."}},
      {"root download failed",
       AnchorKind::Root,
       [](fake::FakePlatform& f) {
         f.downloads.Serve(kRootUrl, fake::FakeDownload::Failing(kEFail));
       },
       0,
       {u"Root certificate downloading.", u"Téléchargement du certificat racine."},
       {u"Root certificate download failed.", u"Échec du téléchargement du certificat racine."}},
      {"ca passes",
       AnchorKind::Ca,
       storeAnchors,
       1,
       {u"Checking CA certificate.", u"Vérification du certificat de l'AC."},
       {u"CA certificate found.", u"Détection du certificat de l'AC."}},
      {"root passes",
       AnchorKind::Root,
       storeAnchors,
       1,
       {u"Checking Root certificate.", u"Vérification du certificat racine."},
       {u"Root certificate found.", u"Détection du certificat racine."}},
      {"ca installed",
       AnchorKind::Ca,
       [](fake::FakePlatform&) {},
       1,
       {u"Installing CA certificate.", u"Installation du certificat de l'AC."},
       {u"", u""}},
      {"root installed",
       AnchorKind::Root,
       [](fake::FakePlatform&) {},
       1,
       {u"Installing Root certificate.", u"Installation du certificat racine."},
       {u"Please say \"Yes\" to the security warning.",
        u"Veuillez répondre « Oui » à l'avertissement de sécurité."}},
      {"ca add refused",
       AnchorKind::Ca,
       [](fake::FakePlatform& f) { f.certificates.RefuseAdds(kUser, u"CA"); },
       0,
       {u"CA certificate installation failed.", u"Échec de l'installation du certificat de l'AC."},
       {u"Unable to install CA certificate.", u"Incapable d'installer le certificat de l'AC."}},
      {"ca store unopenable",
       AnchorKind::Ca,
       [](fake::FakePlatform& f) { f.certificates.MakeUnopenable(kUser, u"CA"); },
       0,
       {u"CA certificate installation failed.", u"Échec de l'installation du certificat de l'AC."},
       {u"Unable to install CA certificate.", u"Incapable d'installer le certificat de l'AC."}},
      {"root add refused",
       AnchorKind::Root,
       [](fake::FakePlatform& f) { f.certificates.RefuseAdds(kUser, u"Root"); },
       0,
       {u"Root certificate installation failed.", u"Échec de l'installation du certificat racine."},
       {u"Unable to install Root certificate. Please say yes to the security warning.",
        u"Incapable d'installer le certificat racine. Veuillez répondre « Oui » à "
        u"l'avertissement de sécurité."}},
      {"root store unopenable",
       AnchorKind::Root,
       [](fake::FakePlatform& f) { f.certificates.MakeUnopenable(kUser, u"Root"); },
       0,
       {u"Checking Root certificate.", u"Vérification du certificat racine."},
       {u"Unable to find or install Root certificate. Please ensure you have Administrator "
        u"permissions.",
        u"Incapable de détecter ou d'installer le certificat racine. Veuillez vous assurer "
        u"d'avoir les autorisations d'administrateur."}},
  };
  for (const OutcomeRow& row : rows) {
    for (int french = 0; french < 2; ++french) {
      Reset();
      Prepare();
      if (french) SetFrench();
      row.arrange(fakes());
      // The root check goes by the issuer name that a CA check leaves behind.
      App().anchorIssuerName.Set(kRootName);
      const int result =
          row.kind == AnchorKind::Ca ? Shown(CheckCaCertificate()) : Shown(CheckRootCertificate());
      EXPECT_EQ(result, row.result) << row.name << " french=" << french;
      EXPECT_EQ(Status(), row.status[french]) << row.name << " french=" << french;
      EXPECT_EQ(Detail(), row.detail[french]) << row.name << " french=" << french;
      EXPECT_EQ(fakes().certificates.OpenStores(), 0) << row.name;
    }
  }
}

TEST_F(AnchorCheckTest, NotFoundTextComesBeforeTheInstallationInBothLanguages) {
  for (bool french : {false, true}) {
    Reset();
    Prepare();
    if (french) SetFrench();
    App().anchorIssuerName.Set(kRootName);
    for (AnchorKind kind : {AnchorKind::Ca, AnchorKind::Root}) {
      fakes().windows.ClearEvents();
      ASSERT_EQ(
          kind == AnchorKind::Ca ? Shown(CheckCaCertificate()) : Shown(CheckRootCertificate()), 1);
      const auto details = fakes().windows.TextsShownOn(App().detailLine);
      const auto statuses = fakes().windows.TextsShownOn(App().statusLine);
      const bool ca = kind == AnchorKind::Ca;
      const std::u16string notFound =
          ca ? (french ? u"Certificat de l'AC non détecté." : u"CA certificate not found.")
             : (french ? u"Certificat racine non détecté." : u"Root certificate not found.");
      const std::u16string checking =
          ca ? (french ? u"Vérification du certificat de l'AC." : u"Checking CA certificate.")
             : (french ? u"Vérification du certificat racine." : u"Checking Root certificate.");
      // Checking, downloading, the verdict on the stored copy, then the installation's texts.
      ASSERT_EQ(details.size(), 4u);
      EXPECT_EQ(details[2], notFound);
      EXPECT_EQ(statuses[2], checking);
      EXPECT_EQ(statuses[0], checking);
    }
  }
}

TEST_F(AnchorCheckTest, PassingCopiesAddNothingAndCaCheckRemembersTheRootName) {
  StoreBoth();
  EXPECT_EQ(Shown(CheckCaCertificate()), 1);
  EXPECT_EQ(App().anchorIssuerName.Get(), kRootName);
  EXPECT_EQ(Shown(CheckRootCertificate()), 1);
  EXPECT_EQ(fakes().certificates.AddCount(), 0);
}

TEST_F(AnchorCheckTest, ExpiredOrNotYetValidCopiesStayAndTheDownloadIsAdded) {
  for (bool expired : {true, false}) {
    Reset();
    Prepare();
    fake::FakeCertificateData stale = AnchorData(false, Now());
    if (expired) {
      stale.notAfter = Now() - 1;
    } else {
      stale.notBefore = Now() + 1;
    }
    fakes().certificates.Put(kUser, u"CA", stale);
    EXPECT_EQ(Shown(CheckCaCertificate()), 1);
    const auto contents = fakes().certificates.Contents(kUser, u"CA");
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_EQ(contents[0].notAfter, stale.notAfter);
    EXPECT_EQ(contents[1].notAfter, AnchorData(false, Now()).notAfter);
  }
}

TEST_F(AnchorCheckTest, ValidityLimitsThemselvesStillPass) {
  fake::FakeCertificateData edge = AnchorData(false, Now());
  edge.notAfter = Now();
  edge.notBefore = Now();
  fakes().certificates.Put(kUser, u"CA", edge);
  fakes().downloads.Serve(kCaUrl, fake::FakeDownload::Serving(fake::EncodeFakeCertificate(edge)));
  EXPECT_EQ(Shown(CheckCaCertificate()), 1);
  EXPECT_EQ(fakes().certificates.AddCount(), 0);
}

TEST_F(AnchorCheckTest, AlgorithmMustMatchTheMode) {
  // SHA-256 mode: a sha1RSA anchor never passes, even the very same certificate.
  fake::FakeCertificateData sha1 = AnchorData(false, Now());
  sha1.oid = fake::kSha1RsaOid;
  fakes().certificates.Put(kUser, u"CA", sha1);
  fakes().downloads.Serve(kCaUrl, fake::FakeDownload::Serving(fake::EncodeFakeCertificate(sha1)));
  EXPECT_EQ(Shown(CheckCaCertificate()), 1);
  EXPECT_EQ(fakes().certificates.AddCount(), 1);

  // Outside SHA-256 mode the same stored copy passes on its 20-byte thumbprint.
  App().isPostXp = 0;
  EXPECT_EQ(Shown(CheckCaCertificate()), 1);
  EXPECT_EQ(fakes().certificates.AddCount(), 1);
  // ...and a sha256RSA copy does not.
  fakes().downloads.Serve(
      kCaUrl, fake::FakeDownload::Serving(fake::EncodeFakeCertificate(AnchorData(false, Now()))));
  fakes().certificates.Put(kUser, u"CA", AnchorData(false, Now()));
  EXPECT_EQ(Shown(CheckCaCertificate()), 1);
  EXPECT_EQ(fakes().certificates.AddCount(), 2);
}

TEST_F(AnchorCheckTest, OnlyTheDownloadAddressOfTheModeIsRead) {
  fakes().profile.Set(u"CASHA1IssuerURL", u"http://elsewhere/");
  EXPECT_EQ(Shown(CheckCaCertificate()), 1);
  EXPECT_EQ(fakes().downloads.Requests(), std::vector<std::u16string>{kCaUrl});
  for (const auto& key : fakes().profile.KeysRead()) EXPECT_NE(key, u"CASHA1IssuerURL");
}

TEST_F(AnchorCheckTest, OnlyTheFirstMatchIsExamined) {
  fake::FakeCertificateData other = AnchorData(false, Now());
  other.serial = "someone else";
  fakes().certificates.Put(kUser, u"CA", other);
  fakes().certificates.Put(kUser, u"CA", AnchorData(false, Now()));
  EXPECT_EQ(Shown(CheckCaCertificate()), 1);
  EXPECT_EQ(fakes().certificates.Contents(kUser, u"CA").size(), 3u);
}

TEST_F(AnchorCheckTest, MachineContextUsesTheMachineStoresAskedAtEachOpening) {
  fakes().windows.Click(App().machineRadio);
  StoreBoth(kMachine);
  EXPECT_EQ(Shown(CheckCaCertificate()), 1);
  EXPECT_EQ(fakes().certificates.AddCount(), 0);
  EXPECT_EQ(fakes().certificates.OpenCount(kMachine, u"CA"), 1);
  EXPECT_EQ(fakes().certificates.OpenCount(kUser, u"CA"), 0);
}

TEST_F(AnchorCheckTest, RootOfAnotherNameIsNeverFoundAndIsInstalledEveryRun) {
  StoreBoth();
  App().anchorIssuerName.Set(u"Some Other Root");
  EXPECT_EQ(Shown(CheckRootCertificate()), 1);
  EXPECT_EQ(Shown(CheckRootCertificate()), 1);
  EXPECT_EQ(fakes().certificates.Contents(kUser, u"Root").size(), 3u);
}

TEST_F(AnchorCheckTest, FailedDownloadKeepsThePreviousRootName) {
  App().anchorIssuerName.Set(u"Earlier Root");
  fakes().downloads.Serve(kCaUrl, fake::FakeDownload::Failing(kEFail));
  EXPECT_EQ(Shown(CheckCaCertificate()), 0);
  EXPECT_EQ(App().anchorIssuerName.Get(), u"Earlier Root");
  EXPECT_EQ(fakes().certificates.OpenCount(kUser, u"CA"), 0);
}

}  // namespace
}  // namespace digital_id
