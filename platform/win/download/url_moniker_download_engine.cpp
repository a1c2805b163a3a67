#include "platform/win/download/url_moniker_download_engine.h"

#include <windows.h>

#include <urlmon.h>

#include "platform/win/download/bind_status_callback_adapter.h"
#include "platform/win/wide_text.h"

namespace digital_id {

std::optional<std::uint64_t> ComStreamDownloadStream::Size() {
  STATSTG statistics{};
  if (FAILED(stream_->Stat(&statistics, STATFLAG_NONAME))) {
    return std::nullopt;
  }
  return statistics.cbSize.QuadPart;
}

std::optional<std::uint32_t> ComStreamDownloadStream::Read(std::uint8_t* buffer,
                                                           std::uint32_t count) {
  ULONG read = 0;
  if (FAILED(stream_->Read(buffer, count, &read))) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(read);
}

HResult UrlMonikerDownloadEngine::OpenBlockingStream(const std::u16string& url,
                                                     BindStatusCallback& callback,
                                                     std::unique_ptr<DownloadStream>& stream) {
  stream.reset();
  const std::wstring address = ToWide(url);
  BindStatusCallbackAdapter adapter(callback);
  ComPtr<IStream> content;
  const HRESULT result =
      URLOpenBlockingStreamW(nullptr, address.c_str(), content.Receive(), 0, &adapter);
  // An aborted download that still reports success is a failure all the same.
  if (adapter.Aborted() && result == S_OK) {
    return kEAbort;
  }
  if (result != S_OK) {
    return static_cast<HResult>(result);
  }
  if (!content) {
    return kEFail;
  }
  stream = std::make_unique<ComStreamDownloadStream>(std::move(content));
  return kSOk;
}

}  // namespace digital_id
