// The enrollment stand-in's own checks, which the runs with it rely on: calls out of order or
// in the wrong context are refused and reported, responses are taken in the forms the real
// objects take, and the checking allocator reports a BSTR freed twice or never freed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <xenroll.h>

#include "platform/win/enrollment/certenroll_interfaces.h"
#include "platform/win/enrollment/win_enrollment_objects.h"
#include "platform/win/system/com_ptr.h"
#include "platform/win/wide_text.h"
#include "tests/win/enrollment_test_support.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id {
namespace {

using namespace certenroll;

// Marks the test process that the parent starts to misuse BSTRs on its behalf.
constexpr wchar_t kChildVariable[] = L"DIGITAL_ID_STAND_IN_CHILD";

template <typename Interface>
ComPtr<Interface> Make(const GUID& classId, const GUID& interfaceId) {
  ComPtr<Interface> object;
  EXPECT_EQ(
      CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, interfaceId, object.ReceiveVoid()),
      S_OK)
      << "the enrollment stand-in is not registered (scripts/test-wine registers it)";
  return object;
}

// A whole request through the stand-in's modern objects in the user context; the caller frees
// the BSTR.
BSTR StandInRequest() {
  const auto key = Make<IX509PrivateKey>(kClsidPrivateKey, kIidPrivateKey);
  const auto request = Make<IX509CertificateRequestPkcs10>(kClsidRequestPkcs10, kIidRequestPkcs10);
  const auto enrollment = Make<IX509Enrollment>(kClsidEnrollment, kIidEnrollment);
  BSTR encoded = nullptr;
  if (key && request && enrollment && SUCCEEDED(key->Create()) &&
      SUCCEEDED(request->InitializeFromPrivateKey(1, key.Get(), nullptr)) &&
      SUCCEEDED(enrollment->InitializeFromRequest(request.Get()))) {
    enrollment->CreateRequest(kEncodingBase64, &encoded);
  }
  return encoded;
}

struct BStringFree {
  void operator()(BSTR text) const { SysFreeString(text); }
};
using BStringPtr = std::unique_ptr<OLECHAR, BStringFree>;

struct HandleClose {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using HandlePtr = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleClose>;

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  return text;
}

TEST(EnrollmentStandIn, CallsOutOfOrderOrInTheWrongContextAreRefusedAndReported) {
  const wine_test::ComApartment apartment;
  const wine_test::StandInReport report;
  const auto enrollment = Make<IX509Enrollment>(kClsidEnrollment, kIidEnrollment);
  const auto key = Make<IX509PrivateKey>(kClsidPrivateKey, kIidPrivateKey);
  const auto request = Make<IX509CertificateRequestPkcs10>(kClsidRequestPkcs10, kIidRequestPkcs10);
  ASSERT_TRUE(enrollment && key && request);

  BSTR encoded = nullptr;
  EXPECT_EQ(enrollment->CreateRequest(kEncodingBase64, &encoded), OLE_E_BLANK);
  EXPECT_EQ(encoded, nullptr);
  const BStringPtr response(SysAllocString(L"MIIB"));
  const BStringPtr password(SysAllocString(L""));
  EXPECT_EQ(enrollment->InstallResponse(kAllowUntrustedCertificate, response.get(),
                                        kEncodingBase64Any, password.get()),
            OLE_E_BLANK);
  EXPECT_EQ(key->put_MachineContext(1), E_INVALIDARG);  // TRUE is not VARIANT_TRUE
  ASSERT_EQ(key->Create(), S_OK);
  EXPECT_EQ(key->put_Length(2048), HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
  EXPECT_EQ(request->InitializeFromPrivateKey(2, key.Get(), nullptr), E_INVALIDARG);
  EXPECT_EQ(enrollment->Initialize(1), S_OK);
  EXPECT_EQ(enrollment->Initialize(1), HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));

  const std::vector<std::string> lines = report.Lines();
  EXPECT_EQ(lines.size(), 6U) << Joined(lines);
  for (const char* expected :
       {"CreateRequest before InitializeFromRequest", "InstallResponse before Initialize",
        "put_MachineContext with a VARIANT_BOOL other than", "put_Length after Create",
        "a request in the machine context for a key of the user's key set",
        "Initialize on an enrollment already initialised"}) {
    EXPECT_TRUE(report.Mentions(expected)) << expected << "\n" << Joined(lines);
  }
}

