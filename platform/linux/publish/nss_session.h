#pragma once

#include <openssl/crypto.h>
#include <openssl/x509.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/publish/nss_handles.h"

namespace digital_id {

// The DER encoding of an OpenSSL object through its i2d function; empty on failure.
template <typename T, typename Encode>
std::vector<unsigned char> Der(T* object, Encode encode) {
  unsigned char* der = nullptr;
  const int length = object != nullptr ? encode(object, &der) : -1;
  std::vector<unsigned char> bytes;
  if (length > 0 && der != nullptr) {
    bytes.assign(der, der + length);
  }
  OPENSSL_free(der);
  return bytes;
}

// The DER encoding of a certificate; empty on failure.
std::vector<unsigned char> CertificateDer(X509* certificate);

// An NSS item over bytes, which must outlive it.
SECItem ItemOf(std::vector<unsigned char>& bytes);

// The name of NSS's last error, for a report.
std::string LastNssError();

// The certificate with this DER form when the slot holds it; null otherwise.
NssCertificatePtr FindInSlot(PK11SlotInfo* slot, std::vector<unsigned char>& der);

// Logs in to the slot with the empty password when it asks for one; empty when the slot may be
// used, else why not ("protected by a password").
std::string LogInWithEmptyPassword(PK11SlotInfo* slot);

// How a database is opened.
enum class NssAccess {
  ReadOnly,   // nothing is written, and a database in use by a browser may still be read
  ReadWrite,  // a missing database is created
};

// One NSS initialisation of one database (NSS_InitContext), shut down with the object
// (NSS_ShutdownContext). Every other NSS reference must be released first.
class NssContext {
 public:
  // Opens the database named by configuration ("sql:<folder>") with the internal module only:
  // neither the built-in roots nor the modules a profile's pkcs11.txt lists (smart card
  // drivers, for instance) are loaded. Valid() tells whether it opened.
  NssContext(const std::string& configuration, NssAccess access);
  NssContext(const NssContext&) = delete;
  NssContext& operator=(const NssContext&) = delete;
  ~NssContext() { Shutdown(); }

  // True when the database is open.
  bool Valid() const { return context_ != nullptr; }
  // Shuts the context down now; false when NSS reported a failure (an object still held).
  bool Shutdown();

 private:
  NSSInitContext* context_ = nullptr;
};

// What a session with one database came to.
struct NssSession {
  bool opened = false;        // true when the database opened and work ran
  std::string problem;        // why it did not open; empty when it did
  bool cleanShutdown = true;  // false when NSS did not shut down cleanly after work
};

// Opens the NSS database (sql: format) in folder for this call only, runs work on it (which
// reaches it through PK11_GetInternalKeySlot and must release every NSS reference it takes), and
// shuts NSS down before returning. Sessions are serialised across the process, and a process
// whose NSS is already open elsewhere is left alone.
NssSession WithNssDatabase(const std::filesystem::path& folder, NssAccess access,
                           const std::function<void()>& work);

}  // namespace digital_id
