#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/anchors/anchor_kind.h"
#include "core/anchors/bind_status_callback.h"
#include "core/shell/run_outcome.h"
#include "platform/cert_store.h"
#include "platform/download.h"

namespace digital_id {

// Largest anchor content accepted; a certificate is a few kilobytes.
inline constexpr std::uint64_t kMaxAnchorBytes = 1024 * 1024;
// What the downloading operation shares with its download thread (a SystemThread of the
// platform). The thread writes stream and result before its body returns; the waiting thread
// reads them only after SystemThread::WaitForEnd has reported that end, which orders the
// accesses. url is written before the thread starts; the callback's flag is atomic.
struct DownloadContext {
  std::unique_ptr<DownloadStream> stream;
  HResult result = kSOk;
  std::u16string url;
  MyBindStatusCallback callback;
};

// The download thread: fetches context.url through the platform's blocking download with the
// context's callback, stores the stream and the result, and returns 0 (an exception becomes
// result kEAbort).
std::uint32_t DownloadThreadProc(DownloadContext& context);

// Downloads the anchor of a kind from its configured address into certificate and holds it to
// the kind's pin when one is set; on every failure (a mismatch included) the certificate is null
// and the run ends with the kind's download failure texts.
StepEnd DownloadAnchorCertificate(AnchorKind kind, CertificatePtr& certificate);

// Downloads the issuing CA certificate: the CA kind of DownloadAnchorCertificate.
StepEnd DownloadCaCertificate(CertificatePtr& certificate);

// Downloads the root certificate: the root kind of DownloadAnchorCertificate.
StepEnd DownloadRootCertificate(CertificatePtr& certificate);

}  // namespace digital_id
