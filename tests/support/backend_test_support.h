#pragma once

// Helpers for the tests of the Linux stores, downloads, enrollment objects and settings reader:
// store folders in a temporary place, test certificates made with OpenSSL, and the openssl
// command line.

#include <openssl/x509.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/x509/openssl_handles.h"
#include "tools/test-server/certificate_builder.h"

namespace digital_id::backend_tests {

// A temporary folder, removed with its content on destruction.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The folder's absolute path.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Points HOME, XDG_DATA_HOME and DIGITAL_ID_MACHINE_STORES into a scratch folder for its lifetime
// and restores the previous values afterwards.
class ScopedStoreEnvironment {
 public:
  ScopedStoreEnvironment();
  ~ScopedStoreEnvironment();
  ScopedStoreEnvironment(const ScopedStoreEnvironment&) = delete;
  ScopedStoreEnvironment& operator=(const ScopedStoreEnvironment&) = delete;

  // The scratch folder holding both locations.
  const std::string& Root() const { return scratch_.Path(); }
  // Folder of a named store at the current-user location.
  std::string UserStore(const std::string& name) const;
  // Folder of a named store at the local-machine location.
  std::string MachineStore(const std::string& name) const;
  // The home folder (HOME).
  std::string Home() const { return Root() + "/home"; }
  // The user's data folder of the program (beside the user's stores).
  std::string UserData() const { return Home() + "/.local/share/digital-id"; }
  // Every file below Root() with its size, as "relative/path:size", sorted.
  std::vector<std::string> Snapshot() const;

 private:
  ScratchFolder scratch_;
  std::optional<std::string> oldHome_;
  std::optional<std::string> oldXdg_;
  std::optional<std::string> oldMachine_;
};

// Sets an environment variable for its lifetime and restores the previous value afterwards.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value);
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Names and certificates come from the test PKI's one builder.
using test_server::CertificateProfile;
using test_server::MakeName;
using test_server::NameAttribute;

// The DER form of a name.
Bytes NameDer(X509_NAME* name);

// A fresh EC P-256 key (fast to make).
EvpPkeyPtr MakeEcKey();

// The extensions of a CA certificate.
std::vector<std::pair<int, std::string>> CaExtensions();
// A certificate built from profile; null on failure.
X509Ptr MakeCertificate(const CertificateProfile& profile);
// The DER form of a certificate.
Bytes CertificateDer(X509* certificate);
// A self-signed CA certificate with a single common name (and a fresh EC key).
X509Ptr MakeSelfSigned(const std::string& commonName);

// A root and an intermediate CA (EC keys) that issue leaf certificates for requests.
class TestCa {
 public:
  TestCa();
  // A leaf for the public key, signed by the intermediate.
  X509Ptr Issue(EVP_PKEY* publicKey, const std::string& commonName);
  // A certs-only PKCS #7 of the leaf and the chain (intermediate, root), as DER.
  Bytes ChainResponse(X509* leaf);

  X509* Root() const { return root_.get(); }
  X509* Intermediate() const { return intermediate_.get(); }

 private:
  EvpPkeyPtr rootKey_;
  EvpPkeyPtr intermediateKey_;
  X509Ptr root_;
  X509Ptr intermediate_;
};

// Runs a shell command; its exit status and standard output.
std::pair<int, std::string> RunCommand(const std::string& command);
// Writes bytes to a file; false on failure.
bool WriteFile(const std::string& path, const std::string& bytes);
// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Names in a folder (no "." or ".."), sorted.
std::vector<std::string> FolderEntries(const std::string& folder);
// Permission bits of a file or folder; -1 when it does not exist.
int ModeOf(const std::string& path);

}  // namespace digital_id::backend_tests
