#pragma once

#include <objidl.h>

#include "platform/download.h"
#include "platform/win/system/com_ptr.h"

namespace digital_id {

// The content of a finished URL download: an IStream.
class ComStreamDownloadStream : public DownloadStream {
 public:
  explicit ComStreamDownloadStream(ComPtr<IStream> stream) : stream_(std::move(stream)) {}

  // IStream::Stat with STATFLAG_NONAME.
  std::optional<std::uint64_t> Size() override;
  // IStream::Read.
  std::optional<std::uint32_t> Read(std::uint8_t* buffer, std::uint32_t count) override;

 private:
  ComPtr<IStream> stream_;
};

// Blocking downloads through the URL monikers (URLOpenBlockingStreamW).
class UrlMonikerDownloadEngine : public DownloadEngine {
 public:
  // URLOpenBlockingStreamW with no caller, the address, 0 and an IBindStatusCallback over the
  // core's callback; its HRESULT, with the stream on S_OK.
  HResult OpenBlockingStream(const std::u16string& url, BindStatusCallback& callback,
                             std::unique_ptr<DownloadStream>& stream) override;
};

}  // namespace digital_id
