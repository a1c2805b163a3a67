#include "backend_test_support.h"

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
  CertificateRequestForTest root;
  root.subject = rootName.get();
  root.subjectKey = rootKey_.get();
  root.isCa = true;
  root_ = MakeCertificate(root);
  CertificateRequestForTest intermediate;
  intermediate.subject = intermediateName.get();
  intermediate.subjectKey = intermediateKey_.get();
  intermediate.issuer = root_.get();
  intermediate.issuerKey = rootKey_.get();
  intermediate.isCa = true;
  intermediate.serial = 2;
  intermediate_ = MakeCertificate(intermediate);
}

X509Ptr TestCa::Issue(EVP_PKEY* publicKey, const std::string& commonName) {
  const X509NamePtr name = MakeName({{"CN", commonName}});
  CertificateRequestForTest leaf;
  leaf.subject = name.get();
  leaf.subjectKey = publicKey;
  leaf.issuer = intermediate_.get();
  leaf.issuerKey = intermediateKey_.get();
  leaf.serial = ++serial_;
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

X509NamePtr MakeName(const std::vector<NameAttribute>& attributes) {
  X509NamePtr name(X509_NAME_new());
  for (const NameAttribute& attribute : attributes) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(attribute.value.data());
    if (!name || X509_NAME_add_entry_by_txt(name.get(), attribute.field.c_str(), attribute.type,
                                            bytes, static_cast<int>(attribute.value.size()), -1,
                                            attribute.sameRdn ? -1 : 0) != 1) {
      return nullptr;
    }
  }
  return name;
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

X509Ptr MakeCertificate(const CertificateRequestForTest& request) {
  X509Ptr certificate(X509_new());
  const std::time_t now = std::time(nullptr);
  X509* issuer = request.issuer;
  EVP_PKEY* signer = request.issuerKey != nullptr ? request.issuerKey : request.subjectKey;
  if (!certificate || request.subject == nullptr || request.subjectKey == nullptr ||
      X509_set_version(certificate.get(), 2) != 1 ||
      ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), request.serial) != 1 ||
      X509_set_subject_name(certificate.get(), request.subject) != 1 ||
      X509_set_issuer_name(certificate.get(), issuer != nullptr ? X509_get_subject_name(issuer)
                                                                : request.subject) != 1 ||
      X509_set_pubkey(certificate.get(), request.subjectKey) != 1 ||
      ASN1_TIME_set(X509_getm_notBefore(certificate.get()),
                    request.notBefore != 0 ? request.notBefore : now - 3600) == nullptr ||
      ASN1_TIME_set(X509_getm_notAfter(certificate.get()),
                    request.notAfter != 0 ? request.notAfter : now + 365 * 86400) == nullptr) {
    return nullptr;
  }
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer != nullptr ? issuer : certificate.get(), certificate.get(),
                 nullptr, nullptr, 0);
  using ExtensionPtr =
      std::unique_ptr<X509_EXTENSION, OpenSslDeleter<X509_EXTENSION, X509_EXTENSION_free>>;
  ExtensionPtr constraints(X509V3_EXT_conf_nid(nullptr, &context, NID_basic_constraints,
                                               request.isCa ? "critical,CA:TRUE" : "CA:FALSE"));
  if (!constraints || X509_add_ext(certificate.get(), constraints.get(), -1) != 1 ||
      X509_sign(certificate.get(), signer, EVP_sha256()) <= 0) {
    return nullptr;
  }
  return certificate;
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

X509Ptr MakeSelfSigned(const std::string& commonName, long serial) {
  const X509NamePtr name = MakeName({{"CN", commonName}});
  const EvpPkeyPtr key = MakeEcKey();
  CertificateRequestForTest request;
  request.subject = name.get();
  request.subjectKey = key.get();
  request.isCa = true;
  request.serial = serial;
  return MakeCertificate(request);
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
