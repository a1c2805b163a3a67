// A certificate that digital-id-enroll.exe installed in the user's My authenticates the client
// to openssl s_server, which demands a client certificate that verifies up to the test root.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win/x509/crypt_handles.h"
#include "tests/win/client_certificate_tls.h"
#include "tests/win/enrollment_test_support.h"
#include "tests/win/installed_certificates.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id {
namespace {

using wine_test::Environment;

TEST(InstalledCertificate, AuthenticatesTheClientToATlsServerThatDemandsACertificate) {
  const std::wstring port = Environment(L"DIGITAL_ID_WINE_CLIENT_AUTH_PORT");
  ASSERT_FALSE(port.empty()) << "the Wine fixture starts openssl s_server -Verify 2";
  const std::vector<CertContextPtr> issued =
      wine_test::IssuedCertificates(CERT_SYSTEM_STORE_CURRENT_USER);
  // An identity whose key the server's security level accepts (2048 bits or more).
  const auto strong = std::find_if(issued.begin(), issued.end(), [](const CertContextPtr& each) {
    return CertGetPublicKeyLength(X509_ASN_ENCODING, &each->pCertInfo->SubjectPublicKeyInfo) >=
           2048;
  });
  ASSERT_NE(strong, issued.end());
  const CertContextPtr& certificate = *strong;

  const wine_test::TlsExchange exchange = wine_test::ExchangeWithClientCertificate(
      static_cast<unsigned short>(std::stoi(port)), certificate.get(), "GET / HTTP/1.0\r\n\r\n");
  ASSERT_TRUE(exchange.completed) << exchange.failure;
  // The server's status page shows the client certificate it verified, in PEM.
  const std::size_t shown = exchange.reply.find("Client certificate");
  ASSERT_NE(shown, std::string::npos) << exchange.reply;
  const std::size_t begin = exchange.reply.find("-----BEGIN CERTIFICATE-----", shown);
  const std::size_t end = exchange.reply.find("-----END CERTIFICATE-----", begin);
  ASSERT_NE(end, std::string::npos) << exchange.reply;
  const std::string pem = exchange.reply.substr(begin, end + 25 - begin);
  const std::vector<BYTE> shownDer = wine_test::FromBase64(std::wstring(pem.begin(), pem.end()));
  EXPECT_EQ(shownDer, std::vector<BYTE>(certificate->pbCertEncoded,
                                        certificate->pbCertEncoded + certificate->cbCertEncoded))
      << "the server saw another certificate";
}

}  // namespace
}  // namespace digital_id
