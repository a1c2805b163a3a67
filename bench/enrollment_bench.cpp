// enrollment_bench: measures, on this machine, the key pair and request generation, the TLS
// handshake on loopback and a whole enrollment of the Linux programs, each beside the same work
// done with the openssl command line in the same run. Prints medians and ratios, then the
// console program's peak memory over an enrollment, the window's start to first paint offscreen
// with its peak memory, and the size of the Windows program.

#include <openssl/pem.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/engine_handshake.h"
#include "platform/linux/enrollment/openssl_enrollment_objects.h"
#include "platform/linux/stores/file_cert_services.h"
#include "platform/linux/tls/openssl_tls_engine.h"
#include "platform/linux/x509/openssl_handles.h"
#include "tests/support/child_process.h"
#include "tests/support/test_server_harness.h"

#ifndef ENROLL_PATH
#error "ENROLL_PATH must name the digital-id-enroll binary"
#endif

namespace digital_id::bench {
namespace {

namespace fs = std::filesystem;

// The client's fixed pause between the server's acknowledgement and the verdict.
constexpr double kVerdictPauseMs = 5000;

// A temporary folder removed with its content on destruction.
using test_server_tests::ServerProcess;
using test_server_tests::TempFolder;
using test_support::ChildCommand;
using test_support::ChildResult;

// Only a broken program reaches this bound.
constexpr auto kRunBound = std::chrono::seconds(120);

// Runs the command to its end with its errors discarded.
ChildResult RunMeasured(ChildCommand command, const std::string& marker = {}) {
  command.errorFile = "/dev/null";
  return test_support::RunChild(command, kRunBound, marker);
}

// Runs a program with arguments (the program first) and an empty input; its exit code.
int RunToExit(const std::vector<std::string>& arguments) {
  ChildCommand command;
  command.arguments = arguments;
  return RunMeasured(command).exitCode;
}

// One measured line: the project's median beside the command line's.
struct Comparison {
  const char* work;
  double project = 0;
  double commandLine = 0;
};

// The DER form of the first certificate in a PEM file; empty when unreadable.
Bytes DerFromPemFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  const std::string pem = text.str();
  BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  X509Ptr certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
  const int length = certificate ? i2d_X509(certificate.get(), nullptr) : 0;
  if (length <= 0) return {};
  Bytes der(static_cast<std::size_t>(length));
  unsigned char* out = der.data();
  i2d_X509(certificate.get(), &out);
  return der;
}

// Runs project and commandLine in turn, runs times each, so that a change of the machine's load
// falls on both alike, and keeps their medians in milliseconds (negative when a run failed).
template <typename Project, typename CommandLine>
void MeasureInTurn(int runs, Project&& project, CommandLine&& commandLine, Comparison& comparison) {
  std::vector<double> projectSamples;
  std::vector<double> commandLineSamples;
  bool ok = true;
  for (int i = 0; i < runs && ok; ++i) {
    projectSamples.push_back(MeasureMs(project, ok));
    if (ok) commandLineSamples.push_back(MeasureMs(commandLine, ok));
  }
  comparison.project = ok ? Median(projectSamples) : -1;
  comparison.commandLine = ok ? Median(commandLineSamples) : -1;
}

bool OpensslRequest(const std::string& folder) {
  const std::string key = folder + "/cli-key.pem";
  return RunToExit(std::vector<std::string>{"openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt",
                                            "rsa_keygen_bits:2048", "-out", key}) == 0 &&
         RunToExit(std::vector<std::string>{"openssl", "req", "-new", "-key", key, "-subj", "/",
                                            "-out", folder + "/cli-request.pem"}) == 0;
}

bool OpensslHandshake(std::uint16_t port) {
  return RunToExit(std::vector<std::string>{"openssl", "s_client", "-connect",
                                            "127.0.0.1:" + std::to_string(port), "-tls1_2"}) == 0;
}

// One first enrollment of code in a fresh site (empty stores) under folder; peakKib receives the
// console program's peak resident memory.
bool Enroll(const std::string& folder, const std::string& settings, const std::string& code,
            long& peakKib) {
  const std::string site = folder + "/site-" + code;
  std::error_code error;
  fs::create_directories(site + "/work", error);
  fs::copy_file(settings, site + "/work/app.ini", error);
  if (error) return false;
  ChildCommand command{
      {ENROLL_PATH},
      code + "\n",
      {{"XDG_DATA_HOME", site + "/user"}, {"DIGITAL_ID_MACHINE_STORES", site + "/m"}},
      site + "/work",
      {}};
  const ChildResult run = RunMeasured(command);
  peakKib = run.peakKib;
  return run.exitCode == 0;
}

// The window's start to first paint offscreen and its peak memory, as medians of runs.
struct WindowFigures {
  double firstPaintMs = -1;
  double peakKib = -1;
};

WindowFigures MeasureWindow(int runs, const std::string& folder) {
  WindowFigures figures;
#ifdef WINDOW_DEMO_PATH
  std::vector<double> paints;
  std::vector<double> peaks;
  for (int i = 0; i < runs; ++i) {
    // The window starts as the installer does, from a folder holding app.ini.
    ChildCommand command{{WINDOW_DEMO_PATH},
                         {},
                         {{"QT_QPA_PLATFORM", "offscreen"}, {"DIGITAL_ID_BENCH_FIRST_PAINT", "1"}},
                         folder,
                         {}};
    const ChildResult run = RunMeasured(command, "first-paint");
    if (run.exitCode != 0 || run.markerMs < 0) return figures;
    paints.push_back(run.markerMs);
    peaks.push_back(static_cast<double>(run.peakKib));
  }
  figures.firstPaintMs = Median(paints);
  figures.peakKib = Median(peaks);
#else
  static_cast<void>(runs);
  static_cast<void>(folder);
#endif
  return figures;
}

// The figures that are not compared with the command line.
void PrintResources(const std::vector<double>& enrollPeaks, const WindowFigures& window) {
  std::printf("\nResources on this machine\n");
  std::printf("%-46s %10.0f KiB (median of %zu, ru_maxrss)\n",
              "console program's peak memory, whole enrollment", Median(enrollPeaks),
              enrollPeaks.size());
  if (window.firstPaintMs < 0) {
    std::printf("%-46s %10s\n", "window start to first paint (offscreen)", "not built");
  } else {
    std::printf("%-46s %10.1f ms\n", "window start to first paint (offscreen)",
                window.firstPaintMs);
    std::printf("%-46s %10.0f KiB\n", "window's peak memory up to first paint", window.peakKib);
  }
  // The cross build's usual folder first, then the older one.
  for (const char* folder : {"/win32/", "/win/"}) {
    const std::string program =
        std::string(WINDOWS_BUILD_FOLDER) + folder + "digital-id-installer.exe";
    std::error_code error;
    const auto size = fs::file_size(program, error);
    if (error) continue;
    std::printf("%-46s %10ju bytes (%.1f KiB, %s)\n", "Windows program size",
                static_cast<std::uintmax_t>(size), static_cast<double>(size) / 1024.0,
                program.c_str());
    return;
  }
  std::printf("%-46s %10s\n", "Windows program size", "absent (no cross build)");
}

void Print(const Comparison& line) {
  std::printf("%-46s %10.1f %12.1f %8.2f\n", line.work, line.project, line.commandLine,
              line.commandLine > 0 ? line.project / line.commandLine : 0.0);
}

int Run(int runs, int enrollments) {
  const TempFolder scratch;
  if (scratch.Path().empty()) return 1;
  const std::string root = scratch.Path();
  ::setenv("XDG_DATA_HOME", (root + "/user").c_str(), 1);
  ::setenv("DIGITAL_ID_MACHINE_STORES", (root + "/machine").c_str(), 1);

  std::fprintf(stderr, "starting the test server (its first start makes a demo PKI)...\n");
  std::vector<std::string> serverArguments = {"--write-ini", root + "/app.ini"};
  for (int i = 0; i < enrollments; ++i) {
    serverArguments.insert(serverArguments.end(), {"--code", "BENCH-" + std::to_string(i)});
  }
  const ServerProcess server(root, serverArguments);
  if (!server.Ready()) {
    std::fprintf(stderr, "the test server did not start\n");
    return 1;
  }

  std::fprintf(stderr, "key pairs and requests...\n");
  FileCertServices services;
  OpenSslEnrollmentObjects objects(services);
  Comparison request{"key pair + request (RSA 2048, PKCS #10)"};
  MeasureInTurn(
      runs,
      [&] {
        return !objects.CreateRequest(EnrollmentPath::Modern, EnrollmentContext::User).empty();
      },
      [&] { return OpensslRequest(root); }, request);

  std::fprintf(stderr, "handshakes...\n");
  const Bytes trustedRoot = DerFromPemFile(root + "/data/root.cert.pem");
  OpenSslTlsEngine engine([&trustedRoot] { return std::vector<Bytes>{trustedRoot}; });
  if (trustedRoot.empty()) return 1;
  Comparison handshake{"TLS 1.2 handshake on loopback"};
  MeasureInTurn(
      runs, [&] { return EngineHandshake(engine, server.TlsPort(), u"127.0.0.1"); },
      [&] { return OpensslHandshake(server.TlsPort()); }, handshake);

  std::fprintf(stderr, "enrollments (each pauses 5 s in the client)...\n");
  Comparison enrollment{"whole enrollment minus the 5,000 ms pause"};
  std::vector<double> enrollmentSamples;
  std::vector<double> enrollPeaks;
  for (int i = 0; i < enrollments; ++i) {
    bool ok = false;
    long peakKib = 0;
    const std::string code = "BENCH-" + std::to_string(i);
    const double ms = MeasureMs([&] { return Enroll(root, root + "/app.ini", code, peakKib); }, ok);
    enrollPeaks.push_back(static_cast<double>(peakKib));
    if (!ok) {
      std::fprintf(stderr, "the enrollment of %s failed\n", code.c_str());
      return 1;
    }
    enrollmentSamples.push_back(ms - kVerdictPauseMs);
  }
  enrollment.project = Median(enrollmentSamples);
  // The command line has no enrollment: its share is the key, the request and the handshake.
  enrollment.commandLine = request.commandLine + handshake.commandLine;

  std::fprintf(stderr, "the window up to its first paint...\n");
  const WindowFigures window = MeasureWindow(runs, root);

  if (request.project < 0 || request.commandLine < 0 || handshake.project < 0 ||
      handshake.commandLine < 0) {
    std::fprintf(stderr, "a measured run failed\n");
    return 1;
  }
  std::printf(
      "Medians in milliseconds on this machine (%ld cores online); ratio = project / "
      "openssl CLI\n",
      ::sysconf(_SC_NPROCESSORS_ONLN));
  std::printf("%-46s %10s %12s %8s\n", "work", "project", "openssl CLI", "ratio");
  Print(request);
  Print(handshake);
  Print(enrollment);
  std::printf(
      "runs: %d (key and handshake), %d (enrollment). The openssl figures include the "
      "start of each command; the enrollment's openssl figure is genpkey + req + "
      "s_client, the crypto work an enrollment does, without the downloads and "
      "store writes.\n",
      runs, enrollments);
  PrintResources(enrollPeaks, window);
  return 0;
}

}  // namespace
}  // namespace digital_id::bench

int main(int argc, char** argv) {
  // enrollment_bench [RUNS [ENROLLMENTS]]
  const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  const int enrollments = argc > 2 ? std::atoi(argv[2]) : 3;
  if (runs < 1 || enrollments < 1) {
    std::fprintf(stderr, "usage: enrollment_bench [RUNS [ENROLLMENTS]]\n");
    return 2;
  }
  return digital_id::bench::Run(runs, enrollments);
}
