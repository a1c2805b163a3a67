#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/channel/secure_channel.h"
#include "core/shell/app_state.h"
#include "core/shell/main_window.h"
#include "core/shell/status_lines.h"
#include "platform/fake/fake_platform.h"
#include "tests/unit/shown_outcome.h"

namespace digital_id {

// The issuing server's address in the fake name table (192.0.2.10 in network byte order).
inline constexpr std::uint32_t kServerAddress = 0x0A0200C0;

// A window with its two lines, settings for a server at ca.example.test:443 in SHA-256 mode,
// and a channel with an open socket and a session of the scripted TLS engine.
class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fakes.Install();
    App().settingsPath = u"C:\\Installer\\app.ini";
    App().isPostXp = 1;
    ASSERT_EQ(CreateMainWindow(nullptr, 1), 1);
    fakes.profile.Set(u"CAAddress", u"ca.example.test");
    fakes.profile.Set(u"CATCPPortSHA256", u"443");
    fakes.profile.Set(u"ConnectionTimeout", u"1500");
    fakes.profile.Set(u"CAFECertNameSHA256", u"ca.example.test");
    fakes.profile.Set(u"CAIssuer", u"Example Issuing CA");
    fakes.sockets.AddHost("ca.example.test", kServerAddress);
    fakes.tls.available = true;
    channel.session = fakes.tls.NewSession();
    channel.serverSocket = fakes.sockets.CreateTcpSocket();
  }

  fake::FakeTlsEngine& Tls() { return fakes.tls; }
  std::u16string StatusLine() const { return fakes.windows.TextOf(App().statusLine); }
  std::u16string DetailLine() const { return fakes.windows.TextOf(App().detailLine); }
  void UseFrench() { fakes.profile.Set(u"Language", u"FR"); }

  // Puts marker texts on both lines, so that a test can see whether a step wrote any.
  void MarkLines() {
    SetStatusLine(u"status before");
    SetDetailLine(u"detail before");
  }
  bool LinesUnchanged() const {
    return StatusLine() == u"status before" && DetailLine() == u"detail before";
  }

  // A secured channel, as after a successful handshake.
  void Establish() {
    ASSERT_EQ(channel.session->Handshake(channel.serverSocket, u"ca.example.test"),
              HandshakeResult::Ok);
  }

  fake::FakePlatform fakes;
  SecureChannel channel;
};

}  // namespace digital_id
