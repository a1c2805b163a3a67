#pragma once

#include <atomic>
#include <cstdint>

#include "platform/download.h"

namespace digital_id {

// The progress callback of an anchor download. Not reference-counted: it lives inside a
// DownloadContext and dies with it. Once the waiting thread sets abortRequested, every further
// progress notification answers kEAbort.
class MyBindStatusCallback : public BindStatusCallback {
 public:
  // kEAbort when an abort was requested, otherwise kSOk; the figures are ignored.
  HResult OnProgress(std::uint32_t progress, std::uint32_t progressMax, std::uint32_t statusCode,
                     const char16_t* statusText) override;

  // Asks the running download to give up (0 to 1, never back).
  void RequestAbort() { abortRequested.store(1); }

  // 1 once the waiting thread asked for an abort; read by the download thread.
  std::atomic<std::uint32_t> abortRequested{0};
};

}  // namespace digital_id
