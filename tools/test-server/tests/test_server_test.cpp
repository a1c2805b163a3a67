// Tests of digital-id-test-server, run as a child process on free loopback ports.

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509v3.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>

#include "tests/support/test_server_harness.h"

namespace digital_id::test_server_tests {
namespace {

class TestServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A write to a connection the server has closed must fail, not end the test process.
    ::signal(SIGPIPE, SIG_IGN);
    ASSERT_FALSE(folder.Path().empty());
  }

  std::unique_ptr<ServerProcess> Start(const std::vector<std::string>& arguments) {
    auto server = std::make_unique<ServerProcess>(folder.Path(), arguments);
    EXPECT_TRUE(server->Ready());
    return server;
  }

  std::string RootFile() const { return folder.Path() + "/data/root.cert.pem"; }

  // Sends message on a fresh connection and returns the first answer ("" when none came).
  std::string FirstAnswer(std::uint16_t port, const std::string& message) {
    TlsClient client;
    if (!client.Connect(port, RootFile()) || !client.Send(message)) return "connect or send failed";
    return client.Receive().value_or("");
  }

  TempFolder folder;
};

CertPtr CertificateFromDer(const std::string& der) {
  const auto* in = reinterpret_cast<const unsigned char*>(der.data());
  return CertPtr(d2i_X509(nullptr, &in, static_cast<long>(der.size())));
}

bool ChainsToRoot(X509* leaf, STACK_OF(X509) * untrusted, X509* root) {
  std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>> store(X509_STORE_new());
  std::unique_ptr<X509_STORE_CTX, Deleter<X509_STORE_CTX, X509_STORE_CTX_free>> context(
      X509_STORE_CTX_new());
  return store && context && X509_STORE_add_cert(store.get(), root) == 1 &&
         X509_STORE_CTX_init(context.get(), store.get(), leaf, untrusted) == 1 &&
         X509_verify_cert(context.get()) == 1;
}

TEST_F(TestServerTest, ServesAnchorsAsDerKeepsThemAcrossRestartsAndAnswers404Otherwise) {
  std::string firstRoot;
  {
    auto server = Start({"--code", "A-1"});
    ASSERT_EQ(server->Lines().size(), 4u);
    EXPECT_EQ(server->Lines()[0], "http-port " + std::to_string(server->HttpPort()));
    EXPECT_EQ(server->Lines()[1], "tls-port " + std::to_string(server->TlsPort()));
    EXPECT_EQ(server->Lines()[2], "client-auth-port " + std::to_string(server->ClientAuthPort()));
    EXPECT_EQ(server->Lines()[3], "ready");
    EXPECT_NE(server->HttpPort(), server->TlsPort());
    EXPECT_NE(server->ClientAuthPort(), server->TlsPort());

    const HttpReply ca = HttpGet(server->HttpPort(), "/ca.der");
    const HttpReply root = HttpGet(server->HttpPort(), "/root.der");
    ASSERT_EQ(ca.status, 200);
    ASSERT_EQ(root.status, 200);
    CertPtr caCertificate = CertificateFromDer(ca.body);
    CertPtr rootCertificate = CertificateFromDer(root.body);
    ASSERT_TRUE(caCertificate && rootCertificate);
    const X509_NAME* caSubject = X509_get_subject_name(caCertificate.get());
    EXPECT_EQ(NameValue(caSubject, NID_commonName), "Example Issuing CA");
    EXPECT_EQ(NameValue(caSubject, NID_organizationName), "Example Org");
    EXPECT_EQ(NameValue(caSubject, NID_countryName), "XX");
    for (int i = 0; i < X509_NAME_entry_count(caSubject); ++i) {
      EXPECT_EQ(ASN1_STRING_type(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(caSubject, i))),
                V_ASN1_PRINTABLESTRING);
    }
    EXPECT_EQ(X509_get_signature_nid(caCertificate.get()), NID_sha256WithRSAEncryption);
    EXPECT_EQ(X509_get_signature_nid(rootCertificate.get()), NID_sha256WithRSAEncryption);
    EXPECT_EQ(X509_verify(caCertificate.get(), X509_get0_pubkey(rootCertificate.get())), 1);
    EXPECT_EQ(X509_NAME_cmp(X509_get_issuer_name(rootCertificate.get()),
                            X509_get_subject_name(rootCertificate.get())),
              0);
    EXPECT_EQ(X509_check_ca(caCertificate.get()), 1);

    const HttpReply pem = HttpGet(server->HttpPort(), "/ca.pem");
    EXPECT_EQ(pem.status, 200);
    EXPECT_EQ(pem.body.rfind("-----BEGIN CERTIFICATE-----", 0), 0u);
    EXPECT_EQ(HttpGet(server->HttpPort(), "/nothing.der").status, 404);
    EXPECT_EQ(HttpGet(server->HttpPort(), "/").status, 404);
    firstRoot = root.body;
    EXPECT_EQ(server->Stop(SIGTERM), 0);
  }
  auto again = Start({"--code", "A-1"});
  EXPECT_EQ(HttpGet(again->HttpPort(), "/root.der").body, firstRoot);
  EXPECT_EQ(again->Stop(SIGINT), 0);
}

