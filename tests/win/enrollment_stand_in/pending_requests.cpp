// The REQUEST store's placeholders and the installation of a response for one of them.
#include "tests/win/enrollment_stand_in/pending_requests.h"

#include <wincrypt.h>

#include <memory>
#include <type_traits>
#include <utility>

#include "platform/win/x509/crypt_handles.h"
#include "tests/win/enrollment_stand_in/misuse_report.h"

namespace digital_id::stand_in {

namespace {

HRESULT LastError() {
  const DWORD error = GetLastError();
  return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

CertStorePtr OpenSystemStore(DWORD location, const wchar_t* name) {
  return CertStorePtr(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location, name));
}

// The placeholder for the certificate's public key in an open REQUEST store; null when none.
CertContextPtr PendingRequestFor(HCERTSTORE requests, PCCERT_CONTEXT certificate) {
  return CertContextPtr(
      CertFindCertificateInStore(requests, X509_ASN_ENCODING, 0, CERT_FIND_PUBLIC_KEY,
                                 &certificate->pCertInfo->SubjectPublicKeyInfo, nullptr));
}

// Whether a request for the certificate's public key is pending in location.
struct ChainEngineFree {
  void operator()(HCERTCHAINENGINE engine) const { CertFreeCertificateChainEngine(engine); }
};
using ChainEnginePtr = std::unique_ptr<std::remove_pointer_t<HCERTCHAINENGINE>, ChainEngineFree>;

bool IsPendingIn(DWORD location, PCCERT_CONTEXT certificate) {
  const CertStorePtr requests = OpenSystemStore(location, L"REQUEST");
  return requests && PendingRequestFor(requests.get(), certificate) != nullptr;
}

// Copies the key the placeholder is joined to onto the issued certificate.
bool JoinToKey(PCCERT_CONTEXT placeholder, PCCERT_CONTEXT issued) {
  DWORD size = 0;
  if (CertGetCertificateContextProperty(placeholder, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size) ==
      FALSE) {
    return false;
  }
  std::vector<BYTE> info(size);
  return CertGetCertificateContextProperty(placeholder, CERT_KEY_PROV_INFO_PROP_ID, info.data(),
                                           &size) != FALSE &&
         CertSetCertificateContextProperty(issued, CERT_KEY_PROV_INFO_PROP_ID, 0, info.data()) !=
             FALSE;
}

// Whether the chain of the certificate, completed from the response, ends in a root that the
// location trusts. A chain engine of its own each time: an engine keeps the Root store as it
// was when it was made, and the root may have been added since.
bool EndsInTrustedRoot(PCCERT_CONTEXT certificate, HCERTSTORE response, DWORD location) {
  CERT_CHAIN_ENGINE_CONFIG config{};
  config.cbSize = sizeof(config);
  config.dwFlags =
      location == CERT_SYSTEM_STORE_LOCAL_MACHINE ? CERT_CHAIN_USE_LOCAL_MACHINE_STORE : 0;
  HCERTCHAINENGINE rawEngine = nullptr;
  if (CertCreateCertificateChainEngine(&config, &rawEngine) == FALSE) {
    return false;
  }
  const ChainEnginePtr engine(rawEngine);
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof(parameters);
  PCCERT_CHAIN_CONTEXT raw = nullptr;
  const bool built = CertGetCertificateChain(engine.get(), certificate, nullptr, response,
                                             &parameters, 0, nullptr, &raw) != FALSE;
  const CertChainPtr chain(raw);
  return built && (chain->TrustStatus.dwErrorStatus &
                   (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) == 0;
}

// Whether the key the certificate was joined to is in the key set of location.
bool KeyIsIn(DWORD location, PCCERT_CONTEXT certificate) {
  DWORD size = 0;
  if (CertGetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size) ==
      FALSE) {
    return false;
  }
  std::vector<BYTE> info(size);
  if (CertGetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, info.data(),
                                        &size) == FALSE) {
    return false;
  }
  const bool machineKey = (reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(info.data())->dwFlags &
                           CRYPT_MACHINE_KEYSET) != 0;
  return machineKey == (location == CERT_SYSTEM_STORE_LOCAL_MACHINE);
}

bool IsSelfSigned(PCCERT_CONTEXT certificate) {
  return CertCompareCertificateName(X509_ASN_ENCODING, &certificate->pCertInfo->Subject,
                                    &certificate->pCertInfo->Issuer) != FALSE;
}

}  // namespace

HRESULT RecordPendingRequest(KeyPair& key, DWORD location) {
  CRYPT_KEY_PROV_INFO info = key.ProviderInfo();
  BYTE emptyName[] = {0x30, 0x00};
  CERT_NAME_BLOB subject{sizeof emptyName, emptyName};
  const CertContextPtr placeholder(CertCreateSelfSignCertificate(
      key.Provider(), &subject, 0, &info, nullptr, nullptr, nullptr, nullptr));
  if (!placeholder || CertSetCertificateContextProperty(
                          placeholder.get(), CERT_KEY_PROV_INFO_PROP_ID, 0, &info) == FALSE) {
    return LastError();
  }
  const CertStorePtr requests = OpenSystemStore(location, L"REQUEST");
  if (!requests || CertAddCertificateContextToStore(requests.get(), placeholder.get(),
                                                    CERT_STORE_ADD_NEW, nullptr) == FALSE) {
    return LastError();
  }
  return S_OK;
}

