#include <gtest/gtest.h>

#include "anchor_test_support.h"
#include "core/anchors/anchor_download.h"

namespace digital_id {
namespace {

using namespace testing;

class AnchorDownloadTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    CreateWindow();
    ServeAnchors(fakes());
    // The download runs on a real thread of the platform, as in the programs.
    fakes().system.threadMode = fake::ThreadMode::Real;
  }
  CertificatePtr Download(AnchorKind kind = AnchorKind::Ca) {
    CertificatePtr certificate;
    Shown(DownloadAnchorCertificate(kind, certificate));
    return certificate;
  }
  void ExpectCaFailure() {
    EXPECT_EQ(Status(), u"CA certificate downloading.");
    EXPECT_EQ(Detail(), u"CA certificate download failed.");
  }
};

TEST_F(AnchorDownloadTest, DerContentBecomesACertificateAndLeavesTheStepText) {
  CertificatePtr certificate = Download();
  ASSERT_NE(certificate, nullptr);
  EXPECT_EQ(certificate->EncodedIssuer(), fake::EncodeFakeName(kRootName));
  EXPECT_EQ(Status(), u"CA certificate downloading.");
  EXPECT_EQ(Detail(), u"");
}

TEST_F(AnchorDownloadTest, ShortReadsAreContinuedUntilTheReportedSizeIsIn) {
  fake::FakeDownload chunked;
  chunked.content = fake::EncodeFakeCertificate(AnchorData(false, fakes().system.now.load()));
  chunked.readChunk = 3;
  fakes().downloads.Serve(kCaUrl, chunked);
  EXPECT_NE(Download(), nullptr);
}

TEST_F(AnchorDownloadTest, UnusableContentFailsWithTheKindsTexts) {
  const Bytes der = fake::EncodeFakeCertificate(AnchorData(false, fakes().system.now.load()));
  std::vector<fake::FakeDownload> bad(6);
  const std::string pem = "-----BEGIN CERTIFICATE-----\nRkFLRUNFUlQ=\n-----END CERTIFICATE-----\n";
  bad[0].content.assign(pem.begin(), pem.end());  // Base64 text is not decoded
  bad[1].content = der;
  bad[1].reportedSize = der.size() + 10;  // content ends before the reported size
  bad[2].content = der;
  bad[2].reportedSize = 2 * 1024 * 1024;  // more than any anchor: not allocated
  bad[3].content = der;
  bad[3].readFails = true;
  bad[4].content = der;
  bad[4].sizeUnknown = true;
  bad[5].result = kSFalse;  // a success code other than S_OK
  for (std::size_t i = 0; i < bad.size(); ++i) {
    fakes().downloads.Serve(kCaUrl, bad[i]);
    EXPECT_EQ(Download(), nullptr) << i;
    ExpectCaFailure();
  }
}

TEST_F(AnchorDownloadTest, EmptyAddressFails) {
  fakes().profile.Set(u"CASHA256IssuerURL", u"");
  EXPECT_EQ(Download(), nullptr);
  ExpectCaFailure();
  fakes().profile.Set(u"ROOTCASHA256IssuerURL", u"");
  SetFrench();
  EXPECT_EQ(Download(AnchorKind::Root), nullptr);
  EXPECT_EQ(Status(), u"Téléchargement du certificat racine.");
  EXPECT_EQ(Detail(), u"Échec du téléchargement du certificat racine.");
}

TEST_F(AnchorDownloadTest, ZeroTimeOutAbortsAStalledDownloadThroughTheCallback) {
  for (const char16_t* timeout : {u"0", u"", u"abc"}) {
    fakes().profile.Set(u"DownloadTimeout", timeout);
    fakes().downloads.Serve(kCaUrl, fake::FakeDownload::Stalled());
    const int abortsBefore = fakes().downloads.AbortsSeen();
    EXPECT_EQ(Download(), nullptr);
    // The waiting thread only reports after the download really ended through the abort.
    EXPECT_EQ(fakes().downloads.AbortsSeen(), abortsBefore + 1);
    ExpectCaFailure();
  }
}

TEST_F(AnchorDownloadTest, TimeOutIsMilliseconds) {
  fakes().profile.Set(u"DownloadTimeout", u"0x32");  // 50 ms
  fakes().downloads.Serve(kCaUrl, fake::FakeDownload::Stalled());
  EXPECT_EQ(Download(), nullptr);
  EXPECT_EQ(fakes().downloads.AbortsSeen(), 1);
}

TEST_F(AnchorDownloadTest, DownloadThreadThatCannotStartFailsWithoutARequest) {
  fakes().system.threadMode = fake::ThreadMode::Fail;
  EXPECT_EQ(Download(), nullptr);
  ExpectCaFailure();
  EXPECT_TRUE(fakes().downloads.Requests().empty());
}

TEST_F(AnchorDownloadTest, DownloadThatEndsBeforeTheWaitNeedsNoTime) {
  // An inline thread has ended before the first wait: even a zero time-out takes its result.
  fakes().system.threadMode = fake::ThreadMode::Inline;
  fakes().profile.Set(u"DownloadTimeout", u"0");
  EXPECT_NE(Download(), nullptr);
  EXPECT_EQ(fakes().system.ThreadsStarted(), 1);
}

TEST_F(AnchorDownloadTest, CallbackAnswersAbortOnlyOnceAsked) {
  MyBindStatusCallback callback;
  EXPECT_EQ(callback.OnProgress(1, 2, 3, u"x"), kSOk);
  callback.RequestAbort();
  EXPECT_EQ(callback.OnProgress(1, 2, 3, u"x"), kEAbort);
  EXPECT_EQ(callback.OnProgress(0, 0, 0, nullptr), kEAbort);
}

TEST_F(AnchorDownloadTest, SwitchedModeReadsOnlyTheSha1Address) {
  App().isPostXp = 0;
  fakes().profile.Set(u"CASHA256IssuerURL", u"http://unused/");
  EXPECT_NE(Download(), nullptr);
  EXPECT_EQ(fakes().downloads.Requests(), std::vector<std::u16string>{kCaUrl});
}

}  // namespace
}  // namespace digital_id
