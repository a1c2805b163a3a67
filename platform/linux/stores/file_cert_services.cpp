#include "platform/linux/stores/file_cert_services.h"

#include <sys/stat.h>

#include "platform/linux/stores/store_paths.h"
#include "platform/linux/x509/digest.h"
#include "platform/linux/x509/openssl_certificate.h"
#include "platform/linux/x509/simple_name.h"

namespace digital_id {

std::unique_ptr<CertStore> FileCertServices::OpenSystemStore(StoreLocation location,
                                                             const std::u16string& name) {
  return OpenFileStore(location, name);
}

std::unique_ptr<FileCertStore> FileCertServices::OpenFileStore(StoreLocation location,
                                                               const std::u16string& name) {
  try {
    return FileCertStore::Open(location, name);
  } catch (...) {
    return nullptr;
  }
}

CertificatePtr FileCertServices::CreateFromDer(const std::uint8_t* data, std::size_t size) {
  try {
    return OpenSslCertificate::FromDer(data, size);
  } catch (...) {
    return nullptr;
  }
}

Bytes FileCertServices::Thumbprint(ThumbprintAlgorithm algorithm, const Certificate& certificate) {
  const Bytes& der = certificate.Encoded();
  if (der.empty()) {
    return {};
  }
  return ComputeDigest(algorithm, der.data(), der.size());
}

std::u16string FileCertServices::NameToSimpleString(const Bytes& encodedName,
                                                    std::size_t bufferChars) {
  try {
    return RenderSimpleName(encodedName, bufferChars);
  } catch (...) {
    return {};
  }
}

std::vector<Bytes> TrustedRootsFromStores() {
  std::vector<Bytes> roots;
  try {
    for (const StoreLocation location : {StoreLocation::CurrentUser, StoreLocation::LocalMachine}) {
      const auto root = StoresRoot(location);
      struct stat info {};
      if (!root || ::stat((*root / "Root").c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        continue;
      }
      const FileCertStore store{StoreFolder(*root / "Root")};
      for (const auto& certificate : store.Certificates()) {
        roots.push_back(certificate->Encoded());
      }
    }
  } catch (...) {
    // Memory exhaustion: the roots gathered so far are still usable.
  }
  return roots;
}

}  // namespace digital_id
