#include "platform/win/tls/server_chain_check.h"

#include "platform/win/x509/crypt_handles.h"

namespace digital_id::sspi {

SecStatus ChainErrorToSecStatus(DWORD trustErrorStatus, DWORD policyError) {
  if (trustErrorStatus == CERT_TRUST_NO_ERROR && policyError == 0) {
    return kSecEOk;
  }
  const auto policy = static_cast<HRESULT>(policyError);
  if (policy == CERT_E_CN_NO_MATCH) {
    return kSecEWrongPrincipal;
  }
  if ((trustErrorStatus & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) != 0 ||
      policy == CERT_E_UNTRUSTEDROOT || policy == CERT_E_CHAINING) {
    return kSecEUntrustedRoot;
  }
  if ((trustErrorStatus & CERT_TRUST_IS_NOT_TIME_VALID) != 0 || policy == CERT_E_EXPIRED) {
    return kSecECertExpired;
  }
  return kSecECertUnknown;
}

SecStatus VerifyServerChain(PCCERT_CONTEXT server, const std::wstring& targetName) {
  if (server == nullptr) {
    return kSecECertUnknown;
  }
  // The policy checks no name at all without one, so no server is authenticated without it.
  if (targetName.empty()) {
    return kSecEWrongPrincipal;
  }
  LPSTR serverAuth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof(chainPara);
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
  PCCERT_CHAIN_CONTEXT rawChain = nullptr;
  if (!CertGetCertificateChain(nullptr, server, nullptr, server->hCertStore, &chainPara, 0, nullptr,
                               &rawChain)) {
    return kSecECertUnknown;
  }
  const CertChainPtr chain(rawChain);
  const DWORD trustError = chain->TrustStatus.dwErrorStatus;
  if (trustError != CERT_TRUST_NO_ERROR) {
    return ChainErrorToSecStatus(trustError, 0);
  }

  std::wstring name = targetName;
  HTTPSPolicyCallbackData https{};
  https.cbSize = sizeof(https);
  https.dwAuthType = AUTHTYPE_SERVER;
  https.pwszServerName = name.data();
  CERT_CHAIN_POLICY_PARA policyPara{};
  policyPara.cbSize = sizeof(policyPara);
  policyPara.pvExtraPolicyPara = &https;
  CERT_CHAIN_POLICY_STATUS policyStatus{};
  policyStatus.cbSize = sizeof(policyStatus);
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyPara,
                                        &policyStatus)) {
    return kSecECertUnknown;
  }
  return ChainErrorToSecStatus(CERT_TRUST_NO_ERROR, policyStatus.dwError);
}

}  // namespace digital_id::sspi
