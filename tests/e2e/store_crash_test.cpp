// Crash consistency of the Linux stores: digital-id-enroll is killed (SIGKILL, injected by strace)
// at each system call that changes the user's data folder in turn, and after every kill the
// stores must hold the pending key in REQUEST or a complete pair in My, no file a reader would
// take for a damaged entry, and a later enrollment in the same stores must succeed and leave
// nothing of the killed one behind but a request that was never answered.

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <regex>
#include <set>

#include "tests/e2e/end_to_end_support.h"
#include "tests/support/backend_test_support.h"

namespace digital_id::end_to_end {
namespace {

namespace fs = std::filesystem;

// The calls that can change a folder's content: they are traced, and each is a kill point.
const char* const kChangingCalls =
    "rename,renameat,renameat2,link,linkat,unlink,unlinkat,openat,mkdir,mkdirat,symlink,"
    "symlinkat";
// Kill runs going on at once: they mostly wait for the client's own pause.
constexpr std::size_t kParallelRuns = 12;
// Far above the calls one enrollment makes; a larger count means something loops.
constexpr std::size_t kMaxKillPoints = 80;

// One kill point: the index-th call named name made by the enrolling thread.
struct KillPoint {
  std::string name;
  int index = 0;
  std::string line;  // as traced, for failure messages
};

// The calls of the enrolling thread (the one that execs the program) in a trace that change
// something below folder: every name-changing call there, and openat when it may write.
std::vector<KillPoint> ChangingCallsBelow(const std::string& trace, const std::string& folder) {
  std::ifstream in(trace);
  const std::regex call(R"(^(\d+) +([a-z0-9_]+)\((.*)$)");
  std::string leader;
  std::map<std::string, int> counts;
  std::vector<KillPoint> points;
  for (std::string line; std::getline(in, line);) {
    std::smatch match;
    if (!std::regex_match(line, match, call)) continue;  // resumed calls, signals, exits
    if (leader.empty()) leader = match[1];
    if (match[1] != leader) continue;
    const std::string name = match[2];
    const int index = ++counts[name];
    const std::string arguments = match[3];
    const bool writes = name != "openat" || arguments.find("O_CREAT") != std::string::npos ||
                        arguments.find("O_WRONLY") != std::string::npos ||
                        arguments.find("O_RDWR") != std::string::npos;
    if (writes && arguments.find("\"" + folder + "/") != std::string::npos) {
      points.push_back({name, index, line});
    }
  }
  return points;
}

// True for "<ten digits>-<lower-case hex>.der" or ".key", the names of store entries. (No
// std::regex: this runs on several threads, where libstdc++ fills a shared cache while it
// compiles one.)
bool IsEntryName(const std::string& name) {
  const std::size_t dot = name.rfind('.');
  if (name.size() < 13 || name[10] != '-' || dot == std::string::npos || dot < 12 ||
      (name.substr(dot) != ".der" && name.substr(dot) != ".key")) {
    return false;
  }
  for (std::size_t i = 0; i < dot; ++i) {
    const char c = name[i];
    const bool digit = c >= '0' && c <= '9';
    if (i < 10 ? !digit : i > 10 && !digit && (c < 'a' || c > 'f')) return false;
  }
  return true;
}

std::string Slurp(const fs::path& file) {
  return backend_tests::ReadFile(file.string());
}

// What is wrong with the stores and identity files of a data folder, one text per problem:
// an entry file that does not read back, a certificate of My without the key that fits it, a
// private key that exists only as a key left alone in My, identity links that do not lead to a
// matching pair. Files starting with '.' are temporaries no reader lists.
std::vector<std::string> StoreProblems(const std::string& data) {
  std::vector<std::string> problems;
  std::set<std::string> pendingKeys;
  std::set<std::string> pairedKeys;
  std::vector<fs::path> myKeys;
  for (const char* store : {"CA", "Root", "My", "REQUEST"}) {
    const fs::path folder = fs::path(data) / "stores" / store;
    for (const std::string& name : FilesWithExtension(folder.string())) {
      if (name.front() == '.') continue;
      const fs::path file = folder / name;
      if (!IsEntryName(name)) {
        problems.push_back("unknown file " + file.string());
      } else if (file.extension() == ".der" && !ReadDerCertificate(file.string())) {
        problems.push_back("unreadable certificate " + file.string());
      } else if (file.extension() == ".key" && !ReadPemKey(file.string())) {
        problems.push_back("unreadable key " + file.string());
      } else if (file.extension() == ".key" && std::string(store) == "REQUEST") {
        pendingKeys.insert(Slurp(file));
      } else if (file.extension() == ".key" && std::string(store) == "My") {
        myKeys.push_back(file);
      } else if (file.extension() == ".der" && std::string(store) == "My") {
        fs::path key = file;
        key.replace_extension(".key");
        const CertPtr certificate = ReadDerCertificate(file.string());
        const KeyPtr pair = ReadPemKey(key.string());
        if (!pair || X509_check_private_key(certificate.get(), pair.get()) != 1) {
          problems.push_back("certificate without its key " + file.string());
        } else {
          pairedKeys.insert(Slurp(key));
        }
      }
    }
  }
  // A key alone in My is the first half of a pair whose writer died: allowed (readers ignore
  // it, the next opening removes it) only while REQUEST still holds the same key.
  for (const fs::path& key : myKeys) {
    const std::string pem = Slurp(key);
    if (pairedKeys.count(pem) == 0 && pendingKeys.count(pem) == 0) {
      problems.push_back("key found nowhere else " + key.string());
    }
  }
  const fs::path identity = fs::path(data) / "identity";
  if (fs::exists(identity / "identity.crt") || fs::exists(identity / "identity.key")) {
    std::unique_ptr<BIO, test_server_tests::Deleter<BIO, BIO_free_all>> bio(
        BIO_new_file((identity / "identity.crt").c_str(), "r"));
    const CertPtr certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)
                                  : nullptr);
    const KeyPtr key = ReadPemKey((identity / "identity.key").string());
    if (!certificate || !key || X509_check_private_key(certificate.get(), key.get()) != 1) {
      problems.push_back("identity files do not make a pair");
    }
  }
  return problems;
}

