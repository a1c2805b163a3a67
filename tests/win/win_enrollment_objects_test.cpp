// The Windows backend's enrollment-object calls on both paths and in both contexts, against the
// enrollment stand-in that scripts/test-wine registers in its prefix: the request is a signed
// PKCS #10 for a fresh key in the right key set, pending in the context's REQUEST store, and a
// response for it is installed next to its key. The stand-in reports any misuse of its objects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/enrollment/win_enrollment_objects.h"
#include "platform/win/wide_text.h"
#include "tests/win/enrollment_test_support.h"

namespace digital_id {
namespace {

using wine_test::FromBase64;
using wine_test::PendingRequestKey;
using wine_test::RequestPublicKey;
using wine_test::ResponseFor;
using wine_test::StoreHolds;

struct PathAndContext {
  const char* name;
  EnrollmentPath path;
  EnrollmentContext context;
};

DWORD LocationOf(EnrollmentContext context) {
  return context == EnrollmentContext::Machine ? CERT_SYSTEM_STORE_LOCAL_MACHINE
                                               : CERT_SYSTEM_STORE_CURRENT_USER;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  return text;
}

class WinEnrollmentObjectsTest : public ::testing::TestWithParam<PathAndContext> {
 protected:
  // A request through the backend for the parameters' path and context, as DER; fails the
  // test when there is none.
  std::vector<BYTE> Request() {
    const std::u16string encoded = objects_.CreateRequest(GetParam().path, GetParam().context);
    EXPECT_FALSE(encoded.empty()) << "no request from the enrollment objects";
    return FromBase64(ToWide(encoded));
  }

  wine_test::ComApartment apartment_;
  wine_test::StandInReport report_;
  WinEnrollmentObjects objects_;
};

TEST_P(WinEnrollmentObjectsTest, RequestForAFreshKeyIsInstalledNextToThatKey) {
  const auto& [name, path, context] = GetParam();
  const DWORD location = LocationOf(context);
  const std::vector<BYTE> request = Request();
  ASSERT_FALSE(request.empty());
  EXPECT_TRUE(wine_test::RequestSignatureVerifies(request));
  const std::vector<BYTE> publicKey = RequestPublicKey(request);
  const std::vector<BYTE> keyInfo = PendingRequestKey(location, publicKey);
  ASSERT_FALSE(keyInfo.empty()) << "no pending request in the context's REQUEST store";
  const auto* key = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(keyInfo.data());
  EXPECT_EQ(key->dwKeySpec, static_cast<DWORD>(AT_KEYEXCHANGE));
  // The key lives in the context's key set on both paths.
  EXPECT_EQ((key->dwFlags & CRYPT_MACHINE_KEYSET) != 0, context == EnrollmentContext::Machine);
  // Both paths make a 2048-bit key: the legacy provider's default would be 1024 bits.
  EXPECT_EQ(wine_test::PublicKeyBits(publicKey), 2048U);

  std::vector<BYTE> root;
  const std::wstring response = ResponseFor(location, publicKey, L"CN=Enrollment Test", root);
  ASSERT_FALSE(response.empty());
  // The modern objects install only a chain whose root the context trusts, so the program
  // installs the root first; the legacy control puts it into Root by itself.
  if (path == EnrollmentPath::Modern) {
    EXPECT_NE(objects_.InstallResponse(path, context, FromWide(response)), 0);
    EXPECT_FALSE(wine_test::InstalledWithItsKey(location, publicKey));
    ASSERT_TRUE(wine_test::AddToStore(location, L"Root", root));
  }
  EXPECT_EQ(objects_.InstallResponse(path, context, FromWide(response)), 0);
  EXPECT_TRUE(wine_test::InstalledWithItsKey(location, publicKey));
  EXPECT_TRUE(PendingRequestKey(location, publicKey).empty()) << "the request is still pending";
  EXPECT_TRUE(StoreHolds(location, L"Root", root));
  // The modern objects put the whole chain into CA (the program then takes the root out).
  EXPECT_EQ(StoreHolds(location, L"CA", root), path == EnrollmentPath::Modern);
  EXPECT_TRUE(report_.Lines().empty()) << Joined(report_.Lines());
}

TEST_P(WinEnrollmentObjectsTest, CutResponseIsRefusedAndTheRequestStaysPending) {
  const auto& [name, path, context] = GetParam();
  const DWORD location = LocationOf(context);
  const std::vector<BYTE> request = Request();
  ASSERT_FALSE(request.empty());
  const std::vector<BYTE> publicKey = RequestPublicKey(request);
  std::vector<BYTE> root;
  const std::wstring response = ResponseFor(location, publicKey, L"CN=Enrollment Test", root);
  ASSERT_FALSE(response.empty());
  // Only the first half arrived, as when a verdict spans two records.
  const std::wstring cut = response.substr(0, response.size() / 2);
  EXPECT_NE(objects_.InstallResponse(path, context, FromWide(cut)), 0);
  EXPECT_FALSE(PendingRequestKey(location, publicKey).empty());
  EXPECT_FALSE(wine_test::InstalledWithItsKey(location, publicKey));
  EXPECT_TRUE(report_.Lines().empty()) << Joined(report_.Lines());
}

INSTANTIATE_TEST_SUITE_P(
    PathsAndContexts, WinEnrollmentObjectsTest,
    ::testing::Values(
        PathAndContext{"ModernUser", EnrollmentPath::Modern, EnrollmentContext::User},
        PathAndContext{"ModernMachine", EnrollmentPath::Modern, EnrollmentContext::Machine},
        PathAndContext{"LegacyUser", EnrollmentPath::Legacy, EnrollmentContext::User},
        PathAndContext{"LegacyMachine", EnrollmentPath::Legacy, EnrollmentContext::Machine}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace digital_id
