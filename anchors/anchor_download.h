#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "anchors/anchor_kind.h"
#include "anchors/bind_status_callback.h"
#include "platform/cert_store.h"
#include "platform/download.h"
#include "shell/run_outcome.h"

namespace digital_id {

// Characters of the address buffer, terminator included.
inline constexpr std::size_t kUrlChars = 256;
// Largest anchor content accepted; a certificate is a few kilobytes.
inline constexpr std::uint64_t kMaxAnchorBytes = 1024 * 1024;
// DownloadTimeout value that means waiting without limit.
inline constexpr std::uint32_t kInfiniteWait = 0xFFFFFFFF;

// What the downloading operation shares with its download thread. The thread writes stream and
// result before it signals its end; the waiting thread reads them only after seeing that end.
struct DownloadContext {
  std::unique_ptr<DownloadStream> stream;
  HResult result = kSOk;
  std::u16string url;
  MyBindStatusCallback callback;

  // Marks the download thread's end and wakes the waiting thread.
  void MarkEnded();
  // Waits at most milliseconds (kInfiniteWait: without limit) for the thread's end; true when it
  // ended.
  bool WaitForEnd(std::uint32_t milliseconds);

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool hasEnded_ = false;
};

// The download thread: fetches context.url through the platform's blocking download with the
// context's callback, stores the stream and the result, and returns 0 (an exception becomes
// result kEAbort).
std::uint32_t DownloadThreadProc(DownloadContext& context);

// Downloads the anchor of a kind from its configured address into certificate; on every failure
// the certificate is null and the run ends with the kind's download failure texts.
StepEnd DownloadAnchorCertificate(AnchorKind kind, CertificatePtr& certificate);

}  // namespace digital_id