TEST_F(TestServerTest, IssuesCertificateForRequesterKeyOnceAndDeniesTheUsedCode) {
  auto server = Start({"--code", "ONE-TIME-1", "--code", "split-2", "--verdict-delay-ms", "0"});
  const Pkcs10 request = MakePkcs10();
  ASSERT_FALSE(request.base64.empty());
  std::string verdict;
  {
    TlsClient client;
    ASSERT_TRUE(client.Connect(server->TlsPort(), RootFile()));
    // The identity arrives as Latin-1 bytes, as the client sends it.
    ASSERT_TRUE(client.Send(RequestMessage("ONE-TIME-1", "Zo\xEB Martin", request.base64)));
    EXPECT_EQ(client.Receive().value_or(""), "SRVACK;");
    verdict = client.Receive().value_or("");
    EXPECT_TRUE(client.Send("CLTACK;"));
  }
  ASSERT_EQ(verdict.rfind("ISSUED;", 0), 0u) << verdict.substr(0, 40);
  Pkcs7Ptr response = DecodeIssuedResponse(verdict);
  ASSERT_TRUE(response);
  ASSERT_TRUE(PKCS7_type_is_signed(response.get()));
  STACK_OF(X509)* certificates = response->d.sign->cert;
  ASSERT_EQ(sk_X509_num(certificates), 3);
  X509* leaf = sk_X509_value(certificates, 0);
  EXPECT_EQ(EVP_PKEY_eq(X509_get0_pubkey(leaf), request.key.get()), 1);
  EXPECT_EQ(NameValue(X509_get_subject_name(leaf), NID_commonName), "Zo\xC3\xAB Martin");
  EXPECT_EQ(NameValue(X509_get_issuer_name(leaf), NID_commonName), "Example Issuing CA");
  EXPECT_EQ(X509_get_signature_nid(leaf), NID_sha256WithRSAEncryption);
  EXPECT_NE(X509_get_extended_key_usage(leaf) & XKU_SSL_CLIENT, 0u);
  CertPtr root = ReadPemCertificate(RootFile());
  ASSERT_TRUE(root);
  EXPECT_TRUE(ChainsToRoot(leaf, certificates, root.get()));
  EXPECT_TRUE(server->WaitForEvent("cltack ONE-TIME-1"));

  // The same code again: accepted for processing, then denied.
  {
    TlsClient client;
    ASSERT_TRUE(client.Connect(server->TlsPort(), RootFile()));
    ASSERT_TRUE(client.Send(RequestMessage("ONE-TIME-1", "Zoe", MakePkcs10().base64)));
    EXPECT_EQ(client.Receive().value_or(""), "SRVACK;");
    EXPECT_EQ(client.Receive().value_or(""), "DENIED;");
  }
  // A request split over two records is put together by its length field.
  {
    const std::string message = RequestMessage("split-2", "Ann", request.base64, false);
    TlsClient client;
    ASSERT_TRUE(client.Connect(server->TlsPort(), RootFile()));
    ASSERT_TRUE(client.Send(message.substr(0, 30)));
    ASSERT_TRUE(client.Send(message.substr(30)));
    EXPECT_EQ(client.Receive().value_or(""), "SRVACK;");
    EXPECT_EQ(client.Receive().value_or("").rfind("ISSUED;", 0), 0u);
  }
  EXPECT_TRUE(server->WaitForEvent("verdict ONE-TIME-1 DENIED"));
  EXPECT_TRUE(server->WaitForEvent("no-cltack ONE-TIME-1"));
  EXPECT_TRUE(server->WaitForEvent("verdict split-2 ISSUED"));
  EXPECT_EQ(server->Stop(SIGTERM), 0);
}

