#include "platform/win/stores/identity_inventory.h"

#include <windows.h>

#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/serial_text.h"
#include "platform/win/stores/context_flags.h"
#include "platform/win/x509/crypt_handles.h"
#include "platform/win/x509/name_text.h"

namespace digital_id {

namespace {

// FILETIME steps per second, and the seconds from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kStepsPerSecond = 10'000'000;
constexpr std::int64_t kSecondsBefore1970 = 11'644'473'600;

// The serial number's text: CryptoAPI keeps its bytes least significant first.
std::string SerialOf(const CRYPT_INTEGER_BLOB& serial) {
  std::vector<std::uint8_t> bigEndian(serial.pbData, serial.pbData + serial.cbData);
  std::reverse(bigEndian.begin(), bigEndian.end());
  return SerialText(bigEndian);
}

// A property of a certificate context as bytes; empty when the context does not have it.
std::vector<BYTE> Property(PCCERT_CONTEXT certificate, DWORD id) {
  DWORD size = 0;
  if (CertGetCertificateContextProperty(certificate, id, nullptr, &size) == FALSE || size == 0) {
    return {};
  }
  std::vector<BYTE> data(size);
  if (CertGetCertificateContextProperty(certificate, id, data.data(), &size) == FALSE) {
    return {};
  }
  data.resize(size);
  return data;
}

// True when the key container that the certificate's key information names opens (silently,
// in the user's or the machine's key set as it says) and holds the key pair of the certificate's
// public key, or exists but refuses this user.
bool PrivateKeyOpens(PCCERT_CONTEXT certificate) {
  const std::vector<BYTE> data = Property(certificate, CERT_KEY_PROV_INFO_PROP_ID);
  if (data.size() < sizeof(CRYPT_KEY_PROV_INFO)) {
    return false;
  }
  const auto* info = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(data.data());
  if (info->dwProvType == 0) {
    // A key of a key storage provider (from Windows Vista on) opens only through NCrypt, which
    // Windows XP does not have: its key information is taken as it stands.
    return true;
  }
  ProviderContext provider;
  if (CryptAcquireContextW(provider.Receive(), info->pwszContainerName, info->pwszProvName,
                           info->dwProvType,
                           (info->dwFlags & CRYPT_MACHINE_KEYSET) | CRYPT_SILENT) == FALSE) {
    // A container that refuses this user (the machine's keys, read without administrator rights)
    // is there all the same.
    return AccessDenied(GetLastError());
  }
  DWORD size = 0;
  if (CryptExportPublicKeyInfo(provider.Get(), info->dwKeySpec, X509_ASN_ENCODING, nullptr,
                               &size) == FALSE ||
      size < sizeof(CERT_PUBLIC_KEY_INFO)) {
    return false;
  }
  std::vector<BYTE> exported(size);
  auto* key = reinterpret_cast<CERT_PUBLIC_KEY_INFO*>(exported.data());
  if (CryptExportPublicKeyInfo(provider.Get(), info->dwKeySpec, X509_ASN_ENCODING, key, &size) ==
      FALSE) {
    return false;
  }
  return CertComparePublicKeyInfo(X509_ASN_ENCODING, &certificate->pCertInfo->SubjectPublicKeyInfo,
                                  key) != FALSE;
}

// Seconds since 1970-01-01 00:00 UTC of a FILETIME (100-nanosecond steps since 1601), rounded
// down.
std::int64_t UnixSecondsOf(const FILETIME& time) {
  const std::uint64_t steps =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<std::int64_t>(steps / kStepsPerSecond) - kSecondsBefore1970;
}

// The record of one certificate context.
IdentityRecord IdentityRecordOf(PCCERT_CONTEXT certificate) {
  CERT_INFO& info = *certificate->pCertInfo;
  IdentityRecord record;
  record.subject = NameText(info.Subject);
  record.issuer = NameText(info.Issuer);
  record.serial = SerialOf(info.SerialNumber);
  record.notBefore = UnixSecondsOf(info.NotBefore);
  record.notAfter = UnixSecondsOf(info.NotAfter);
  record.hasPrivateKey = PrivateKeyOpens(certificate);
  return record;
}

}  // namespace

IdentityInventory ReadIdentityInventory(StoreLocation location) {
  IdentityInventory inventory;
  const CertStorePtr store(CertOpenStore(
      CERT_STORE_PROV_SYSTEM_W, 0, 0,
      SystemStoreFlag(location) | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG, L"My"));
  if (!store) {
    const DWORD error = GetLastError();
    if (!StoreIsMissing(error)) {
      inventory.error = "the store My cannot be opened: " + StoreOpenErrorText(error);
    }
    return inventory;
  }
  for (PCCERT_CONTEXT certificate = nullptr;
       (certificate = CertEnumCertificatesInStore(store.get(), certificate)) != nullptr;) {
    inventory.identities.push_back(IdentityRecordOf(certificate));
  }
  std::stable_sort(
      inventory.identities.begin(), inventory.identities.end(),
      [](const IdentityRecord& a, const IdentityRecord& b) { return a.notBefore < b.notBefore; });
  return inventory;
}

}  // namespace digital_id
