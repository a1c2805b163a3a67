#include <gtest/gtest.h>

#include "anchor_test_support.h"
#include "core/enrollment/enrollment_run.h"
#include "core/enrollment/secure_code.h"

namespace digital_id {
namespace {

using namespace testing;

class EnrollmentRunTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    CreateWindow(true);
    ServeAnchors(fakes());
  }
  void Submit(const std::u16string& code) {
    fakes().windows.Type(App().codeEdit, code);
    OnMainWindowCommand(1);  // runs inline with the fake system
  }
};

TEST(SecureCodeTest, OnlyAsciiLettersDigitsAndHyphensPass) {
  EXPECT_TRUE(IsValidSecureCode(u"ABC-123"));
  EXPECT_TRUE(IsValidSecureCode(u"abc-XYZ-09"));
  EXPECT_TRUE(IsValidSecureCode(std::u16string(64, u'a')));
  for (const char16_t* bad : {u"ABC 123", u"ABC_123", u"ABC-123\n", u"ABC-123\r\n", u"Ab\u00E9",
                              u"\uFF21BC", u"AB;C", u"\u0661", u"A\u200BB"}) {
    EXPECT_FALSE(IsValidSecureCode(bad)) << std::string(bad, bad + 1);
  }
  // A lone surrogate or a code unit that narrows to a valid byte does not slip through.
  EXPECT_FALSE(IsValidSecureCode(std::u16string(1, char16_t(0xD83D))));
  EXPECT_FALSE(IsValidSecureCode(std::u16string(1, char16_t(0x0141))));
}

TEST_F(EnrollmentRunTest, EmptyCodeIsRefusedWithoutAnyDownload) {
  for (bool french : {false, true}) {
    if (french) SetFrench();
    Submit(u"");
    EXPECT_EQ(Status(), french ? u"Données invalides." : u"Invalid data.");
    EXPECT_EQ(Detail(), french ? u"Le champ du code de sécurité doit être rempli."
                               : u"Secure Code can not be empty.");
    EXPECT_TRUE(InputControlsEnabled());
    EXPECT_TRUE(fakes().downloads.Requests().empty());
  }
}

TEST_F(EnrollmentRunTest, InvalidCodeIsRefusedWithoutAnyDownload) {
  for (bool french : {false, true}) {
    if (french) SetFrench();
    for (const char16_t* code : {u"ABC 123", u"ABC_123", u"ABC-123\r\n", u"ABC\u00E9"}) {
      Submit(code);
      EXPECT_EQ(Status(), french ? u"Données invalides." : u"Invalid data.");
      EXPECT_EQ(Detail(), french ? u"Code de sécurité invalide." : u"Invalid Secure Code.");
      EXPECT_TRUE(InputControlsEnabled());
    }
  }
  EXPECT_TRUE(fakes().downloads.Requests().empty());
}

TEST_F(EnrollmentRunTest, RunStartsDarkRedWithClearedLines) {
  App().lineColour = kColourGreen;
  fakes().windows.ClearEvents();
  Submit(u"");
  const auto status = fakes().windows.TextsShownOn(App().statusLine);
  const auto detail = fakes().windows.TextsShownOn(App().detailLine);
  ASSERT_FALSE(status.empty());
  ASSERT_FALSE(detail.empty());
  EXPECT_EQ(status.front(), u"");
  EXPECT_EQ(detail.front(), u"");
  EXPECT_EQ(App().lineColour.load(), 153u);
  EXPECT_EQ(EnrollmentThreadProc(nullptr), 0u);
}

TEST_F(EnrollmentRunTest, IdentityNameFollowsTheContextAtTheMomentOfAsking) {
  EXPECT_EQ(IdentityName(), u"alice");
  fakes().windows.Click(App().machineRadio);
  EXPECT_EQ(IdentityName(), u"WORKSTATION7");
  App().advanceMode = 0;
  EXPECT_EQ(IdentityName(), u"alice");
}

TEST_F(EnrollmentRunTest, FailedCaCheckEndsTheRunBeforeTheRootCheck) {
  fakes().downloads.Serve(kCaUrl, fake::FakeDownload::Failing(kEFail));
  Submit(std::u16string(64, u'Z'));
  EXPECT_EQ(fakes().downloads.Requests(), std::vector<std::u16string>{kCaUrl});
  EXPECT_EQ(Status(), u"CA certificate downloading.");
  EXPECT_EQ(Detail(), u"CA certificate download failed.");
  EXPECT_TRUE(InputControlsEnabled());
}

TEST_F(EnrollmentRunTest, AnchorsInstalledStayWhenTheRootCheckFails) {
  fakes().certificates.MakeUnopenable(StoreLocation::CurrentUser, u"Root");
  Submit(u"ABC-123");
  EXPECT_EQ(fakes().certificates.Contents(StoreLocation::CurrentUser, u"CA").size(), 1u);
  EXPECT_EQ(Detail(),
            u"Unable to find or install Root certificate. Please ensure you have "
            u"Administrator permissions.");
  EXPECT_TRUE(InputControlsEnabled());
}

TEST_F(EnrollmentRunTest, UnavailableTlsEngineLeavesTheControlsDisabled) {
  // The fake TLS engine of this fixture cannot be started.
  Submit(u"ABC-123");
  EXPECT_EQ(Status(), u"Connecting to server.");
  EXPECT_EQ(Detail(), u"Unable to connect to server.");
  EXPECT_FALSE(InputControlsEnabled());
  EXPECT_EQ(fakes().system.ComUninitializeCount(), 0);
}

TEST_F(EnrollmentRunTest, RunOnARealThreadEndsWithTheSameTexts) {
  fakes().system.threadMode = fake::ThreadMode::Real;
  Submit(u"ABC_123");
  fakes().system.WaitForThreads();
  EXPECT_EQ(Detail(), u"Invalid Secure Code.");
  EXPECT_TRUE(InputControlsEnabled());
}

}  // namespace
}  // namespace digital_id
