#pragma once

// Helpers for the tests of digital-id-test-server: the server as a child process, a plain HTTP
// fetch, a TLS 1.2 client made directly with OpenSSL, and requests made with OpenSSL.

#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/x509/openssl_handles.h"
#include "tests/support/child_process.h"

namespace digital_id::test_server_tests {

// The owners of the shared OpenSSL handle header, under the names these tests use.
template <typename T, void (*Free)(T*)>
using Deleter = OpenSslDeleter<T, Free>;
using KeyPtr = EvpPkeyPtr;
using CertPtr = X509Ptr;
using Pkcs7Ptr = digital_id::Pkcs7Ptr;
using SslCtxPtr = digital_id::SslCtxPtr;
using SslPtr = digital_id::SslPtr;

// A temporary folder removed with everything in it on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // The folder's path.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A running digital-id-test-server whose standard output is read up to "ready" and whose
// standard error goes to a file. Killed on destruction if still running.
class ServerProcess {
 public:
  // Starts the server with --dir folder/data, --events folder/events.txt and extra arguments.
  ServerProcess(const std::string& folder, const std::vector<std::string>& arguments);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // True when "ready" was printed.
  bool Ready() const { return ready_; }
  // Every line printed on standard output up to "ready".
  const std::vector<std::string>& Lines() const { return lines_; }
  std::uint16_t HttpPort() const { return httpPort_; }
  std::uint16_t TlsPort() const { return tlsPort_; }
  // The HTTPS port that requires a client certificate.
  std::uint16_t ClientAuthPort() const { return clientAuthPort_; }
  // Sends signal and returns the exit code, or -1 when the process was killed or did not end
  // within a generous bound.
  int Stop(int signal);
  // Waits (within a generous bound) until the events file holds line count times; true then.
  bool WaitForEvent(const std::string& line, int count = 1) const;
  // Every line of the events file so far.
  std::vector<std::string> Events() const;

 private:
  std::string folder_;
  std::unique_ptr<test_support::RunningChild> child_;
  bool ready_ = false;
  std::vector<std::string> lines_;
  std::uint16_t httpPort_ = 0;
  std::uint16_t tlsPort_ = 0;
  std::uint16_t clientAuthPort_ = 0;
};

// Runs the server binary with arguments only, and returns its exit code.
int RunServerToExit(const std::vector<std::string>& arguments);

// Status code and body of one HTTP/1.0 GET on 127.0.0.1.
struct HttpReply {
  int status = 0;
  std::string body;
};
HttpReply HttpGet(std::uint16_t port, const std::string& path);

// A plain TCP connection to 127.0.0.1 (blocking, with a receive time-out); -1 on failure.
int ConnectLoopback(std::uint16_t port);

// A TLS 1.2 client connection made with OpenSSL directly.
class TlsClient {
 public:
  TlsClient() = default;
  ~TlsClient();
  TlsClient(const TlsClient&) = delete;
  TlsClient& operator=(const TlsClient&) = delete;

  // Connects and runs the handshake. With rootFile set the server chain must verify against it
  // for the name 127.0.0.1; without it nothing is verified.
  bool Connect(std::uint16_t port, const std::string& rootFile = {});
  // The server's certificate (owned by the connection).
  X509* PeerCertificate() const;
  // Sends message as one record.
  bool Send(const std::string& message);
  // The content of the next record; nothing when the server closed the connection or failed.
  std::optional<std::string> Receive();

 private:
  SslCtxPtr context_;
  SslPtr ssl_;
  int socket_ = -1;
};

// A new RSA key and the Base64 (CR LF every 64 characters) of a PKCS #10 request signed with it.
struct Pkcs10 {
  KeyPtr key;
  std::string base64;
};
Pkcs10 MakePkcs10();

// The request message of the issuance exchange with a correct length field.
std::string RequestMessage(const std::string& code, const std::string& identity,
                           const std::string& base64, bool sha256 = true);

// The PKCS #7 whose Base64 (lines allowed) follows "ISSUED;"; null when it does not decode.
Pkcs7Ptr DecodeIssuedResponse(const std::string& verdict);

// The certificate stored as PEM in file; null when unreadable.
CertPtr ReadPemCertificate(const std::string& file);

// The value of an attribute (by NID) of a name, as UTF-8; empty when absent.
std::string NameValue(const X509_NAME* name, int nid);

}  // namespace digital_id::test_server_tests