HRESULT InstallResponse(const std::vector<BYTE>& response, const StoreLocations& stores,
                        const InstallRules& rules, const std::wstring& description) {
  CERT_BLOB blob{static_cast<DWORD>(response.size()), const_cast<BYTE*>(response.data())};
  HCERTSTORE opened = nullptr;
  const DWORD contents = rules.pkcs7Only
                             ? CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED
                             : CERT_QUERY_CONTENT_FLAG_CERT | CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED;
  if (response.empty() ||
      CryptQueryObject(CERT_QUERY_OBJECT_BLOB, &blob, contents, CERT_QUERY_FORMAT_FLAG_BINARY, 0,
                       nullptr, nullptr, nullptr, &opened, nullptr, nullptr) == FALSE) {
    return response.empty() ? CRYPT_E_NOT_FOUND : LastError();
  }
  const CertStorePtr certificates(opened);

  const CertStorePtr requests = OpenSystemStore(stores.request, L"REQUEST");
  if (!requests) {
    return LastError();
  }
  CertContextPtr issued;
  CertContextPtr placeholder;
  bool pendingElsewhere = false;
  const DWORD otherLocation = stores.request == CERT_SYSTEM_STORE_LOCAL_MACHINE
                                  ? CERT_SYSTEM_STORE_CURRENT_USER
                                  : CERT_SYSTEM_STORE_LOCAL_MACHINE;
  for (PCCERT_CONTEXT certificate = nullptr;
       (certificate = CertEnumCertificatesInStore(certificates.get(), certificate)) != nullptr;) {
    if (issued) {
      continue;
    }
    if (CertContextPtr pending = PendingRequestFor(requests.get(), certificate)) {
      issued.reset(CertDuplicateCertificateContext(certificate));
      placeholder = std::move(pending);
    } else if (IsPendingIn(otherLocation, certificate)) {
      pendingElsewhere = true;
    }
  }
  if (!issued) {
    if (pendingElsewhere) {
      ReportMisuse(stores.request == CERT_SYSTEM_STORE_LOCAL_MACHINE
                       ? L"a response was installed in the machine context for a request made "
                         L"in the user context"
                       : L"a response was installed in the user context for a request made in "
                         L"the machine context");
    }
    return CRYPT_E_NOT_FOUND;
  }

  if (rules.requireTrustedRoot && !EndsInTrustedRoot(issued.get(), certificates.get(), stores.my)) {
    return CERT_E_UNTRUSTEDROOT;
  }
  if (!JoinToKey(placeholder.get(), issued.get())) {
    return LastError();
  }
  if (!KeyIsIn(stores.my, issued.get())) {
    // What the platform's objects do without a complaint, leaving a certificate whose key the
    // location's users cannot reach.
    ReportMisuse(stores.my == CERT_SYSTEM_STORE_LOCAL_MACHINE
                     ? L"a certificate went to the machine's My store with a key of the user's "
                       L"key set"
                     : L"a certificate went to the user's My store with a key of the machine's "
                       L"key set");
  }
  if (!description.empty()) {
    CRYPT_DATA_BLOB text{static_cast<DWORD>((description.size() + 1) * sizeof(wchar_t)),
                         reinterpret_cast<BYTE*>(const_cast<wchar_t*>(description.c_str()))};
    CertSetCertificateContextProperty(issued.get(), CERT_DESCRIPTION_PROP_ID, 0, &text);
  }
  const CertStorePtr my = OpenSystemStore(stores.my, L"My");
  if (!my || CertAddCertificateContextToStore(my.get(), issued.get(),
                                              CERT_STORE_ADD_REPLACE_EXISTING, nullptr) == FALSE) {
    return LastError();
  }
  for (PCCERT_CONTEXT certificate = nullptr;
       (certificate = CertEnumCertificatesInStore(certificates.get(), certificate)) != nullptr;) {
    if (CertCompareCertificate(X509_ASN_ENCODING, certificate->pCertInfo, issued->pCertInfo) !=
        FALSE) {
      continue;
    }
    const bool toRoot = rules.placement == RootPlacement::RootStore && IsSelfSigned(certificate);
    const CertStorePtr store =
        OpenSystemStore(toRoot ? stores.root : stores.ca, toRoot ? L"Root" : L"CA");
    if (!store || CertAddCertificateContextToStore(store.get(), certificate,
                                                   CERT_STORE_ADD_USE_EXISTING, nullptr) == FALSE) {
      const HRESULT failed = LastError();
      CertFreeCertificateContext(certificate);
      return failed;
    }
  }
  // The pending request is complete: its placeholder goes (the call releases the context). A
  // system store keeps a removal in memory only until it is committed.
  CertDeleteCertificateFromStore(placeholder.release());
  CertControlStore(requests.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
  return S_OK;
}

}  // namespace digital_id::stand_in
