#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/linux/stores/issued_identity.h"

namespace digital_id {

// Stable names of the newest identity in the identity folder.
inline constexpr const char* kCurrentCertificateName = "identity.crt";
inline constexpr const char* kCurrentKeyName = "identity.key";
// The link that names the folder of the newest identity.
inline constexpr const char* kCurrentFolderName = "current";

// What writing the identity files came to.
struct IdentityFilesResult {
  bool written = false;
  std::string detail;  // the certificate file written, or the reason for a failure
};

// Writes an identity of the location as PEM files for other programs into folder (made with mode
// 0700 when missing, its parents as the location's store folders are). Each identity gets a
// folder named after its entry in My, holding identity.crt (the certificate followed by its
// intermediates) and identity.key (the private key, PKCS #8, mode 0600); earlier identities keep
// theirs. The link "current" names the newest folder, and folder/identity.crt and
// folder/identity.key lead through it, so that both change together in one step: a reader never
// sees the certificate of one identity with the key of another, and a crash leaves the previous
// pair. The machine's certificate file has mode 0600 too (the machine's identity is for root
// alone), a user's 0644.
IdentityFilesResult WriteIdentityFiles(StoreLocation location, const std::filesystem::path& folder,
                                       const IssuedIdentity& identity);

// Under the lock of folder (the identity folder of WriteIdentityFiles), removes the folders of
// the entries in stems, after "current" has been pointed at the newest folder left whose entry
// is among remaining (the entries My still holds), or removed with the stable names when none is
// left; each change is made in one step. written is false when the folder could not be locked
// or a change failed; detail says what was done, or why not (empty when there is no folder).
IdentityFilesResult RemoveIdentityFiles(const std::filesystem::path& folder,
                                        const std::vector<std::string>& stems,
                                        const std::vector<std::string>& remaining);

// The certificate followed by the intermediates, as PEM text; empty on failure.
Bytes CertificateChainPem(const IssuedIdentity& identity);

}  // namespace digital_id
