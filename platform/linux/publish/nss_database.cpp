#include "platform/linux/publish/nss_database.h"

#include <openssl/x509.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/linux/publish/nss_session.h"
#include "platform/linux/stores/store_paths.h"

namespace digital_id {

namespace {

constexpr const char* kFallbackNickname = "Digital ID";

// The key as unencrypted PKCS #8 DER; wiped by the caller.
std::vector<unsigned char> PrivateKeyInfoDer(EVP_PKEY* key) {
  std::unique_ptr<PKCS8_PRIV_KEY_INFO, void (*)(PKCS8_PRIV_KEY_INFO*)> info(
      EVP_PKEY2PKCS8(key), PKCS8_PRIV_KEY_INFO_free);
  return Der(info.get(), i2d_PKCS8_PRIV_KEY_INFO);
}

// A publication that added nothing, and why.
NssPublication Refused(std::string why) {
  NssPublication publication;
  publication.detail = std::move(why);
  return publication;
}

// The nickname of a certificate in the database: its common name.
std::string NicknameOf(X509* certificate) {
  const std::string name = CommonNameOf(certificate);
  return name.empty() ? kFallbackNickname : name;
}

// Adds a certificate unless the slot holds it; the stored certificate, or null on failure.
NssCertificatePtr ImportCertificate(PK11SlotInfo* slot, X509* certificate, bool& added) {
  std::vector<unsigned char> der = CertificateDer(certificate);
  added = false;
  if (der.empty()) {
    return nullptr;
  }
  if (NssCertificatePtr existing = FindInSlot(slot, der)) {
    return existing;
  }
  SECItem item = ItemOf(der);
  NssCertificatePtr temporary(
      CERT_NewTempCertificate(CERT_GetDefaultCertDB(), &item, nullptr, PR_FALSE, PR_TRUE));
  const std::string nickname = NicknameOf(certificate);
  if (!temporary || PK11_ImportCert(slot, temporary.get(), CK_INVALID_HANDLE, nickname.c_str(),
                                    PR_FALSE) != SECSuccess) {
    return nullptr;
  }
  temporary.reset();
  added = true;
  return FindInSlot(slot, der);
}

// Adds the identity's private key unless the certificate already has one in the slot.
bool ImportPrivateKey(PK11SlotInfo* slot, const IssuedIdentity& identity, CERTCertificate* stored) {
  if (stored != nullptr && NssPrivateKeyPtr(PK11_FindPrivateKeyFromCert(slot, stored, nullptr))) {
    return true;
  }
  std::vector<unsigned char> info = PrivateKeyInfoDer(identity.key.get());
  std::string nickname = NicknameOf(identity.certificate.get());
  SECItem infoItem = ItemOf(info);
  SECItem nicknameItem{siBuffer, reinterpret_cast<unsigned char*>(nickname.data()),
                       static_cast<unsigned int>(nickname.size())};
  SECKEYPrivateKey* key = nullptr;
  const bool imported = !info.empty() && PK11_ImportDERPrivateKeyInfoAndReturnKey(
                                             slot, &infoItem, &nicknameItem, nullptr, PR_TRUE,
                                             PR_TRUE, KU_ALL, &key, nullptr) == SECSuccess;
  NssPrivateKeyPtr owned(key);
  OPENSSL_cleanse(info.data(), info.size());
  return imported;
}

// True when the slot holds a trust object that marks the certificate as not trusted to issue
// server certificates ("p" for servers, as certutil shows it). NSS's certificate view reports
// such a trust as none at all, so the trust object itself is read.
bool DistrustedForServers(PK11SlotInfo* slot, CERTCertificate* certificate) {
  unsigned char hash[20] = {};
  if (PK11_HashBuf(SEC_OID_SHA1, hash, certificate->derCert.data,
                   static_cast<PRInt32>(certificate->derCert.len)) != SECSuccess) {
    return false;
  }
  const NssGenericObjectsPtr objects(PK11_FindGenericObjects(slot, CKO_NSS_TRUST));
  for (PK11GenericObject* object = objects.get(); object != nullptr;
       object = PK11_GetNextGenericObject(object)) {
    SECItem digest{};
    SECItem serverTrust{};
    const bool read = PK11_ReadRawAttribute(PK11_TypeGeneric, object, CKA_CERT_SHA1_HASH,
                                            &digest) == SECSuccess &&
                      PK11_ReadRawAttribute(PK11_TypeGeneric, object, CKA_TRUST_SERVER_AUTH,
                                            &serverTrust) == SECSuccess;
    CK_ULONG level = 0;
    if (read && serverTrust.len == sizeof level) {
      std::memcpy(&level, serverTrust.data, sizeof level);
    }
    const bool match =
        read && digest.len == sizeof hash && std::memcmp(digest.data, hash, sizeof hash) == 0;
    SECITEM_FreeItem(&digest, PR_FALSE);
    SECITEM_FreeItem(&serverTrust, PR_FALSE);
    if (match) {
      return level == CKT_NSS_NOT_TRUSTED;
    }
  }
  return false;
}

// What giving a root trust for servers came to.
enum class RootTrust { Given, AlreadyGiven, DistrustKept, Failed };

// Makes the stored root trusted to issue server certificates: "C,," for a root just added; a
// root that was there keeps the trust it had for other uses, and one that the database marks as
// distrusted for servers stays so.
RootTrust TrustAsServerIssuer(PK11SlotInfo* slot, CERTCertificate* root, bool justAdded) {
  CERTCertTrust trust{};
  if (!justAdded && DistrustedForServers(slot, root)) {
    return RootTrust::DistrustKept;
  }
  if (justAdded || CERT_GetCertTrust(root, &trust) != SECSuccess) {
    if (CERT_DecodeTrustString(&trust, "C,,") != SECSuccess) {
      return RootTrust::Failed;
    }
  } else if ((trust.sslFlags & CERTDB_TRUSTED_CA) != 0) {
    return RootTrust::AlreadyGiven;
  } else {
    trust.sslFlags |= CERTDB_TRUSTED_CA | CERTDB_VALID_CA;
  }
  return CERT_ChangeCertTrust(CERT_GetDefaultCertDB(), root, &trust) == SECSuccess
             ? RootTrust::Given
             : RootTrust::Failed;
}

// Opens the slot for writing: a new database gets the empty password, an existing one must have
// it. Empty when it is ready, else why not.
std::string PrepareSlot(PK11SlotInfo* slot) {
  if (PK11_NeedUserInit(slot) && PK11_InitPin(slot, nullptr, "") != SECSuccess) {
    return "cannot set the empty password: " + LastNssError();
  }
  return LogInWithEmptyPassword(slot);
}

NssPublication PublishInOpenDatabase(const IssuedIdentity& identity) {
  NssSlotPtr slot(PK11_GetInternalKeySlot());
  if (!slot) {
    return Refused("no key slot: " + LastNssError());
  }
  if (std::string problem = PrepareSlot(slot.get()); !problem.empty()) {
    return Refused(problem);
  }
  std::vector<std::string> added;
  // The key goes first, so that the certificate is joined to it as it arrives.
  std::vector<unsigned char> leafDer = CertificateDer(identity.certificate.get());
  NssCertificatePtr existing = leafDer.empty() ? nullptr : FindInSlot(slot.get(), leafDer);
  if (!ImportPrivateKey(slot.get(), identity, existing.get())) {
    return Refused("cannot add the private key: " + LastNssError());
  }
  bool wasAdded = false;
  if (!ImportCertificate(slot.get(), identity.certificate.get(), wasAdded)) {
    return Refused("cannot add the certificate: " + LastNssError());
  }
  added.push_back(wasAdded ? "identity with its key" : "identity (already there)");
  for (const X509Ptr& intermediate : identity.intermediates) {
    if (!ImportCertificate(slot.get(), intermediate.get(), wasAdded)) {
      return Refused("cannot add " + NicknameOf(intermediate.get()) + ": " + LastNssError());
    }
    added.push_back(NicknameOf(intermediate.get()) + (wasAdded ? "" : " (already there)"));
  }
  std::optional<std::string> keptDistrust;
  if (identity.root) {
    const std::string rootName = NicknameOf(identity.root.get());
    NssCertificatePtr root = ImportCertificate(slot.get(), identity.root.get(), wasAdded);
    const RootTrust trust =
        root ? TrustAsServerIssuer(slot.get(), root.get(), wasAdded) : RootTrust::Failed;
    if (trust == RootTrust::Failed) {
      return Refused("cannot add or trust " + rootName + ": " + LastNssError());
    }
    if (trust == RootTrust::DistrustKept) {
      keptDistrust = rootName + " is distrusted here and stays so";
    } else {
      added.push_back(rootName +
                      (wasAdded ? " trusted C,," : " (already there, trusted for servers)"));
    }
  }
  std::string detail;
  for (const std::string& part : added) {
    detail += (detail.empty() ? "" : ", ") + part;
  }
  return {true, detail, keptDistrust};
}

}  // namespace

NssPublication PublishToNssDatabase(const std::filesystem::path& folder,
                                    const IssuedIdentity& identity) {
  // A new database folder, and any parent made for it, is the user's alone.
  if (!CreateStoreFolder(StoreLocation::CurrentUser, folder)) {
    return Refused("cannot create the folder");
  }
  NssPublication publication;
  const NssSession session = WithNssDatabase(
      folder, NssAccess::ReadWrite, [&] { publication = PublishInOpenDatabase(identity); });
  if (!session.opened) {
    return Refused(session.problem);
  }
  if (!session.cleanShutdown && publication.published) {
    publication.detail += " (NSS did not shut down cleanly)";
  }
  return publication;
}

}  // namespace digital_id
