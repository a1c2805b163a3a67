// digital-id-test-server: a local issuing server for the demo and the end-to-end tests. It makes
// (or reloads) a demo PKI, serves the anchors over HTTP, runs the issuance exchange over TLS 1.2,
// and stops cleanly on SIGINT or SIGTERM.
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <vector>

#include "accept_loop.h"
#include "certificate_variants.h"
#include "client_auth_server.h"
#include "code_book.h"
#include "demo_pki.h"
#include "event_log.h"
#include "file_io.h"
#include "http_server.h"
#include "ini_writer.h"
#include "issuance_session.h"
#include "options.h"
#include "simple_name.h"
#include "socket_io.h"
#include "thread_group.h"
#include "tls_server_context.h"

namespace digital_id::test_server {

namespace {

constexpr std::size_t kMaxConnectionsPerPort = 64;

std::string DerOf(X509* certificate) {
  const int length = i2d_X509(certificate, nullptr);
  if (length <= 0) return {};
  std::string der(static_cast<std::size_t>(length), '\0');
  auto* out = reinterpret_cast<unsigned char*>(der.data());
  i2d_X509(certificate, &out);
  return der;
}

// The SHA-256 fingerprint of a certificate's DER as openssl x509 -fingerprint prints it
// ("AB:CD:..."), so the written app.ini shows the form a user pastes; empty on failure.
std::string Sha256Fingerprint(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE] = {};
  unsigned int length = 0;
  if (X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    if (i > 0) text += ':';
    text += kDigits[digest[i] >> 4];
    text += kDigits[digest[i] & 0x0F];
  }
  return text;
}

std::string PemOf(X509* certificate) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1) return {};
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