// Every temporary file left in the stores and identity folder of a data folder.
std::vector<std::string> Temporaries(const std::string& data) {
  std::vector<std::string> found;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(data, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->path().filename().string().rfind(".tmp-", 0) == 0) {
      found.push_back(it->path().string());
    }
  }
  return found;
}

class StoreCrashTest : public EndToEndTest {
 protected:
  // Runs digital-id-enroll for code in site under wrapper (empty: directly).
  EnrollOutcome Run(const ClientSite& site, const std::string& code,
                    const std::vector<std::string>& wrapper) {
    EnrollInvocation invocation;
    invocation.input = code + "\n";
    invocation.workingFolder = site.work;
    invocation.wrapper = wrapper;
    invocation.environment = {{"XDG_DATA_HOME", site.userData},
                              {"DIGITAL_ID_MACHINE_STORES", site.machineStores},
                              {"HOME", site.userData}};
    if (!wrapper.empty()) {
      // The leak checker of a sanitized build cannot run under ptrace.
      const char* sanitizer = std::getenv("ASAN_OPTIONS");
      invocation.environment.emplace_back(
          "ASAN_OPTIONS", std::string(sanitizer != nullptr ? sanitizer : "") + ":detect_leaks=0");
    }
    return RunEnroll(invocation);
  }
};

