#include "platform/linux/publish/nss_entries.h"

#include "platform/linux/publish/nss_session.h"

namespace digital_id {

bool HasNssDatabase(const std::filesystem::path& folder) {
  std::error_code error;
  return std::filesystem::is_regular_file(folder / "cert9.db", error);
}

std::optional<std::vector<bool>> NssDatabaseHolds(const std::filesystem::path& folder,
                                                  const std::vector<X509*>& certificates) {
  if (!HasNssDatabase(folder)) {
    return std::nullopt;
  }
  std::vector<bool> held(certificates.size(), false);
  bool read = false;
  const NssSession session = WithNssDatabase(folder, NssAccess::ReadOnly, [&] {
    NssSlotPtr slot(PK11_GetInternalKeySlot());
    if (!slot) {
      return;
    }
    read = true;
    for (std::size_t i = 0; i < certificates.size(); ++i) {
      std::vector<unsigned char> der = CertificateDer(certificates[i]);
      held[i] = !der.empty() && FindInSlot(slot.get(), der) != nullptr;
    }
  });
  if (!session.opened || !read) {
    return std::nullopt;
  }
  return held;
}

NssRemoval RemoveFromNssDatabase(const std::filesystem::path& folder,
                                 const std::vector<X509*>& certificates) {
  NssRemoval removal;
  if (!HasNssDatabase(folder)) {
    return removal;
  }
  const NssSession session = WithNssDatabase(folder, NssAccess::ReadWrite, [&] {
    NssSlotPtr slot(PK11_GetInternalKeySlot());
    if (!slot) {
      removal = {0, true, "no key slot: " + LastNssError()};
      return;
    }
    for (X509* certificate : certificates) {
      std::vector<unsigned char> der = CertificateDer(certificate);
      NssCertificatePtr stored = der.empty() ? nullptr : FindInSlot(slot.get(), der);
      if (!stored) {
        continue;
      }
      // The key can only be reached, and removed, once logged in.
      if (std::string problem = LogInWithEmptyPassword(slot.get()); !problem.empty()) {
        removal = {removal.removed, true, problem};
        return;
      }
      const bool hadKey = NssPrivateKeyPtr(PK11_FindPrivateKeyFromCert(slot.get(), stored.get(),
                                                                       nullptr)) != nullptr;
      // With a key, NSS removes the certificate, its private key and its public key together;
      // without one, the certificate alone.
      const SECStatus status = hadKey ? PK11_DeleteTokenCertAndKey(stored.get(), nullptr)
                                      : SEC_DeletePermCertificate(stored.get());
      stored.reset();
      if (status != SECSuccess || FindInSlot(slot.get(), der) != nullptr) {
        removal = {removal.removed, true, "cannot remove the identity: " + LastNssError()};
        return;
      }
      ++removal.removed;
      removal.detail = hadKey ? "identity with its key" : "identity (its key was not there)";
    }
  });
  if (!session.opened) {
    removal = {0, true, session.problem};
  } else if (!session.cleanShutdown && removal.removed > 0) {
    removal.detail += " (NSS did not shut down cleanly)";
  }
  return removal;
}

}  // namespace digital_id
