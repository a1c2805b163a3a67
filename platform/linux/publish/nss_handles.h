#pragma once

#include <cert.h>
#include <certdb.h>
#include <keyhi.h>
#include <nss.h>
#include <pk11pub.h>
#include <pkcs11n.h>
#include <prerror.h>

#include <memory>

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
// Owns a list of generic PKCS #11 objects (PK11_FindGenericObjects).
using NssGenericObjectsPtr =
    std::unique_ptr<PK11GenericObject, NssDeleter<PK11GenericObject, PK11_DestroyGenericObjects>>;
// An owned private-key reference.
using NssPrivateKeyPtr =
    std::unique_ptr<SECKEYPrivateKey, NssDeleter<SECKEYPrivateKey, SECKEY_DestroyPrivateKey>>;

}  // namespace digital_id
