#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <optional>

#include "anchor_test_support.h"
#include "core/anchors/anchor_check.h"
#include "core/anchors/anchor_pin.h"
#include "core/enrollment/enrollment_run.h"

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

// The two anchors' SHA-256 digests as the fakes compute them, in upper-case hex.
struct AnchorDigests {
  std::string ca;
  std::string root;
};

// Hex with a colon between bytes, in lower case when asked: the forms a user may paste.
std::u16string Pasted(const std::string& hex, bool lower, char separator = ':') {
  std::u16string text;
  for (std::size_t i = 0; i < hex.size(); ++i) {
    if (i > 0 && i % 2 == 0) text += static_cast<char16_t>(separator);
    text += static_cast<char16_t>(lower ? std::tolower(hex[i]) : hex[i]);
  }
  return text;
}

std::u16string Wide(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}

struct PinRow {
  const char* name;
  // The values of CAThumbprint and ROOTCAThumbprint; nullopt leaves the key out.
  std::function<std::optional<std::u16string>(const AnchorDigests&)> caPin;
  std::function<std::optional<std::u16string>(const AnchorDigests&)> rootPin;
  bool sha1Mode;
  std::optional<AnchorKind> refused;  // the kind whose download is refused; nullopt: none
  // What the notice gives as expected: a digest's hex, or empty for a value that names none.
  std::function<std::string(const AnchorDigests&)> expected;
};

class AnchorPinTest : public AnchorCheckTest {
 protected:
  // A whole run can reach the server: the code is sent unless an anchor stops the run first.
  void PrepareRun() {
    Prepare();
    StoreBoth();
    for (const auto* key : {u"CAFECertNameSHA256", u"CAFECertNameSHA1", u"CAAddress"}) {
      fakes().profile.Set(key, u"ca.example.test");
    }
    for (const auto* key : {u"CATCPPortSHA256", u"CATCPPortSHA1"}) fakes().profile.Set(key, u"443");
    fakes().profile.Set(u"ConnectionTimeout", u"5000");
    fakes().profile.Set(u"CAIssuer", kIssuingName);
    fakes().sockets.AddHost("ca.example.test", 0x0A0200C0);
    fakes().tls.available = true;
    fakes().tls.peerCertificate->issuer = kIssuingName;
    fakes().windows.Type(App().codeEdit, u"PIN-CODE-1");
  }
  std::string DigestOf(bool root) {
    const Bytes der = fake::EncodeFakeCertificate(AnchorData(root, Now()));
    const CertificatePtr certificate = fakes().certificates.CreateFromDer(der.data(), der.size());
    return HexDigits(fakes().certificates.Thumbprint(ThumbprintAlgorithm::Sha256, *certificate));
  }
};

