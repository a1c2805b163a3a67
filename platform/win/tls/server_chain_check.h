#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <string>

#include "platform/win/sspi/sspi_table.h"

namespace digital_id::sspi {

// Verifies a server certificate the way the TLS client must before trusting it: the chain to a
// trusted root (CertGetCertificateChain), then the SSL policy with the target name
// (CertVerifyCertificateChainPolicy, CERT_CHAIN_POLICY_SSL). Returns kSecEOk, or the failure
// status a rejecting Schannel gives (untrusted root, wrong principal, expired, unknown). An
// empty target name is a wrong principal: no name would be checked.
SecStatus VerifyServerChain(PCCERT_CONTEXT server, const std::wstring& targetName);

// Maps a chain trust-status error bit set and a policy error to the matching SSPI status; the
// one place where CryptoAPI verification errors become handshake statuses.
SecStatus ChainErrorToSecStatus(DWORD trustErrorStatus, DWORD policyError);

}  // namespace digital_id::sspi