TEST(EnrollmentStandIn, ResponseInstalledInTheOtherContextIsRefusedAndReported) {
  const wine_test::ComApartment apartment;
  const wine_test::StandInReport report;
  const BStringPtr encoded(StandInRequest());
  ASSERT_NE(encoded, nullptr);
  const std::vector<BYTE> publicKey = wine_test::RequestPublicKey(
      wine_test::FromBase64(std::wstring(encoded.get(), SysStringLen(encoded.get()))));
  std::vector<BYTE> root;
  const std::wstring text = wine_test::ResponseFor(CERT_SYSTEM_STORE_CURRENT_USER, publicKey,
                                                   L"CN=Enrollment Test", root);
  ASSERT_FALSE(text.empty());

  const auto enrollment = Make<IX509Enrollment>(kClsidEnrollment, kIidEnrollment);
  ASSERT_TRUE(enrollment);
  ASSERT_EQ(enrollment->Initialize(2), S_OK);
  const BStringPtr response(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
  const BStringPtr password(SysAllocString(L""));
  EXPECT_EQ(enrollment->InstallResponse(kAllowUntrustedCertificate, response.get(),
                                        kEncodingBase64Any, password.get()),
            CRYPT_E_NOT_FOUND);
  EXPECT_FALSE(wine_test::PendingRequestKey(CERT_SYSTEM_STORE_CURRENT_USER, publicKey).empty());
  EXPECT_EQ(report.Lines(),
            std::vector<std::string>{"misuse: a response was installed in the machine context "
                                     "for a request made in the user context"});
}

TEST(EnrollmentStandIn, ResponsesAreTakenOnlyInTheFormsTheRealObjectsTake) {
  const wine_test::ComApartment apartment;
  const wine_test::StandInReport report;
  WinEnrollmentObjects objects;
  std::vector<BYTE> root;

  // The legacy control's blob call takes the binary PKCS #7: Base64 text is refused and
  // reported, and the request stays pending for the DER.
  const std::vector<BYTE> legacyKey = wine_test::RequestPublicKey(wine_test::FromBase64(
      ToWide(objects.CreateRequest(EnrollmentPath::Legacy, EnrollmentContext::User))));
  const std::wstring legacyText = wine_test::ResponseFor(CERT_SYSTEM_STORE_CURRENT_USER, legacyKey,
                                                         L"CN=Enrollment Test", root);
  ASSERT_FALSE(legacyText.empty());
  const auto enroll = Make<IEnroll4>(kClsidLegacyEnroll, kIidLegacyEnroll4);
  ASSERT_TRUE(enroll);
  std::string narrow(legacyText.begin(), legacyText.end());
  CRYPT_DATA_BLOB text{static_cast<DWORD>(narrow.size()), reinterpret_cast<BYTE*>(narrow.data())};
  EXPECT_EQ(enroll->acceptResponseBlob(&text), CRYPT_E_ASN1_BADTAG);
  EXPECT_TRUE(report.Mentions("acceptResponseBlob with a blob that is not DER"));
  std::vector<BYTE> der = wine_test::FromBase64(legacyText);
  CRYPT_DATA_BLOB binary{static_cast<DWORD>(der.size()), der.data()};
  EXPECT_EQ(enroll->acceptResponseBlob(&binary), S_OK);
  EXPECT_TRUE(wine_test::InstalledWithItsKey(CERT_SYSTEM_STORE_CURRENT_USER, legacyKey));

  // The modern objects install a chain whose root is not trusted only with AllowUntrustedRoot.
  const BStringPtr encoded(StandInRequest());
  ASSERT_NE(encoded, nullptr);
  const std::vector<BYTE> modernKey = wine_test::RequestPublicKey(
      wine_test::FromBase64(std::wstring(encoded.get(), SysStringLen(encoded.get()))));
  const std::wstring modernText = wine_test::ResponseFor(CERT_SYSTEM_STORE_CURRENT_USER, modernKey,
                                                         L"CN=Enrollment Test", root);
  ASSERT_FALSE(modernText.empty());
  const BStringPtr response(
      SysAllocStringLen(modernText.data(), static_cast<UINT>(modernText.size())));
  const BStringPtr password(SysAllocString(L""));
  for (const auto& [restrictions, expected] :
       {std::pair{kAllowUntrustedCertificate, CERT_E_UNTRUSTEDROOT}, std::pair{4L, S_OK}}) {
    const auto enrollment = Make<IX509Enrollment>(kClsidEnrollment, kIidEnrollment);
    ASSERT_TRUE(enrollment);
    ASSERT_EQ(enrollment->Initialize(1), S_OK);
    EXPECT_EQ(enrollment->InstallResponse(restrictions, response.get(), kEncodingBase64Any,
                                          password.get()),
              expected);
  }
  EXPECT_TRUE(wine_test::InstalledWithItsKey(CERT_SYSTEM_STORE_CURRENT_USER, modernKey));
  EXPECT_EQ(report.Lines().size(), 1U) << Joined(report.Lines());
}

TEST(EnrollmentStandIn, BstrFreedTwiceAndBstrNeverFreedAreReportedByTheCheckingAllocator) {
  const wine_test::StandInReport report;  // the child inherits the report file
  wchar_t program[MAX_PATH + 1] = {};
  ASSERT_NE(GetModuleFileNameW(nullptr, program, MAX_PATH + 1), 0U);
  std::wstring commandLine =
      std::wstring(L"\"") + program + L"\" --gtest_brief=1 --gtest_filter=EnrollmentStandInChild.*";
  SetEnvironmentVariableW(kChildVariable, L"1");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  const BOOL created = CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                      nullptr, nullptr, &startup, &started);
  SetEnvironmentVariableW(kChildVariable, nullptr);
  ASSERT_NE(created, FALSE);
  const HandlePtr process(started.hProcess);
  const HandlePtr thread(started.hThread);
  ASSERT_EQ(WaitForSingleObject(process.get(), 120000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.get(), &exitCode);
  EXPECT_EQ(exitCode, 0U);

  const std::vector<std::string> lines = report.Lines();
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "misuse: a block from IX509Enrollment::CreateRequest was freed twice",
                       "misuse: a block from IX509Enrollment::CreateRequest was never freed by the "
                       "caller"}))
      << Joined(lines);
}

// Run only as the child of the test above, which reads what the stand-in reported.
TEST(EnrollmentStandInChild, FreesOneRequestTwiceAndLeavesAnotherUnfreed) {
  if (wine_test::Environment(kChildVariable).empty()) {
    GTEST_SKIP() << "started by EnrollmentStandIn.BstrFreedTwiceAndBstrNeverFreed...";
  }
  const wine_test::ComApartment apartment;
  const BSTR twice = StandInRequest();
  ASSERT_NE(twice, nullptr);
  SysFreeString(twice);
  // The misuse under test: with the string cache off, the second free finds the block gone
  // and returns without touching it.
  SysFreeString(twice);
  // Never freed: reported when this process ends.
  EXPECT_NE(StandInRequest(), nullptr);
}

}  // namespace
}  // namespace digital_id
