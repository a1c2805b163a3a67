// The TLS handshake over Winsock and Schannel against the test issuing server, through the
// core's connection, handshake and server-authentication steps and the Windows TLS session.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "core/channel/secure_channel.h"
#include "core/shell/app_state.h"
#include "platform/fake/fake_window_system.h"
#include "platform/win/stores/cryptoapi_cert_services.h"
#include "platform/win/win_platform.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id {
namespace {

using wine_test::DataFolder;
using wine_test::Environment;

// How a connection attempt ended.
enum class Outcome { NotConnected, HandshakeRefused, IssuerRefused, Trusted };

class SchannelHandshake : public ::testing::Test {
 protected:
  // The server's root goes to the current user's Root store before any chain is built in this
  // process: Wine's chain engine keeps the Root store as it was when the engine was made.
  static void SetUpTestSuite() {
    CryptoApiCertServices services;
    const Bytes root = wine_test::ReadFileBytes(DataFolder() + L"root.der");
    const CertificatePtr certificate = services.CreateFromDer(root.data(), root.size());
    const auto store = services.OpenSystemStore(StoreLocation::CurrentUser, u"Root");
    if (certificate && store && !store->FindFirstBySubject(u"Example Root CA")) {
      store->Add(*certificate);
    }
  }

  void SetUp() override {
    InstallPlatform(&platform_.Services());
    AppState& app = App();
    app.isPostXp = 1;  // SHA-256 mode: the server's SHA-256 port and target name
    ControlDescription line;
    line.kind = ControlKind::StaticText;
    app.statusLine = windows_.CreateControl(line);
    app.detailLine = windows_.CreateControl(line);
  }

  void TearDown() override { InstallPlatform(nullptr); }

  // Connects to the server the settings file names, runs the handshake and checks the issuer.
  Outcome Connect(const std::wstring& settingsFile) {
    AppState& app = App();
    app.settingsPath = std::u16string(settingsFile.begin(), settingsFile.end());
    std::unique_ptr<TlsSession> session = Services().tls->NewSession();
    if (!session || Services().sockets->Startup(2, 2) != 0) {
      ADD_FAILURE() << "no TLS session or sockets";
      return Outcome::NotConnected;
    }
    Outcome outcome = Outcome::NotConnected;
    {
      SecureChannel channel;
      channel.session = std::move(session);
      channel.serverSocket = Services().sockets->CreateTcpSocket();
      if (GoesOn(ConnectToServer(channel))) {
        StepEnd end = PerformHandshake(channel);
        if (GoesOn(end)) {
          end = AuthenticateServer(channel, Language::English);
        }
        outcome = GoesOn(end)                                 ? Outcome::Trusted
                  : end->result == RunResult::HandshakeFailed ? Outcome::HandshakeRefused
                                                              : Outcome::IssuerRefused;
        if (EndsRun(end)) {
          ReportOutcome(*end);  // the texts the window would show
        }
      }
    }
    Services().sockets->Cleanup();
    return outcome;
  }

  std::u16string StatusText() { return windows_.TextOf(App().statusLine); }
  std::u16string DetailText() { return windows_.TextOf(App().detailLine); }

  fake::FakeWindowSystem windows_;
  WinPlatform platform_{windows_};
};

// The folder of a test server that scripts/test-wine started, as its app.ini.
std::wstring ServerSettings(const wchar_t* variable) {
  std::wstring folder = Environment(variable);
  EXPECT_FALSE(folder.empty()) << "scripts/test-wine sets the server folders";
  if (!folder.empty() && folder.back() != L'\\') {
    folder.push_back(L'\\');
  }
  return folder + L"app.ini";
}

TEST_F(SchannelHandshake, GoodChainPassesOnceItsRootIsInRoot) {
  CryptoApiCertServices services;
  const auto root = services.OpenSystemStore(StoreLocation::CurrentUser, u"Root");
  ASSERT_NE(root, nullptr);
  ASSERT_NE(root->FindFirstBySubject(u"Example Root CA"), nullptr);

  EXPECT_EQ(Connect(ServerSettings(L"DIGITAL_ID_WINE_GOOD_SERVER")), Outcome::Trusted);
  EXPECT_EQ(StatusText(), u"Connecting to server.");
  EXPECT_EQ(DetailText(), u"Successfully connected.");
}

TEST_F(SchannelHandshake, UntrustedChainIsRefused) {
  EXPECT_EQ(Connect(ServerSettings(L"DIGITAL_ID_WINE_UNTRUSTED_SERVER")),
            Outcome::HandshakeRefused);
  EXPECT_EQ(StatusText(), u"Certificate authentication failed.");
  EXPECT_EQ(DetailText(), u"Bad server certificate encountered.");
}

TEST_F(SchannelHandshake, WrongOrEmptyTargetNameIsRefused) {
  // The good server's settings with another target name, and with none, made by
  // scripts/test-wine: without a name Schannel would check none.
  for (const wchar_t* settings : {L"wrong-name.ini", L"empty-name.ini"}) {
    EXPECT_EQ(Connect(DataFolder() + settings), Outcome::HandshakeRefused);
    EXPECT_EQ(StatusText(), u"Certificate authentication failed.");
    EXPECT_EQ(DetailText(), u"Bad server certificate encountered.");
  }
}

}  // namespace
}  // namespace digital_id
