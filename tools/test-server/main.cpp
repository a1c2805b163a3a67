// digital-id-test-server: a local issuing server for the demo and the end-to-end tests. It makes
// (or reloads) a demo PKI, serves the anchors over HTTP, runs the issuance exchange over TLS 1.2,
// and stops cleanly on SIGINT or SIGTERM.
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <exception>
#include <iostream>

#include "accept_loop.h"
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

  const CertifiedKey& server =
      options.identity == ServerIdentity::OtherIntermediate ? pki->otherServer
      : options.identity == ServerIdentity::Untrusted       ? pki->untrustedServer
                                                            : pki->server;
  std::vector<X509*> chain;
  if (options.identity == ServerIdentity::Regular)
    chain.push_back(pki->issuingCa.certificate.get());
  if (options.identity == ServerIdentity::OtherIntermediate) {
    chain.push_back(pki->otherCa.certificate.get());
  }
  SslCtxPtr tls = MakeTlsServerContext(server, chain, error);
  if (!tls) {
    log.Note(error);
    return 1;
  }

  HttpContent content{DerOf(pki->issuingCa.certificate.get()), DerOf(pki->root.certificate.get()),
                      PemOf(pki->issuingCa.certificate.get()), options.stallPath};
  auto httpListener = ListenOnLoopback(options.httpPort, error);
  auto tlsListener = httpListener ? ListenOnLoopback(options.tlsPort, error) : std::nullopt;
  if (!httpListener || !tlsListener) {
    log.Note(error);
    return 1;
  }
  const std::uint16_t httpPort = LocalPort(httpListener->Get());
  const std::uint16_t tlsPort = LocalPort(tlsListener->Get());

  if (!options.iniPath.empty()) {
    ClientSettings settings;
    settings.language = options.language;
    settings.advanceMode = options.advanceMode;
    settings.caIssuer = RenderSimpleName(X509_get_subject_name(pki->issuingCa.certificate.get()));
    settings.host = options.iniHost;
    settings.httpPort = httpPort;
    settings.tlsPort = tlsPort;
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
  IssuanceContext issuance{tls.get(), &*pki, &codes, &log, &stop, options.verdictDelay};

  std::cout << "http-port " << httpPort << "\ntls-port " << tlsPort << "\nready" << std::endl;

  ConnectionPool httpPool(kMaxConnectionsPerPort);
  ConnectionPool tlsPool(kMaxConnectionsPerPort);
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
