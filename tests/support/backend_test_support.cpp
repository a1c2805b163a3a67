#include "tests/support/backend_test_support.h"

#include <dirent.h>
#include <openssl/ec.h>
#include <openssl/pkcs7.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace digital_id::backend_tests {

namespace {

std::optional<std::string> GetEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void RestoreEnv(const char* name, const std::optional<std::string>& value) {
  if (value) {
    ::setenv(name, value->c_str(), 1);
  } else {
    ::unsetenv(name);
  }
}

struct PipeCloser {
  void operator()(FILE* pipe) const { ::pclose(pipe); }
};

}  // namespace

ScratchFolder::ScratchFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "digital-id-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) != nullptr) {
    path_ = pattern;
  }
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) {
    return;
  }
  std::error_code error;
  // Folders a test made read-only must become writable again before they can be emptied.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_directory(error)) {
      ::chmod(it->path().c_str(), 0700);
    }
  }
  ::chmod(path_.c_str(), 0700);
  std::filesystem::remove_all(path_, error);
}

ScopedStoreEnvironment::ScopedStoreEnvironment()
    : oldHome_(GetEnv("HOME")),
      oldXdg_(GetEnv("XDG_DATA_HOME")),
      oldMachine_(GetEnv("DIGITAL_ID_MACHINE_STORES")) {
  // Nothing a test publishes may reach the real home of the user running it.
  ::setenv("HOME", Home().c_str(), 1);
  ::setenv("XDG_DATA_HOME", (Home() + "/.local/share").c_str(), 1);
  ::setenv("DIGITAL_ID_MACHINE_STORES", (Root() + "/machine").c_str(), 1);
}

ScopedStoreEnvironment::~ScopedStoreEnvironment() {
  RestoreEnv("HOME", oldHome_);
  RestoreEnv("XDG_DATA_HOME", oldXdg_);
  RestoreEnv("DIGITAL_ID_MACHINE_STORES", oldMachine_);
}

ScopedVariable::ScopedVariable(const char* name, const std::string& value)
    : name_(name), old_(GetEnv(name)) {
  ::setenv(name, value.c_str(), 1);
}

ScopedVariable::~ScopedVariable() {
  RestoreEnv(name_, old_);
}

TestCa::TestCa() : rootKey_(MakeEcKey()), intermediateKey_(MakeEcKey()) {
  const X509NamePtr rootName = MakeName({{"CN", "Enrollment Test Root"}});
  const X509NamePtr intermediateName = MakeName({{"CN", "Enrollment Test Issuing CA"}});
  CertificateProfile root;
  root.subject = rootName.get();
  root.publicKey = rootKey_.get();
  root.signingKey = rootKey_.get();
  root.extensions = CaExtensions();
  root_ = MakeCertificate(root);
  CertificateProfile intermediate;
  intermediate.subject = intermediateName.get();
  intermediate.publicKey = intermediateKey_.get();
  intermediate.issuer = root_.get();
  intermediate.signingKey = rootKey_.get();
  intermediate.extensions = CaExtensions();
  intermediate_ = MakeCertificate(intermediate);
}

X509Ptr TestCa::Issue(EVP_PKEY* publicKey, const std::string& commonName) {
  const X509NamePtr name = MakeName({{"CN", commonName}});
  CertificateProfile leaf;
  leaf.subject = name.get();
  leaf.publicKey = publicKey;
  leaf.issuer = intermediate_.get();
  leaf.signingKey = intermediateKey_.get();
  leaf.extensions = {{NID_basic_constraints, "CA:FALSE"}};
  return MakeCertificate(leaf);
}

Bytes TestCa::ChainResponse(X509* leaf) {
  Pkcs7Ptr pkcs7(PKCS7_new());
  bool built = pkcs7 && PKCS7_set_type(pkcs7.get(), NID_pkcs7_signed) == 1 &&
               PKCS7_content_new(pkcs7.get(), NID_pkcs7_data) == 1;
  for (X509* certificate : {leaf, intermediate_.get(), root_.get()}) {
    built = built && PKCS7_add_certificate(pkcs7.get(), certificate) == 1;
  }
  unsigned char* der = nullptr;
  const int length = built ? i2d_PKCS7(pkcs7.get(), &der) : -1;
  Bytes bytes(der, der + std::max(length, 0));
  OPENSSL_free(der);
  return bytes;
}

std::string ScopedStoreEnvironment::UserStore(const std::string& name) const {
  return UserData() + "/stores/" + name;
}

std::string ScopedStoreEnvironment::MachineStore(const std::string& name) const {
  return Root() + "/machine/" + name;
}

std::vector<std::string> ScopedStoreEnvironment::Snapshot() const {
  std::vector<std::string> files;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(Root(), error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file(error)) {
      files.push_back(std::filesystem::relative(it->path(), Root()).string() + ":" +
                      std::to_string(it->file_size(error)));
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

Bytes NameDer(X509_NAME* name) {
  unsigned char* der = nullptr;
  const int length = i2d_X509_NAME(name, &der);
  Bytes bytes;
  if (length > 0) {
    bytes.assign(der, der + length);
  }
  OPENSSL_free(der);
  return bytes;
}

EvpPkeyPtr MakeEcKey() {
  return EvpPkeyPtr(EVP_EC_gen("P-256"));
}

std::vector<std::pair<int, std::string>> CaExtensions() {
  return {{NID_basic_constraints, "critical,CA:TRUE"}};
}

X509Ptr MakeCertificate(const CertificateProfile& profile) {
  std::string error;
  return test_server::BuildCertificate(profile, error);
}

Bytes CertificateDer(X509* certificate) {
  unsigned char* der = nullptr;
  const int length = i2d_X509(certificate, &der);
  Bytes bytes;
  if (length > 0) {
    bytes.assign(der, der + length);
  }
  OPENSSL_free(der);
  return bytes;
}

X509Ptr MakeSelfSigned(const std::string& commonName) {
  const X509NamePtr name = MakeName({{"CN", commonName}});
  const EvpPkeyPtr key = MakeEcKey();
  CertificateProfile profile;
  profile.subject = name.get();
  profile.publicKey = key.get();
  profile.signingKey = key.get();
  profile.extensions = CaExtensions();
  return MakeCertificate(profile);
}

std::pair<int, std::string> RunCommand(const std::string& command) {
  std::unique_ptr<FILE, PipeCloser> pipe(::popen(command.c_str(), "r"));
  if (!pipe) {
    return {-1, {}};
  }
  std::string output;
  std::array<char, 4096> buffer{};
  std::size_t count = 0;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) {
    output.append(buffer.data(), count);
  }
  const int status = ::pclose(pipe.release());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (auto it = std::filesystem::directory_iterator(folder, error);
       !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

int ModeOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return -1;
  }
  return static_cast<int>(info.st_mode & 07777);
}

}  // namespace digital_id::backend_tests