TEST_F(AnchorPinTest, DownloadsAreHeldToTheirPinsBeforeAnyStoreOrConnection) {
  using Pin = std::optional<std::u16string>;
  const auto none = [](const AnchorDigests&) { return Pin(); };
  const auto caRight = [](const AnchorDigests& d) { return Pin(Pasted(d.ca, true)); };
  const auto rootRight = [](const AnchorDigests& d) { return Pin(Pasted(d.root, true)); };
  const auto nothing = [](const AnchorDigests&) { return std::string(); };
  const std::vector<PinRow> rows{
      {"no pins", none, none, false, std::nullopt, nothing},
      {"empty and blank pins", [](const AnchorDigests&) { return Pin(u""); },
       [](const AnchorDigests&) { return Pin(u"  "); }, false, std::nullopt, nothing},
      {"right pins, lower case with colons", caRight, rootRight, false, std::nullopt, nothing},
      {"right pins as openssl prints them, label included",
       [](const AnchorDigests& d) { return Pin(u"sha256 Fingerprint=" + Pasted(d.ca, false)); },
       [](const AnchorDigests& d) {
         return Pin(u" SHA256 Fingerprint=" + Pasted(d.root, true, ' '));
       },
       false, std::nullopt, nothing},
      {"right pins stay SHA-256 in SHA-1 mode", caRight, rootRight, true, std::nullopt, nothing},
      {"wrong CA pin", [](const AnchorDigests& d) { return Pin(Wide(d.root)); }, rootRight, false,
       AnchorKind::Ca, [](const AnchorDigests& d) { return d.root; }},
      {"wrong root pin", caRight, [](const AnchorDigests& d) { return Pin(Wide(d.ca)); }, false,
       AnchorKind::Root, [](const AnchorDigests& d) { return d.ca; }},
      {"CA pin one digit short", [](const AnchorDigests& d) { return Pin(Wide(d.ca.substr(1))); },
       none, false, AnchorKind::Ca, nothing},
      {"root pin with a letter that is no hex digit", [](const AnchorDigests&) { return Pin(); },
       [](const AnchorDigests& d) { return Pin(Wide(d.root.substr(0, 63) + "G")); }, false,
       AnchorKind::Root, nothing},
      {"root pin under another digest's label", none,
       [](const AnchorDigests& d) { return Pin(u"sha1 Fingerprint=" + Wide(d.root)); }, false,
       AnchorKind::Root, nothing},
  };
  for (const PinRow& row : rows) {
    for (bool french : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (french ? " (French)" : ""));
      Reset();
      PrepareRun();
      if (french) SetFrench();
      if (row.sha1Mode) App().isPostXp = 0;
      const AnchorDigests digests{DigestOf(false), DigestOf(true)};
      if (const Pin pin = row.caPin(digests)) fakes().profile.Set(u"CAThumbprint", *pin);
      if (const Pin pin = row.rootPin(digests)) fakes().profile.Set(u"ROOTCAThumbprint", *pin);
      const int addsBefore = fakes().certificates.AddCount();

      RunEnrollment();

      const std::vector<std::string> sent = fakes().tls.SentMessages();
      const bool codeSent = std::any_of(sent.begin(), sent.end(), [](const std::string& m) {
        return m.find("PIN-CODE-1") != std::string::npos;
      });
      if (!row.refused) {
        EXPECT_TRUE(codeSent);
        EXPECT_TRUE(fakes().windows.Notices().empty());
        continue;
      }
      const bool root = *row.refused == AnchorKind::Root;
      EXPECT_EQ(Status(), root ? (french ? u"Téléchargement du certificat racine."
                                         : u"Root certificate downloading.")
                               : (french ? u"Téléchargement du certificat de l'AC."
                                         : u"CA certificate downloading."));
      EXPECT_EQ(Detail(), root ? (french ? u"Échec du téléchargement du certificat racine."
                                         : u"Root certificate download failed.")
                               : (french ? u"Échec du téléchargement du certificat de l'AC."
                                         : u"CA certificate download failed."));
      // Nothing added, the refused kind's store never opened, the server never reached.
      EXPECT_EQ(fakes().certificates.AddCount(), addsBefore);
      EXPECT_EQ(fakes().certificates.OpenCount(kUser, root ? u"Root" : u"CA"), 0);
      EXPECT_EQ(fakes().downloads.Requests().size(), root ? 2u : 1u);
      EXPECT_EQ(fakes().sockets.Startups(), 0);
      EXPECT_EQ(fakes().sockets.SocketsCreated(), 0);
      EXPECT_EQ(fakes().tls.SessionsCreated(), 0);
      EXPECT_FALSE(codeSent);
      // One notice names the setting and both digests.
      const std::vector<std::string> notices = fakes().windows.Notices();
      ASSERT_EQ(notices.size(), 1u);
      const std::string expected = row.expected(digests);
      const std::string head =
          root ? "ROOTCAThumbprint does not match the downloaded root certificate: expected "
               : "CAThumbprint does not match the downloaded CA certificate: expected ";
      EXPECT_EQ(notices[0].rfind(head + expected, 0), 0u) << notices[0];
      if (expected.empty()) {
        EXPECT_NE(notices[0].find("(not a SHA-256 digest of 64 hex digits)"), std::string::npos);
      }
      const std::string received = ", received " + (root ? digests.root : digests.ca);
      EXPECT_TRUE(notices[0].ends_with(received)) << notices[0];
    }
  }
}

}  // namespace
}  // namespace digital_id
