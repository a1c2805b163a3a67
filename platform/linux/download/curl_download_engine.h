#pragma once

#include <memory>
#include <string>

#include "platform/download.h"

namespace digital_id {

// Blocking downloads with libcurl: http, https (peer verified against the system's trusted
// roots) and file addresses, redirects followed up to five times, the whole body kept in memory.
class CurlDownloadEngine : public DownloadEngine {
 public:
  // Initialises libcurl once for the whole process.
  CurlDownloadEngine();

  // Fetches the whole content; kEAbort when the callback asked to abort, another failure code
  // for a transfer error or an HTTP status of 400 or more.
  HResult OpenBlockingStream(const std::u16string& url, BindStatusCallback& callback,
                             std::unique_ptr<DownloadStream>& stream) override;
};

}  // namespace digital_id
