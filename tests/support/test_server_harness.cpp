#include "tests/support/test_server_harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#ifndef TEST_SERVER_PATH
#error "TEST_SERVER_PATH must name the digital-id-test-server binary"
#endif

namespace digital_id::test_server_tests {

namespace {

// Bounds that keep a broken server from hanging the suite; never reached when things work.
constexpr auto kStartBound = std::chrono::seconds(60);
constexpr auto kExitBound = std::chrono::seconds(30);
constexpr auto kEventBound = std::chrono::seconds(30);
constexpr int kReceiveBoundSeconds = 30;

void SetReceiveBound(int fd) {
  timeval bound{kReceiveBoundSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof(bound));
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof(bound));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "test-server-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

ServerProcess::ServerProcess(const std::string& folder, const std::vector<std::string>& arguments)
    : folder_(folder) {
  test_support::ChildCommand command;
  command.arguments = {TEST_SERVER_PATH, "--dir", folder + "/data", "--events",
                       folder + "/events.txt"};
  command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
  command.errorFile = folder + "/stderr.txt";
  child_ = std::make_unique<test_support::RunningChild>(command);
  ready_ = child_->ReadUntil("ready", kStartBound, lines_);
  for (const std::string& line : lines_) {
    if (line.rfind("http-port ", 0) == 0)
      httpPort_ = static_cast<std::uint16_t>(std::stoi(line.substr(10)));
    if (line.rfind("tls-port ", 0) == 0)
      tlsPort_ = static_cast<std::uint16_t>(std::stoi(line.substr(9)));
    if (line.rfind("client-auth-port ", 0) == 0)
      clientAuthPort_ = static_cast<std::uint16_t>(std::stoi(line.substr(17)));
  }
}

ServerProcess::~ServerProcess() = default;

int ServerProcess::Stop(int signal) {
  return child_->Stop(signal, kExitBound);
}

std::vector<std::string> ServerProcess::Events() const {
  std::vector<std::string> lines;
  std::istringstream text(ReadFile(folder_ + "/events.txt"));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

bool ServerProcess::WaitForEvent(const std::string& line, int count) const {
  const auto until = std::chrono::steady_clock::now() + kEventBound;
  for (;;) {
    int seen = 0;
    for (const std::string& event : Events()) seen += event == line ? 1 : 0;
    if (seen >= count) return true;
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int RunServerToExit(const std::vector<std::string>& arguments) {
  test_support::ChildCommand command;
  command.arguments = {TEST_SERVER_PATH};
  command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
  command.errorFile = "/dev/null";
  return test_support::RunChild(command, kExitBound).exitCode;
}

int ConnectLoopback(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return -1;
  }
  SetReceiveBound(fd);
  return fd;
}

HttpReply HttpGet(std::uint16_t port, const std::string& path) {
  HttpReply reply;
  const int fd = ConnectLoopback(port);
  if (fd < 0) return reply;
  const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  std::string received;
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
      static_cast<ssize_t>(request.size())) {
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof(buffer), 0)) > 0;) {
      received.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  const std::size_t headEnd = received.find("\r\n\r\n");
  if (received.rfind("HTTP/1.", 0) != 0 || headEnd == std::string::npos) return reply;
  reply.status = std::atoi(received.c_str() + received.find(' ') + 1);
  reply.body = received.substr(headEnd + 4);
  return reply;
}

TlsClient::~TlsClient() {
  ssl_.reset();
  if (socket_ >= 0) ::close(socket_);
}

bool TlsClient::Connect(std::uint16_t port, const std::string& rootFile) {
  socket_ = ConnectLoopback(port);
  context_.reset(SSL_CTX_new(TLS_client_method()));
  if (socket_ < 0 || !context_) return false;
  SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
  SSL_CTX_set_max_proto_version(context_.get(), TLS1_2_VERSION);
  if (!rootFile.empty()) {
    if (SSL_CTX_load_verify_locations(context_.get(), rootFile.c_str(), nullptr) != 1) return false;
    SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
  }
  ssl_.reset(SSL_new(context_.get()));
  if (!ssl_ || SSL_set_fd(ssl_.get(), socket_) != 1) return false;
  if (!rootFile.empty()) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_.get()), "127.0.0.1");
  }
  return SSL_connect(ssl_.get()) == 1;
}

