#include "platform/linux/publish/nss_session.h"

#include <mutex>
#include <utility>

#include "platform/lock.h"

namespace digital_id {

namespace {

// NSS keeps one state per process: one session at a time.
Lock& NssLock() {
  static Lock lock;
  return lock;
}

int EncodeCertificate(X509* certificate, unsigned char** out) {
  return i2d_X509(certificate, out);
}

}  // namespace

std::vector<unsigned char> CertificateDer(X509* certificate) {
  return Der(certificate, EncodeCertificate);
}

SECItem ItemOf(std::vector<unsigned char>& bytes) {
  return SECItem{siBuffer, bytes.data(), static_cast<unsigned int>(bytes.size())};
}

std::string LastNssError() {
  const PRErrorCode code = PR_GetError();
  const char* name = PR_ErrorToName(code);
  return name != nullptr ? name : "NSS error " + std::to_string(code);
}

NssCertificatePtr FindInSlot(PK11SlotInfo* slot, std::vector<unsigned char>& der) {
  SECItem item = ItemOf(der);
  return NssCertificatePtr(PK11_FindCertFromDERCertItem(slot, &item, nullptr));
}

std::string LogInWithEmptyPassword(PK11SlotInfo* slot) {
  if (PK11_NeedLogin(slot) && !PK11_IsLoggedIn(slot, nullptr) &&
      PK11_CheckUserPassword(slot, "") != SECSuccess) {
    return "protected by a password";
  }
  return {};
}

NssContext::NssContext(const std::string& configuration, NssAccess access)
    : context_(NSS_InitContext(configuration.c_str(), "", "", "", nullptr,
                               NSS_INIT_NOROOTINIT | NSS_INIT_NOMODDB | NSS_INIT_OPTIMIZESPACE |
                                   (access == NssAccess::ReadOnly ? NSS_INIT_READONLY : 0))) {}

bool NssContext::Shutdown() {
  NSSInitContext* context = std::exchange(context_, nullptr);
  return context == nullptr || NSS_ShutdownContext(context) == SECSuccess;
}

NssSession WithNssDatabase(const std::filesystem::path& folder, NssAccess access,
                           const std::function<void()>& work) {
  const std::lock_guard<Lock> guard(NssLock());
  NssSession session;
  if (NSS_IsInitialized()) {
    session.problem = "NSS is already in use in this process";
    return session;
  }
  NssContext context("sql:" + folder.string(), access);
  if (!context.Valid()) {
    session.problem = "cannot open the database: " + LastNssError();
    return session;
  }
  session.opened = true;
  work();
  session.cleanShutdown = context.Shutdown();
  return session;
}

}  // namespace digital_id
