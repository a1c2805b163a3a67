#include "tests/e2e/end_to_end_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace digital_id::end_to_end {

namespace fs = std::filesystem;

namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The folder where the demo PKI of the suite is kept: making one costs several RSA keys, so
// every test of every run copies the same one. Beside the test data when ctest names it.
fs::path SharedPkiFolder() {
  const char* data = std::getenv("DIGITAL_ID_TEST_DATA");
  const fs::path base =
      data != nullptr && *data != '\0' ? fs::path(data) : fs::temp_directory_path();
  return base / "end-to-end-pki";
}

// Makes the shared PKI once: a server started in a scratch folder creates it, and the finished
// folder is renamed into place, so a concurrent test sees either nothing or all of it.
bool EnsureSharedPki() {
  const fs::path shared = SharedPkiFolder();
  std::error_code error;
  if (fs::is_directory(shared, error)) return true;
  const TempFolder scratch;
  if (scratch.Path().empty()) return false;
  {
    ServerProcess maker(scratch.Path(), {"--code", "PKI-MAKER"});
    if (!maker.Ready() || maker.Stop(SIGTERM) != 0) return false;
  }
  fs::create_directories(shared.parent_path(), error);
  fs::rename(fs::path(scratch.Path()) / "data", shared, error);
  return fs::is_directory(shared, error);  // made here or by a concurrent test
}

bool CopyFolderFiles(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::create_directories(to, error);
  for (const fs::directory_entry& entry : fs::directory_iterator(from, error)) {
    if (!entry.is_regular_file()) continue;
    fs::copy_file(entry.path(), to / entry.path().filename(), fs::copy_options::overwrite_existing,
                  error);
    if (error) return false;
  }
  return !error;
}

}  // namespace

std::string ClientSite::Store(const std::string& name, bool machine) const {
  return machine ? machineStores + "/" + name : userData + "/digital-id/stores/" + name;
}

std::vector<std::string> FilesWithExtension(const std::string& folder,
                                            const std::string& extension) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file()) continue;
    if (extension.empty() || entry.path().extension() == extension)
      names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

CertPtr ReadDerCertificate(const std::string& file) {
  const std::string der = ReadWholeFile(file);
  const auto* in = reinterpret_cast<const unsigned char*>(der.data());
  return CertPtr(d2i_X509(nullptr, &in, static_cast<long>(der.size())));
}

KeyPtr ReadPemKey(const std::string& file) {
  const std::string pem = ReadWholeFile(file);
  std::unique_ptr<BIO, test_server_tests::Deleter<BIO, BIO_free_all>> bio(
      BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  return KeyPtr(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

std::string SubjectCommonName(const CertPtr& certificate) {
  return certificate ? test_server_tests::NameValue(X509_get_subject_name(certificate.get()),
                                                    NID_commonName)
                     : std::string();
}

bool SetIniValue(const std::string& file, const std::string& key, const std::string& value) {
  std::istringstream in(ReadWholeFile(file));
  std::string text;
  bool found = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key + "=", 0) == 0) {
      line = key + "=" + value;
      found = true;
    }
    text += line + "\n";
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  return found && static_cast<bool>(out.flush());
}

bool CopySharedPki(const std::string& folder) {
  return EnsureSharedPki() && CopyFolderFiles(SharedPkiFolder(), folder);
}

RefusingPort::RefusingPort() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  // Bound without listen: the port stays ours, and a connection to it gets a reset.
  if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port_ = ntohs(address.sin_port);
  }
}

RefusingPort::~RefusingPort() {
  if (fd_ >= 0) ::close(fd_);
}

void EndToEndTest::SetUp() {
  // A write to a pipe or connection whose reader has gone must fail, not end the test.
  ::signal(SIGPIPE, SIG_IGN);
  ASSERT_FALSE(folder.Path().empty());
  ASSERT_TRUE(EnsureSharedPki());
}

bool EndToEndTest::StartServer(const std::vector<std::string>& arguments) {
  const std::string serverFolder = folder.Path() + "/server";
  if (!CopyFolderFiles(SharedPkiFolder(), serverFolder + "/data")) return false;
  std::vector<std::string> all = {"--write-ini", serverFolder + "/app.ini"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  server = std::make_unique<ServerProcess>(serverFolder, all);
  return server->Ready();
}

ClientSite EndToEndTest::NewSite(const std::string& name) {
  const std::string base = folder.Path() + "/" + name;
  ClientSite site{base + "/work", base + "/user", base + "/machine"};
  std::error_code error;
  fs::create_directories(site.work, error);
  fs::create_directories(site.userData, error);
  fs::copy_file(folder.Path() + "/server/app.ini", site.Settings(), error);
  return site;
}

EnrollOutcome EndToEndTest::Enroll(
    const ClientSite& site, const std::string& line, const std::vector<std::string>& arguments,
    const std::vector<std::pair<std::string, std::string>>& environment) {
  EnrollInvocation invocation;
  invocation.input = line + "\n";
  invocation.arguments = arguments;
  invocation.workingFolder = site.work;
  invocation.environment = {{"XDG_DATA_HOME", site.userData},
                            {"DIGITAL_ID_MACHINE_STORES", site.machineStores},
                            {"HOME", site.userData}};
  invocation.environment.insert(invocation.environment.end(), environment.begin(),
                                environment.end());
  return RunEnroll(invocation);
}

bool EndToEndTest::WaitForClosed(const std::string& code) {
  return server && server->WaitForEvent("closed " + code);
}

bool EndToEndTest::HasEvent(const std::string& line) const {
  if (!server) return false;
  const std::vector<std::string> events = server->Events();
  return std::find(events.begin(), events.end(), line) != events.end();
}

std::string EndToEndTest::EventText() const {
  return server ? Joined(server->Events()) : std::string();
}

}  // namespace digital_id::end_to_end