X509* TlsClient::PeerCertificate() const {
  return ssl_ ? SSL_get0_peer_certificate(ssl_.get()) : nullptr;
}

bool TlsClient::Send(const std::string& message) {
  return ssl_ && SSL_write(ssl_.get(), message.data(), static_cast<int>(message.size())) ==
                     static_cast<int>(message.size());
}

std::optional<std::string> TlsClient::Receive() {
  if (!ssl_) return std::nullopt;
  std::string buffer(16384, '\0');
  const int n = SSL_read(ssl_.get(), buffer.data(), static_cast<int>(buffer.size()));
  if (n <= 0) return std::nullopt;
  buffer.resize(static_cast<std::size_t>(n));
  return buffer;
}

Pkcs10 MakePkcs10() {
  Pkcs10 made;
  made.key.reset(EVP_RSA_gen(2048));
  std::unique_ptr<X509_REQ, Deleter<X509_REQ, X509_REQ_free>> request(X509_REQ_new());
  if (!made.key || !request || X509_REQ_set_version(request.get(), 0) != 1 ||
      X509_REQ_set_pubkey(request.get(), made.key.get()) != 1 ||
      X509_REQ_sign(request.get(), made.key.get(), EVP_sha256()) <= 0) {
    return made;
  }
  unsigned char* der = nullptr;
  const int length = i2d_X509_REQ(request.get(), &der);
  if (length <= 0) return made;
  std::string plain(static_cast<std::size_t>(4 * ((length + 2) / 3)) + 1, '\0');
  const int encoded = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(plain.data()), der, length);
  OPENSSL_free(der);
  for (int i = 0; i < encoded; ++i) {
    if (i > 0 && i % 64 == 0) made.base64 += "\r\n";
    made.base64 += plain[static_cast<std::size_t>(i)];
  }
  made.base64 += "\r\n";  // the client's request ends with a line break too
  return made;
}

std::string RequestMessage(const std::string& code, const std::string& identity,
                           const std::string& base64, bool sha256) {
  const std::string body =
      code + ";" + identity + ";" + base64 + ";true;" + (sha256 ? "true" : "false") + ";";
  std::string length = std::to_string(body.size() + 11);
  length.insert(0, 6 - length.size(), '0');
  return "REQ;" + length + ";" + body;
}

Pkcs7Ptr DecodeIssuedResponse(const std::string& verdict) {
  const std::size_t marker = verdict.find("ISSUED;");
  if (marker == std::string::npos) return nullptr;
  std::string compact;
  for (const char c : verdict.substr(marker + 7)) {
    if (c != '\r' && c != '\n') compact += c;
  }
  std::string der(compact.size(), '\0');
  const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(der.data()),
                                     reinterpret_cast<const unsigned char*>(compact.data()),
                                     static_cast<int>(compact.size()));
  if (length <= 0) return nullptr;
  const auto* in = reinterpret_cast<const unsigned char*>(der.data());
  // Trailing zero bytes from the padding are ignored by the DER decoder.
  return Pkcs7Ptr(d2i_PKCS7(nullptr, &in, length));
}

CertPtr ReadPemCertificate(const std::string& file) {
  const std::string text = ReadFile(file);
  std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>> bio(
      BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
  return CertPtr(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

std::string NameValue(const X509_NAME* name, int nid) {
  const int index = X509_NAME_get_index_by_NID(name, nid, -1);
  if (index < 0) return {};
  unsigned char* utf8 = nullptr;
  const int length =
      ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
  if (length < 0) return {};
  std::string value(reinterpret_cast<char*>(utf8), static_cast<std::size_t>(length));
  OPENSSL_free(utf8);
  return value;
}

}  // namespace digital_id::test_server_tests
