#include "platform/linux/publish/identity_files.h"

#include <openssl/pem.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "platform/linux/stores/atomic_file.h"
#include "platform/linux/stores/folder_lock.h"
#include "platform/linux/stores/store_paths.h"
#include "platform/linux/x509/enrollment_keys.h"

namespace digital_id {

namespace {

bool AppendPem(BIO* bio, X509* certificate) {
  return certificate != nullptr && PEM_write_bio_X509(bio, certificate) == 1;
}

// Makes link point at target unless it already does.
bool PointLink(const std::filesystem::path& link, const std::string& target) {
  std::error_code error;
  const std::filesystem::path current = std::filesystem::read_symlink(link, error);
  return (!error && current == target) || ReplaceSymlink(link, target);
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
  const std::filesystem::path target = folder / identity.stem;
  std::error_code error;
  if (!std::filesystem::is_directory(target, error)) {
    const Bytes chain = CertificateChainPem(identity);
    const SecretBytes key = PrivateKeyToPem(identity.key.get());
    // The identity's folder is filled under a temporary name and then renamed whole.
    std::string temporary = (folder / (std::string(kTemporaryPrefix) + "XXXXXX")).string();
    const bool made = !chain.empty() && !key.empty() && ::mkdtemp(temporary.data()) != nullptr &&
                      ::chmod(temporary.c_str(), 0700) == 0;
    const bool filled =
        made &&
        WriteFileAtomically(std::filesystem::path(temporary) / kCurrentKeyName, key, 0600,
                            Placement::NoReplace) == WriteOutcome::Written &&
        WriteFileAtomically(std::filesystem::path(temporary) / kCurrentCertificateName, chain,
                            location == StoreLocation::LocalMachine ? 0600 : 0644,
                            Placement::NoReplace) == WriteOutcome::Written &&
        ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!filled) {
      if (made) {
        std::filesystem::remove_all(temporary, error);
      }
      return {false, "cannot write the identity files in " + folder.string()};
    }
    SyncFolder(folder);
  }
  // The stable names lead through "current" (dangling until it first exists), which then
  // switches to the new identity in one step.
  const std::string throughCurrent = std::string(kCurrentFolderName) + "/";
  const bool linked =
      PointLink(folder / kCurrentKeyName, throughCurrent + kCurrentKeyName) &&
      PointLink(folder / kCurrentCertificateName, throughCurrent + kCurrentCertificateName) &&
      PointLink(folder / kCurrentFolderName, identity.stem);
  if (!linked) {
    return {false, "cannot link the identity files in " + folder.string()};
  }
  return {true, (folder / kCurrentCertificateName).string()};
}

}  // namespace digital_id
