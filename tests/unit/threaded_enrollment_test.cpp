#include <gtest/gtest.h>

#include <string>

#include "anchor_test_support.h"

namespace digital_id {
namespace {

using namespace testing;

// A whole enrollment on a real worker thread (with its real download threads) while this thread,
// as the window's main thread does, keeps reading the two lines, their colour and the controls.
// Under ThreadSanitizer this shows that the three threads share their state without races.
class ThreadedEnrollmentTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    CreateWindow(true);
    ServeAnchors(fakes());
    fakes().profile.Set(u"CAIssuer", kIssuingName);
    fakes().profile.Set(u"CAAddress", u"ca.example.test");
    fakes().profile.Set(u"CATCPPortSHA256", u"443");
    fakes().profile.Set(u"ConnectionTimeout", u"5000");
    fakes().profile.Set(u"SendReceiveTimeout", u"5000");
    fakes().profile.Set(u"CAFECertNameSHA256", u"ca.example.test");
    fakes().sockets.AddHost("ca.example.test", 0x0A0200C0);
    fakes().tls.available = true;
    fakes().tls.peerCertificate->issuer = kIssuingName;
    fakes().system.threadMode = fake::ThreadMode::Real;
  }

  // Submits a code and reads the window from this thread while the worker runs, then waits for
  // the worker's end.
  void SubmitAndWatch(const std::u16string& code) {
    fakes().windows.Type(App().codeEdit, code);
    OnMainWindowCommand(1);
    for (int i = 0; i < 2000; ++i) {
      (void)Status();
      (void)Detail();
      (void)InputControlsEnabled();
      (void)App().lineColour.load();
    }
    fakes().system.WaitForThreads();
  }
};

TEST_F(ThreadedEnrollmentTest, EnrollmentOnAWorkerThreadEndsGreenWhileTheLinesAreRead) {
  fakes().tls.QueueMessage("SRVACK;");
  fakes().tls.QueueMessage("ISSUED;MIIC\r\nchain==\r\n");
  SubmitAndWatch(u"ABC-123");
  EXPECT_EQ(Status(), u"Certificate was issued.");
  EXPECT_EQ(Detail(), u"Certificate installation completed. Click Close to exit.");
  EXPECT_EQ(App().lineColour.load(), 0x8000u);
  EXPECT_TRUE(InputControlsEnabled());
  // The worker, and one download thread for each anchor, all through the platform.
  EXPECT_EQ(fakes().system.ThreadsStarted(), 3);
}

TEST_F(ThreadedEnrollmentTest, StalledDownloadOnAWorkerThreadIsAbortedByItsTimeout) {
  fakes().profile.Set(u"DownloadTimeout", u"20");
  fakes().downloads.Serve(kCaUrl, fake::FakeDownload::Stalled());
  SubmitAndWatch(u"ABC-123");
  EXPECT_EQ(Status(), u"CA certificate downloading.");
  EXPECT_EQ(Detail(), u"CA certificate download failed.");
  EXPECT_EQ(fakes().downloads.AbortsSeen(), 1);
  EXPECT_NE(App().lineColour.load(), 0x8000u);
}

}  // namespace
}  // namespace digital_id