TEST_F(TestServerTest, ConfiguredCodesReachEveryVerdict) {
  auto server = Start({"--deny-code", "DENY-1", "--nack1-code", "NACK-1", "--nack2-code", "NACK-2",
                       "--verdict-delay-ms", "0"});
  const std::string base64 = MakePkcs10().base64;
  struct Case {
    std::string code;
    std::string first;
    std::string verdict;  // empty: the server closes after the first answer
  };
  const std::vector<Case> cases = {{"DENY-1", "SRVACK;", "DENIED;"},
                                   {"NACK-1", "SRVNACK;", ""},
                                   {"NACK-2", "SRVACK;", "SRVNACK;"},
                                   {"UNKNOWN-9", "SRVACK;", "DENIED;"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    TlsClient client;
    ASSERT_TRUE(client.Connect(server->TlsPort(), RootFile()));
    ASSERT_TRUE(client.Send(RequestMessage(c.code, "bob", base64)));
    EXPECT_EQ(client.Receive().value_or(""), c.first);
    if (c.verdict.empty()) {
      EXPECT_FALSE(client.Receive().has_value());
      continue;
    }
    EXPECT_EQ(client.Receive().value_or(""), c.verdict);
    EXPECT_TRUE(client.Send("CLTACK;"));
    EXPECT_TRUE(server->WaitForEvent("cltack " + c.code));
  }
  EXPECT_TRUE(server->WaitForEvent("ack NACK-1 SRVNACK"));
  EXPECT_TRUE(server->WaitForEvent("verdict NACK-2 SRVNACK"));
  EXPECT_EQ(server->Stop(SIGTERM), 0);
}

// The message with its length field set to its real length.
std::string WithTrueLength(std::string message) {
  const std::string length = std::to_string(message.size());
  message.replace(4, 6, std::string(6 - length.size(), '0') + length);
  return message;
}

TEST_F(TestServerTest, MalformedRequestsGetSrvnackAndTheServerKeepsServing) {
  auto server = Start({"--code", "GOOD-1", "--verdict-delay-ms", "0"});
  const std::string base64 = MakePkcs10().base64;
  const std::string valid = RequestMessage("GOOD-1", "carol", base64);
  std::string badSignature = base64;
  char& changed = badSignature[badSignature.size() - 20];
  changed = changed == 'A' ? 'B' : 'A';
  std::string wrongFourth = valid;
  wrongFourth.replace(wrongFourth.find(";true;true;"), 11, ";yes!;true;");
  std::string longerThanSent = valid;
  longerThanSent.replace(4, 6, "009999");
  std::string shorterThanSent = valid;
  shorterThanSent.replace(4, 6, "000100");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"garbage", "hello there"},
      {"bad length digits", "REQ;12x456;GOOD-1;carol;" + base64 + ";true;true;"},
      {"huge length", "REQ;999999;GOOD-1;carol;" + base64 + ";true;true;"},
      {"length field too large", longerThanSent},
      {"length field too small", shorterThanSent},
      {"not Base64", RequestMessage("GOOD-1", "carol", "@@@@")},
      {"Base64 of no request", RequestMessage("GOOD-1", "carol", "aGVsbG8=")},
      {"request signature broken", RequestMessage("GOOD-1", "carol", badSignature)},
      {"missing fields", WithTrueLength("REQ;000000;GOOD-1;")},
      {"code with a space", RequestMessage("GOOD 1", "carol", base64)},
      {"fourth field not true", WithTrueLength(wrongFourth)},
      {"no final separator", WithTrueLength(valid.substr(0, valid.size() - 1))},
  };
  for (const auto& [name, message] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(FirstAnswer(server->TlsPort(), message), "SRVNACK;");
  }
  // Bytes that are not TLS at all, and a client that connects and leaves.
  const int plain = ConnectLoopback(server->TlsPort());
  ASSERT_GE(plain, 0);
  EXPECT_GT(::send(plain, "REQ;000011;\r\n", 13, MSG_NOSIGNAL), 0);
  ::close(plain);
  ::close(ConnectLoopback(server->TlsPort()));

  TlsClient client;
  ASSERT_TRUE(client.Connect(server->TlsPort(), RootFile()));
  ASSERT_TRUE(client.Send(valid));
  EXPECT_EQ(client.Receive().value_or(""), "SRVACK;");
  EXPECT_EQ(client.Receive().value_or("").rfind("ISSUED;", 0), 0u);
  EXPECT_EQ(server->Stop(SIGTERM), 0);
}

