#pragma once

#include <cert.h>
#include <certdb.h>
#include <keyhi.h>
#include <nss.h>
#include <pk11pub.h>
#include <pkcs11n.h>
#include <prerror.h>

#include <memory>
#include <string>

namespace digital_id {

// Releases an NSS object with its matching function.
template <typename T, auto Free>
struct NssDeleter {
  void operator()(T* object) const { Free(object); }
};

// An owned certificate reference.
using NssCertificatePtr =
    std::unique_ptr<CERTCertificate, NssDeleter<CERTCertificate, CERT_DestroyCertificate>>;
// An owned slot reference.
using NssSlotPtr = std::unique_ptr<PK11SlotInfo, NssDeleter<PK11SlotInfo, PK11_FreeSlot>>;
// An owned private-key reference.
// Owns a list of generic PKCS #11 objects (PK11_FindGenericObjects).
using NssGenericObjectsPtr =
    std::unique_ptr<PK11GenericObject, NssDeleter<PK11GenericObject, PK11_DestroyGenericObjects>>;
using NssPrivateKeyPtr =
    std::unique_ptr<SECKEYPrivateKey, NssDeleter<SECKEYPrivateKey, SECKEY_DestroyPrivateKey>>;

// One NSS initialisation of one database (NSS_InitContext), shut down with the object
// (NSS_ShutdownContext). Every other NSS reference must be released first.
class NssContext {
 public:
  // Opens the database named by configuration ("sql:<folder>") read-write, with the internal
  // module only: neither the built-in roots nor the modules a profile's pkcs11.txt lists (smart
  // card drivers, for instance) are loaded. Valid() tells whether it opened.
  explicit NssContext(const std::string& configuration);
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

}  // namespace digital_id
