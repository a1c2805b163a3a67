#pragma once

#include <windows.h>
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <security.h>

// The security headers map these names to their W forms; the table's methods keep their names.
#undef AcquireCredentialsHandle
#undef InitializeSecurityContext
#undef QueryContextAttributes

#include <string>

#include "platform/win/sspi/sspi_table.h"

namespace digital_id::sspi {

// The Schannel package reached through the function table of InitSecurityInterfaceW, behind the
// table the TLS session drives. After a handshake that the package reports complete, the server's
// chain and name are verified here as well, so a bad certificate fails the handshake even where
// the package itself does not reject it.
class SchannelTable : public SspiTable {
 public:
  // Wraps a function table obtained from InitSecurityInterfaceW.
  explicit SchannelTable(PSecurityFunctionTableW table) : table_(table) {}

  SecStatus AcquireCredentialsHandle(std::uint32_t enabledProtocols, std::uint32_t flags,
                                     SecHandle* credential) override;
  SecStatus InitializeSecurityContext(SecHandle* credential, SecHandle* context,
                                      const std::u16string& targetName, std::uint32_t requirements,
                                      SecBufferDesc* input, SecHandle* newContext,
                                      SecBufferDesc* output, std::uint32_t* attributes) override;
  SecStatus FreeContextBuffer(void* buffer) override;
  SecStatus DeleteSecurityContext(SecHandle* context) override;
  SecStatus FreeCredentialsHandle(SecHandle* credential) override;
  SecStatus QueryRemoteCertificate(SecHandle* context, CertificatePtr& certificate) override;
  SecStatus QueryStreamSizes(SecHandle* context, StreamSizes* sizes) override;
  SecStatus EncryptMessage(SecHandle* context, std::uint32_t qualityOfProtection,
                           SecBufferDesc* message, std::uint32_t sequenceNumber) override;
  SecStatus DecryptMessage(SecHandle* context, SecBufferDesc* message, std::uint32_t sequenceNumber,
                           std::uint32_t* qualityOfProtection) override;

 private:
  // The chain and name check after a completed handshake; kSecEOk or the failure status.
  SecStatus VerifyCompletedHandshake(::CtxtHandle* context, const std::wstring& targetName);

  PSecurityFunctionTableW table_;
};

}  // namespace digital_id::sspi
