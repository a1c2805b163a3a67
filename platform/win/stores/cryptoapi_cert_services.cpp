#include "platform/win/stores/cryptoapi_cert_services.h"

#include <vector>

#include "platform/win/stores/context_flags.h"
#include "platform/win/wide_text.h"
#include "platform/win/x509/crypt_digest.h"
#include "platform/win/x509/cryptoapi_certificate.h"

namespace digital_id {

namespace {

// The headers declare the SHA-256 identifier only for systems after XP SP2; XP SP3 knows it.
#ifdef CALG_SHA_256
constexpr ALG_ID kAlgSha256 = CALG_SHA_256;
#else
constexpr ALG_ID kAlgSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;  // ALG_SID_SHA_256
#endif

CertificatePtr Wrap(PCCERT_CONTEXT context) {
  if (context == nullptr) {
    return nullptr;
  }
  return std::make_unique<CryptoApiCertificate>(CertContextPtr(context));
}

}  // namespace

CertificatePtr CryptoApiStore::FindFirstBySubject(const std::u16string& text) {
  if (text.empty()) {
    return Wrap(CertEnumCertificatesInStore(store_.get(), nullptr));
  }
  const std::wstring wide = ToWide(text);
  return Wrap(CertFindCertificateInStore(store_.get(), X509_ASN_ENCODING, 0,
                                         CERT_FIND_SUBJECT_STR_W, wide.c_str(), nullptr));
}

bool CryptoApiStore::Add(const Certificate& certificate) {
  if (const auto* native = dynamic_cast<const CryptoApiCertificate*>(&certificate)) {
    return CertAddCertificateContextToStore(store_.get(), native->Context(), CERT_STORE_ADD_ALWAYS,
                                            nullptr) != FALSE;
  }
  const Bytes& encoded = certificate.Encoded();
  CertContextPtr copy(CertCreateCertificateContext(X509_ASN_ENCODING, encoded.data(),
                                                   static_cast<DWORD>(encoded.size())));
  return copy && CertAddCertificateContextToStore(store_.get(), copy.get(), CERT_STORE_ADD_ALWAYS,
                                                  nullptr) != FALSE;
}

bool CryptoApiStore::Delete(CertificatePtr found) {
  auto* native = dynamic_cast<CryptoApiCertificate*>(found.get());
  if (native == nullptr) {
    return false;
  }
  // The call frees the context whatever it answers.
  if (!CertDeleteCertificateFromStore(native->ReleaseContext())) {
    return false;
  }
  // A system store keeps the removal only in memory until it is committed.
  CertControlStore(store_.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
  return true;
}

std::unique_ptr<CertStore> CryptoApiCertServices::OpenSystemStore(StoreLocation location,
                                                                  const std::u16string& name) {
  const std::wstring wide = ToWide(name);
  CertStorePtr store(
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, SystemStoreFlag(location), wide.c_str()));
  if (!store) {
    return nullptr;
  }
  return std::make_unique<CryptoApiStore>(std::move(store));
}

namespace {

// Length of the DER element the bytes start with (tag, length octets and content); 0 when its
// header is malformed or it runs past the end. Some CryptoAPI versions keep bytes behind the
// certificate in cbCertEncoded, so the encoding itself tells where the certificate ends.
std::size_t DerElementLength(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  std::size_t header = 2;
  std::size_t length = data[1];
  if ((length & 0x80) != 0) {
    const std::size_t count = length & 0x7F;
    if (count == 0 || count > 4 || size < header + count) {
      return 0;
    }
    length = 0;
    for (std::size_t i = 0; i < count; ++i) {
      length = (length << 8) | data[header + i];
    }
    header += count;
  }
  return length <= size - header ? header + length : 0;
}

}  // namespace

CertificatePtr CryptoApiCertServices::CreateFromDer(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size == 0) {
    return nullptr;
  }
  CertContextPtr context(
      CertCreateCertificateContext(X509_ASN_ENCODING, data, static_cast<DWORD>(size)));
  // Bytes behind the certificate would otherwise pass unnoticed.
  if (!context || context->cbCertEncoded != size || DerElementLength(data, size) != size) {
    return nullptr;
  }
  return std::make_unique<CryptoApiCertificate>(std::move(context));
}

Bytes CryptoApiCertServices::Thumbprint(ThumbprintAlgorithm algorithm,
                                        const Certificate& certificate) {
  // Never the default provider: on Windows XP it has no SHA-256, and ForceSHA256 asks for
  // SHA-256 thumbprints there too.
  return CryptDigest(algorithm == ThumbprintAlgorithm::Sha256 ? kAlgSha256 : CALG_SHA1,
                     certificate.Encoded());
}

std::u16string CryptoApiCertServices::NameToSimpleString(const Bytes& encodedName,
                                                         std::size_t bufferChars) {
  if (bufferChars == 0) {
    return {};
  }
  CERT_NAME_BLOB blob{};
  blob.cbData = static_cast<DWORD>(encodedName.size());
  blob.pbData = const_cast<BYTE*>(encodedName.data());
  std::vector<wchar_t> buffer(bufferChars);
  const DWORD written = CertNameToStrW(X509_ASN_ENCODING, &blob, CERT_SIMPLE_NAME_STR,
                                       buffer.data(), static_cast<DWORD>(bufferChars));
  if (written == 0) {
    return {};
  }
  buffer.back() = L'\0';
  return FromWide(std::wstring_view(buffer.data()));
}

}  // namespace digital_id