// A code such as "K7QD-M2XP-9TRW" for a demo run started without codes.
std::string MakeUpCode() {
  static constexpr char kLetters[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  unsigned char random[12] = {};
  RAND_bytes(random, sizeof(random));
  std::string code;
  for (std::size_t i = 0; i < sizeof(random); ++i) {
    if (i > 0 && i % 4 == 0) code += '-';
    code += kLetters[random[i] % (sizeof(kLetters) - 1)];
  }
  return code;
}

void FillCodeBook(const ServerOptions& options, CodeBook& codes, EventLog& log) {
  for (const auto& [code, kind] : options.codes) codes.Add(code, kind);
  if (options.codes.empty()) {
    for (int i = 0; i < 3; ++i) codes.Add(MakeUpCode(), CodeKind::Issue);
  }
  const auto show = [&](CodeKind kind, const char* label) {
    for (const std::string& code : codes.CodesOfKind(kind)) log.Note(std::string(label) + code);
  };
  show(CodeKind::Issue, "one-time code: ");
  show(CodeKind::Deny, "denied code: ");
  show(CodeKind::RefuseFirst, "code refused at the first answer: ");
  show(CodeKind::RefuseSecond, "code refused at the verdict: ");
}

// A certificate with its own key: the key is shared with the member it comes from.
std::optional<CertifiedKey> WithKeyOf(X509Ptr certificate, const CertifiedKey& member) {
  if (!certificate || EVP_PKEY_up_ref(member.key.get()) != 1) return std::nullopt;
  return CertifiedKey{std::move(certificate), EvpPkeyPtr(member.key.get())};
}

// The server certificate the TLS side presents, made for the occasion when it is a broken copy.
std::optional<CertifiedKey> PresentedCertificate(const DemoPki& pki, ServerIdentity identity,
                                                 std::string& error) {
  const CertifiedKey& regular = pki.server;
  X509* original = regular.certificate.get();
  EVP_PKEY* signer = pki.issuingCa.key.get();
  switch (identity) {
    case ServerIdentity::Regular:
      return WithKeyOf(X509Ptr(X509_dup(original)), regular);
    case ServerIdentity::OtherIntermediate:
      return WithKeyOf(X509Ptr(X509_dup(pki.otherServer.certificate.get())), pki.otherServer);
    case ServerIdentity::Untrusted:
      return WithKeyOf(X509Ptr(X509_dup(pki.untrustedServer.certificate.get())),
                       pki.untrustedServer);
    case ServerIdentity::Expired:
    case ServerIdentity::NotYetValid: {
      const Validity validity =
          identity == ServerIdentity::Expired ? Validity::Expired : Validity::NotYetValid;
      return WithKeyOf(CopyWithValidity(original, signer, validity, error), regular);
    }
    case ServerIdentity::WrongName:
      return WithKeyOf(CopyForOtherName(original, signer, "wrong.example", error), regular);
  }
  return std::nullopt;
}

// The DER of an anchor, or of an expired or not-yet-valid copy of it when a fault asks so.
bool AnchorDer(const CertifiedKey& anchor, EVP_PKEY* signer, const FaultPlan& faults, Fault expired,
               Fault notYetValid, std::string& der, std::string& error) {
  if (!faults.Has(expired) && !faults.Has(notYetValid)) {
    der = DerOf(anchor.certificate.get());
    return !der.empty();
  }
  const Validity validity = faults.Has(expired) ? Validity::Expired : Validity::NotYetValid;
  const X509Ptr copy = CopyWithValidity(anchor.certificate.get(), signer, validity, error);
  der = copy ? DerOf(copy.get()) : std::string();
  return !der.empty();
}

bool FillHttpContent(const DemoPki& pki, const ServerOptions& options, HttpContent& content,
                     std::string& error) {
  const FaultPlan& faults = options.faults;
  if (!AnchorDer(pki.issuingCa, pki.root.key.get(), faults, Fault::ExpiredCa, Fault::NotYetValidCa,
                 content.caDer, error) ||
      !AnchorDer(pki.root, pki.root.key.get(), faults, Fault::ExpiredRoot, Fault::NotYetValidRoot,
                 content.rootDer, error)) {
    error = "anchors: " + error;
    return false;
  }
  content.caPem = PemOf(pki.issuingCa.certificate.get());
  content.stallPath = options.stallPath;
  content.bodyFault = faults.Has(Fault::StalledBody) ? BodyFault::Stall
                      : faults.Has(Fault::HugeBody)  ? BodyFault::Huge
                      : faults.Has(Fault::SlowBody)  ? BodyFault::Trickle
                                                     : BodyFault::None;
  return true;
}

int Run(const ServerOptions& options) {
  EventLog log;
  std::string error;
  if (!options.eventsPath.empty() && !log.OpenEventsFile(options.eventsPath, error)) {
    log.Note(error);
    return 1;
  }
  bool created = false;
  auto pki = LoadOrCreateDemoPki(options.folder, created, error);
  if (!pki) {
    log.Note("demo PKI: " + error);
    return 1;
  }
  log.Note(std::string(created ? "made a new demo PKI in " : "reusing the demo PKI in ") +
           options.folder);

  std::optional<CertifiedKey> server = PresentedCertificate(*pki, options.identity, error);
  std::vector<X509*> chain;
  if (options.identity == ServerIdentity::OtherIntermediate) {
    chain.push_back(pki->otherCa.certificate.get());
  } else if (options.identity != ServerIdentity::Untrusted) {
    chain.push_back(pki->issuingCa.certificate.get());
  }
  SslCtxPtr tls =
      server ? MakeTlsServerContext(*server, chain, error, options.tlsMinorVersion) : nullptr;
  if (!tls ||
      (options.askClientCertificate &&
       !AskForOptionalClientCertificate(
           tls.get(), {pki->issuingCa.certificate.get(), pki->root.certificate.get()}, error))) {
    log.Note(error);
    return 1;
  }

  SslCtxPtr clientAuth = MakeClientAuthContext(*pki, error);
  if (!clientAuth) {
    log.Note(error);
    return 1;
  }

  HttpContent content;
  if (!FillHttpContent(*pki, options, content, error)) {
    log.Note(error);
    return 1;
  }
  auto httpListener = ListenOnLoopback(options.httpPort, error);
  auto tlsListener = httpListener ? ListenOnLoopback(options.tlsPort, error) : std::nullopt;
  auto clientAuthListener =
      tlsListener ? ListenOnLoopback(options.clientAuthPort, error) : std::nullopt;
  if (!httpListener || !tlsListener || !clientAuthListener) {
    log.Note(error);
    return 1;
  }
  const std::uint16_t httpPort = LocalPort(httpListener->Get());
  const std::uint16_t tlsPort = LocalPort(tlsListener->Get());
  const std::uint16_t clientAuthPort = LocalPort(clientAuthListener->Get());

  if (!options.iniPath.empty()) {
    ClientSettings settings;
    settings.language = options.language;
    settings.advanceMode = options.advanceMode;
    settings.caIssuer = RenderSimpleName(X509_get_subject_name(pki->issuingCa.certificate.get()));
    settings.host = options.iniHost;
    settings.httpPort = httpPort;
    settings.tlsPort = tlsPort;
    if (options.writePins) {
      // The demo PKI's own anchors: a fault that serves another copy of one fails its pin.
      settings.caPin = Sha256Fingerprint(pki->issuingCa.certificate.get());
      settings.rootPin = Sha256Fingerprint(pki->root.certificate.get());
    }
    if (!WriteFileAtomically(options.iniPath, RenderAppIni(settings), 0644, error)) {
      log.Note(error);
      return 1;
    }
    log.Note("wrote " + options.iniPath);
  }

  CodeBook codes;
  FillCodeBook(options, codes, log);
  StopSignal stop;
  if (!stop.Valid()) {
    log.Note("cannot make the stop pipe");
    return 1;
  }
  IssuanceContext issuance{tls.get(),       &*pki,
                           &codes,          &log,
                           &stop,           options.verdictDelay,
                           &options.faults, options.askClientCertificate};
  issuance.clientValidDays = options.validityDays;

  std::cout << "http-port " << httpPort << "\ntls-port " << tlsPort << "\nclient-auth-port "
            << clientAuthPort << "\nready" << std::endl;

  ConnectionPool httpPool(kMaxConnectionsPerPort);
  ConnectionPool tlsPool(kMaxConnectionsPerPort);
  ConnectionPool clientAuthPool(kMaxConnectionsPerPort);
  const std::function<void(UniqueFd)> serveHttp = [&](UniqueFd socket) {
    ServeHttpConnection(std::move(socket), content, stop, log);
  };
  const std::function<void(UniqueFd)> serveTls = [&](UniqueFd socket) {
    ServeIssuanceConnection(std::move(socket), issuance);
  };
  ThreadGroup threads(stop);
  threads.Start(
      [&] { RunAcceptLoop(httpListener->Get(), "http", stop, httpPool, serveHttp, log); });
  threads.Start([&] { RunAcceptLoop(tlsListener->Get(), "tls", stop, tlsPool, serveTls, log); });
  const std::function<void(UniqueFd)> serveClientAuth = [&](UniqueFd socket) {
    ServeClientAuthConnection(std::move(socket), clientAuth.get(), stop, log);
  };
  threads.Start([&] {
    RunAcceptLoop(clientAuthListener->Get(), "client-auth", stop, clientAuthPool, serveClientAuth,
                  log);
  });

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  int received = 0;
  while (sigwait(&stopSignals, &received) != 0) {
  }
  log.Note(std::string("stopping on ") + (received == SIGINT ? "SIGINT" : "SIGTERM"));
  threads.StopAndJoin();
  log.Note("stopped");
  return 0;
}

}  // namespace

}  // namespace digital_id::test_server

int main(int argc, char** argv) {
  using namespace digital_id::test_server;
  // Writes to a peer that has gone must fail, not kill the server; the stop signals are taken
  // by sigwait in the main thread only, so they are blocked before any thread starts.
  signal(SIGPIPE, SIG_IGN);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  ServerOptions options;
  std::string error;
  switch (ParseOptions(argc, argv, options, error)) {
    case ParseOutcome::Help:
      std::cout << UsageText();
      return 0;
    case ParseOutcome::Error:
      std::cerr << "digital-id-test-server: " << error << "\n" << UsageText();
      return 2;
    case ParseOutcome::Run:
      break;
  }
  try {
    return Run(options);
  } catch (const std::exception& e) {
    std::cerr << "digital-id-test-server: " << e.what() << "\n";
    return 1;
  }
}
