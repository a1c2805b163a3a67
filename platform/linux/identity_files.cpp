#include "platform/linux/identity_files.h"

#include <openssl/pem.h>

#include "platform/linux/atomic_file.h"
#include "platform/linux/enrollment_keys.h"
#include "platform/linux/folder_lock.h"
#include "platform/linux/store_paths.h"

namespace digital_id {

namespace {

bool AppendPem(BIO* bio, X509* certificate) {
  return certificate != nullptr && PEM_write_bio_X509(bio, certificate) == 1;
}

}  // namespace

Bytes CertificateChainPem(const IssuedIdentity& identity) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || !AppendPem(bio.get(), identity.certificate.get())) {
    return {};
  }
  for (const X509Ptr& intermediate : identity.intermediates) {
    if (!AppendPem(bio.get(), intermediate.get())) {
      return {};
    }
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return length > 0 && data != nullptr ? Bytes(data, data + length) : Bytes();
}

IdentityFilesResult WriteIdentityFiles(StoreLocation location, const std::filesystem::path& folder,
                                       const IssuedIdentity& identity) {
  // The folder is private in both locations, as a machine store holding keys is.
  if (!CreateStoreFolder(location, folder)) {
    return {false, "cannot create " + folder.string()};
  }
  const auto lock = FolderLock::Take(folder);
  if (!lock) {
    return {false, "cannot lock " + folder.string()};
  }
  RemoveTemporaries(folder);
  const Bytes chain = CertificateChainPem(identity);
  Bytes key = PrivateKeyToPem(identity.key.get());
  if (chain.empty() || key.empty()) {
    return {false, "cannot encode the identity"};
  }
  const std::string certificateName = identity.stem + ".crt";
  const std::string keyName = identity.stem + ".key";
  const bool written = WriteFileAtomically(folder / keyName, key, 0600, Placement::Replace) ==
                           WriteOutcome::Written &&
                       WriteFileAtomically(folder / certificateName, chain,
                                           location == StoreLocation::LocalMachine ? 0600 : 0644,
                                           Placement::Replace) == WriteOutcome::Written &&
                       ReplaceSymlink(folder / kCurrentKeyName, keyName) &&
                       ReplaceSymlink(folder / kCurrentCertificateName, certificateName);
  OPENSSL_cleanse(key.data(), key.size());
  if (!written) {
    return {false, "cannot write the identity files in " + folder.string()};
  }
  return {true, (folder / kCurrentCertificateName).string()};
}

}  // namespace digital_id
