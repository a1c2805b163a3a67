#include "platform/linux/publish/identity_files.h"

#include <openssl/pem.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

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

bool IsFolder(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::symlink_status(path, error));
}

// Removes a name of the folder (a link or a file); true when it is gone.
bool RemoveName(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::remove(path, error);
  return !error;
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

IdentityFilesResult RemoveIdentityFiles(const std::filesystem::path& folder,
                                        const std::vector<std::string>& stems,
                                        const std::vector<std::string>& remaining) {
  if (!IsFolder(folder)) {
    return {true, ""};
  }
  const auto lock = FolderLock::Take(folder);
  if (!lock) {
    return {false, "cannot lock " + folder.string()};
  }
  RemoveTemporaries(folder);
  // The newest identity left keeps or takes the stable names first, so that they never lead to a
  // folder about to go.
  std::string newest;
  for (const std::string& stem : remaining) {
    if (std::find(stems.begin(), stems.end(), stem) == stems.end() && IsFolder(folder / stem)) {
      newest = std::max(newest, stem);
    }
  }
  std::string detail;
  if (!newest.empty()) {
    if (!PointLink(folder / kCurrentFolderName, newest)) {
      return {false, "cannot link the identity files in " + folder.string()};
    }
    detail = "current names " + newest;
  } else {
    if (!RemoveName(folder / kCurrentCertificateName) || !RemoveName(folder / kCurrentKeyName) ||
        !RemoveName(folder / kCurrentFolderName)) {
      return {false, "cannot remove the stable names in " + folder.string()};
    }
    detail = "no identity left";
  }
  std::string removed;
  for (const std::string& stem : stems) {
    if (!IsFolder(folder / stem)) {
      continue;
    }
    // The folder leaves its name in one step; what a killed run leaves is a temporary that the
    // next writer tidies.
    const std::filesystem::path temporary = folder / (std::string(kTemporaryPrefix) + stem);
    std::error_code error;
    if (::rename((folder / stem).c_str(), temporary.c_str()) != 0) {
      return {false, "cannot remove " + (folder / stem).string()};
    }
    std::filesystem::remove_all(temporary, error);
    removed += (folder / stem).string() + ", ";
  }
  SyncFolder(folder);
  return {true, removed + detail};
}

}  // namespace digital_id