std::map<std::string, std::string> ReadIni(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  values["[section]"] = line;
  while (std::getline(in, line)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

// The SHA-256 fingerprint of DER bytes in openssl's form: upper-case hex, a colon between bytes.
std::string Fingerprint(const std::string& der) {
  unsigned char digest[EVP_MAX_MD_SIZE] = {};
  unsigned int length = 0;
  if (der.empty() ||
      EVP_Digest(der.data(), der.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
    return "no digest";
  }
  std::ostringstream text;
  for (unsigned int i = 0; i < length; ++i) {
    text << (i > 0 ? ":" : "") << std::uppercase << std::hex << std::setw(2) << std::setfill('0')
         << static_cast<int>(digest[i]);
  }
  return text.str();
}

TEST_F(TestServerTest, WrittenSettingsFilePointsTheClientAtTheServer) {
  const std::string ini = folder.Path() + "/app.ini";
  auto server = Start({"--write-ini", ini, "--language", "FR", "--advance-mode"});
  auto values = ReadIni(ini);
  const std::string http = "http://127.0.0.1:" + std::to_string(server->HttpPort());
  const std::string tls = std::to_string(server->TlsPort());
  EXPECT_EQ(values["[section]"], "[AppSettings]");
  EXPECT_EQ(values["Language"], "FR");
  EXPECT_EQ(values["AdvanceMode"], "TRUE");
  EXPECT_EQ(values["SendReceiveTimeout"], "10000");
  EXPECT_EQ(values["DownloadTimeout"], "10000");
  EXPECT_EQ(values["ConnectionTimeout"], "5000");
  EXPECT_EQ(values["CAIssuer"], "XX, Example Org, Example Issuing CA");
  EXPECT_EQ(values["CASHA256IssuerURL"], http + "/ca.der");
  EXPECT_EQ(values["CASHA1IssuerURL"], http + "/ca.der");
  EXPECT_EQ(values["ROOTCASHA256IssuerURL"], http + "/root.der");
  EXPECT_EQ(values["ROOTCASHA1IssuerURL"], http + "/root.der");
  EXPECT_EQ(values["CAAddress"], "127.0.0.1");
  EXPECT_EQ(values["CATCPPortSHA256"], tls);
  EXPECT_EQ(values["CATCPPortSHA1"], tls);
  EXPECT_EQ(values["CAFECertNameSHA256"], "127.0.0.1");
  EXPECT_EQ(values["CAFECertNameSHA1"], "127.0.0.1");
  // The pins name the anchors the server serves.
  EXPECT_EQ(values["CAThumbprint"], Fingerprint(HttpGet(server->HttpPort(), "/ca.der").body));
  EXPECT_EQ(values["ROOTCAThumbprint"], Fingerprint(HttpGet(server->HttpPort(), "/root.der").body));
  EXPECT_EQ(values["CAThumbprint"].size(), 95u);
  EXPECT_EQ(server->Stop(SIGTERM), 0);

  auto english = Start({"--write-ini", ini, "--ini-host", "localhost", "--no-pins"});
  values = ReadIni(ini);
  EXPECT_EQ(values.count("CAThumbprint") + values.count("ROOTCAThumbprint"), 0u);
  EXPECT_EQ(values["Language"], "EN");
  EXPECT_EQ(values["AdvanceMode"], "FALSE");
  EXPECT_EQ(values["CAAddress"], "localhost");
  EXPECT_EQ(values["CAFECertNameSHA256"], "localhost");
  EXPECT_EQ(english->Stop(SIGTERM), 0);
}

TEST_F(TestServerTest, ServerCertificateComesFromTheChosenIssuer) {
  struct Case {
    std::vector<std::string> arguments;
    bool trusted;
    std::string issuer;
  };
  const std::vector<Case> cases = {{{}, true, "Example Issuing CA"},
                                   {{"--other-intermediate"}, true, "Other Issuing CA"},
                                   {{"--untrusted-server"}, false, "localhost"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.issuer);
    auto server = Start(c.arguments);
    TlsClient verifying;
    EXPECT_EQ(verifying.Connect(server->TlsPort(), RootFile()), c.trusted);
    TlsClient plain;
    ASSERT_TRUE(plain.Connect(server->TlsPort()));
    ASSERT_NE(plain.PeerCertificate(), nullptr);
    EXPECT_EQ(NameValue(X509_get_issuer_name(plain.PeerCertificate()), NID_commonName), c.issuer);
    EXPECT_EQ(NameValue(X509_get_subject_name(plain.PeerCertificate()), NID_commonName),
              "localhost");
    EXPECT_EQ(server->Stop(SIGTERM), 0);
  }
}

TEST_F(TestServerTest, StopsWithExitZeroWhileClientsAreStuckAndRefusesBadOptions) {
  auto server = Start({"--http-stall-path", "/slow.der"});
  const int stalled = ConnectLoopback(server->HttpPort());
  ASSERT_GE(stalled, 0);
  const std::string get = "GET /slow.der HTTP/1.0\r\n\r\n";
  ASSERT_EQ(::send(stalled, get.data(), get.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(get.size()));
  ASSERT_TRUE(server->WaitForEvent("http /slow.der stalled"));
  const int silent = ConnectLoopback(server->TlsPort());  // never starts a handshake
  ASSERT_GE(silent, 0);
  EXPECT_EQ(HttpGet(server->HttpPort(), "/ca.der").status, 200);  // others are still served
  EXPECT_EQ(server->Stop(SIGTERM), 0);
  char byte = 0;
  EXPECT_EQ(::recv(stalled, &byte, 1, 0), 0);  // closed without a reply
  ::close(stalled);
  ::close(silent);

  EXPECT_EQ(RunServerToExit({"--no-such-option"}), 2);
  EXPECT_EQ(RunServerToExit({"--tls-port", "70000"}), 2);
  EXPECT_EQ(RunServerToExit({"--other-intermediate", "--untrusted-server"}), 2);
  EXPECT_EQ(RunServerToExit({"--code", "has space"}), 2);
}

}  // namespace
}  // namespace digital_id::test_server_tests