TEST_F(StoreCrashTest, KilledAtEveryStoreChangeLeavesConsistentStoresAndEnrollsAgain) {
  std::vector<std::string> arguments = {"--verdict-delay-ms", "0"};
  for (std::size_t i = 0; i <= 2 * kMaxKillPoints; ++i) {
    arguments.insert(arguments.end(), {"--code", "CRASH-" + std::to_string(i)});
  }
  ASSERT_TRUE(StartServer(arguments));

  // One traced enrollment finds the kill points.
  const ClientSite traced = NewSite("traced");
  const std::string trace = folder.Path() + "/trace.txt";
  const EnrollOutcome tracedRun = Run(traced, "CRASH-0",
                                      {"strace", "-f", "-qq", "-s", "4096", "-o", trace, "-e",
                                       std::string("trace=") + kChangingCalls});
  ASSERT_EQ(tracedRun.exitCode, 0) << tracedRun.errors << Joined(tracedRun.lines);
  const std::vector<KillPoint> points = ChangingCallsBelow(trace, traced.userData + "/digital-id");
  ASSERT_GE(points.size(), 10u) << Slurp(trace);
  ASSERT_LE(points.size(), kMaxKillPoints);

  // Each kill point in a site of its own: killed there, checked, enrolled again, checked.
  auto attempt = [this](const KillPoint& point, std::size_t number) {
    std::vector<std::string> failures;
    const ClientSite site = NewSite("kill-" + std::to_string(number));
    const std::string data = site.userData + "/digital-id";
    const std::string tamper = point.name + ":signal=SIGKILL:when=" + std::to_string(point.index);
    const EnrollOutcome killed = Run(site, "CRASH-" + std::to_string(2 * number + 1),
                                     {"strace", "-f", "-qq", "-o", "/dev/null", "-e",
                                      "trace=" + point.name, "-e", "inject=" + tamper});
    if (killed.exitCode != -1)
      failures.push_back("not killed, exit " + std::to_string(killed.exitCode));
    for (const std::string& problem : StoreProblems(data))
      failures.push_back("after the kill: " + problem);
    const EnrollOutcome again = Run(site, "CRASH-" + std::to_string(2 * number + 2), {});
    if (again.exitCode != 0)
      failures.push_back("enrolling again: " + Joined(again.lines) + again.errors);
    for (const std::string& problem : StoreProblems(data))
      failures.push_back("afterwards: " + problem);
    for (const std::string& file : Temporaries(data)) failures.push_back("left behind: " + file);
    // Every key of My is now in a pair, the identity files show the newest one, and no pending
    // key is one My already holds.
    const std::string my = data + "/stores/My";
    const std::vector<std::string> pairs = FilesWithExtension(my, ".der");
    std::unique_ptr<BIO, test_server_tests::Deleter<BIO, BIO_free_all>> published(
        BIO_new_file((data + "/identity/identity.crt").c_str(), "r"));
    const CertPtr current(published ? PEM_read_bio_X509(published.get(), nullptr, nullptr, nullptr)
                                    : nullptr);
    const CertPtr newest = pairs.empty() ? nullptr : ReadDerCertificate(my + "/" + pairs.back());
    if (!current || !newest || X509_cmp(current.get(), newest.get()) != 0) {
      failures.push_back("the identity files do not show the newest certificate of My");
    }
    if (FilesWithExtension(my, ".key").size() != FilesWithExtension(my, ".der").size()) {
      failures.push_back("a key alone in My after the next enrollment");
    }
    std::set<std::string> installed;
    for (const std::string& name : FilesWithExtension(my, ".key"))
      installed.insert(Slurp(my + "/" + name));
    for (const std::string& name : FilesWithExtension(data + "/stores/REQUEST", ".key")) {
      if (installed.count(Slurp(data + "/stores/REQUEST/" + name)) != 0) {
        failures.push_back("a pending key that My holds: " + name);
      }
    }
    return failures;
  };
  // A few workers take the kill points in turn.
  std::vector<std::vector<std::string>> failures(points.size());
  std::atomic<std::size_t> next{0};
  std::vector<std::future<void>> workers;
  for (std::size_t worker = 0; worker < kParallelRuns; ++worker) {
    workers.push_back(std::async(std::launch::async, [&] {
      for (std::size_t i = next++; i < points.size(); i = next++) {
        failures[i] = attempt(points[i], i);
      }
    }));
  }
  for (auto& worker : workers) worker.get();
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_TRUE(failures[i].empty()) << "killed at " << points[i].line << "\n"
                                     << Joined(failures[i]);
  }
}

}  // namespace
}  // namespace digital_id::end_to_end
