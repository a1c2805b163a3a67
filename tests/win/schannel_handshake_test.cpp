// The TLS handshake over Winsock and Schannel against the test issuing servers that
// scripts/test-wine started: the shared suite of tests/contracts.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "platform/win/stores/cryptoapi_cert_services.h"
#include "platform/win/system/winsock_sockets.h"
#include "platform/win/tls/schannel_tls_engine.h"
#include "tests/contracts/tls_session_contract.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id {
namespace {

using wine_test::DataFolder;
using wine_test::Environment;

// The value of key in the app.ini of the test server whose folder the variable names; empty
// when it is absent.
std::string ServerSetting(const wchar_t* variable, const std::string& key) {
  std::wstring folder = Environment(variable);
  EXPECT_FALSE(folder.empty()) << "scripts/test-wine sets the server folders";
  if (!folder.empty() && folder.back() != L'\\') {
    folder.push_back(L'\\');
  }
  std::ifstream file((folder + L"app.ini").c_str());
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.rfind(key + "=", 0) == 0) {
      return line.substr(key.size() + 1);
    }
  }
  ADD_FAILURE() << "no " << key << " in the server's app.ini";
  return {};
}

// Schannel over Winsock, against the good and the untrusted test server.
class SchannelBackend : public contracts::TlsSessionBackend {
 public:
  SchannelBackend() {
    EXPECT_EQ(sockets_.Startup(2, 2), 0);
    // The server's root goes to the current user's Root store before any chain is built:
    // Wine's chain engine keeps the Root store as it was when the engine was made.
    const Bytes root = wine_test::ReadFileBytes(DataFolder() + L"root.der");
    const CertificatePtr certificate = services_.CreateFromDer(root.data(), root.size());
    const auto store = services_.OpenSystemStore(StoreLocation::CurrentUser, u"Root");
    EXPECT_NE(certificate, nullptr);
    EXPECT_NE(store, nullptr);
    if (certificate && store && !store->FindFirstBySubject(u"Example Root CA")) {
      EXPECT_TRUE(store->Add(*certificate));
    }
  }
  ~SchannelBackend() override {
    CloseSocket();
    sockets_.Cleanup();
  }

  std::unique_ptr<TlsSession> NewSession() override { return engine_.NewSession(); }
  SocketHandle Connect(contracts::TlsServerKind kind) override {
    CloseSocket();
    const wchar_t* server = kind == contracts::TlsServerKind::Good
                                ? L"DIGITAL_ID_WINE_GOOD_SERVER"
                                : L"DIGITAL_ID_WINE_UNTRUSTED_SERVER";
    const std::string port = ServerSetting(server, "CATCPPortSHA256");
    const std::optional<std::uint32_t> address = sockets_.ResolveIpv4("127.0.0.1");
    socket_ = sockets_.CreateTcpSocket();
    if (port.empty() || !address || socket_ == kInvalidSocket ||
        sockets_.Connect(socket_, *address, static_cast<std::uint16_t>(std::stoi(port))) != 0) {
      ADD_FAILURE() << "no connection to the test server";
      return kInvalidSocket;
    }
    // Bounded, so that no test can hang on a server that says nothing.
    sockets_.SetReceiveTimeout(socket_, 30000);
    sockets_.SetSendTimeout(socket_, 30000);
    return socket_;
  }
  void HandshakeEnded(bool) override {}
  std::u16string ServerName() override {
    const std::string name = ServerSetting(L"DIGITAL_ID_WINE_GOOD_SERVER", "CAFECertNameSHA256");
    return std::u16string(name.begin(), name.end());
  }
  Bytes IssuingCaName() override {
    const Bytes ca = wine_test::ReadFileBytes(DataFolder() + L"ca.der");
    const CertificatePtr certificate = services_.CreateFromDer(ca.data(), ca.size());
    EXPECT_NE(certificate, nullptr);
    return certificate ? certificate->EncodedSubject() : Bytes{};
  }

 private:
  void CloseSocket() {
    if (socket_ != kInvalidSocket) {
      sockets_.Close(socket_);
    }
    socket_ = kInvalidSocket;
  }

  WinsockSockets sockets_;
  SchannelTlsEngine engine_{sockets_};
  CryptoApiCertServices services_;
  SocketHandle socket_ = kInvalidSocket;
};

using contracts::TlsSessionContract;
INSTANTIATE_TEST_SUITE_P(Schannel, TlsSessionContract,
                         ::testing::Values(contracts::TlsSessionBackendFactory{
                             "Schannel", [] { return std::make_unique<SchannelBackend>(); }}));

}  // namespace
}  // namespace digital_id
