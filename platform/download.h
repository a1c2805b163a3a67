#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace digital_id {

// HRESULT-style result codes used by the download boundary.
using HResult = std::int32_t;
inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kEAbort = static_cast<HResult>(0x80004004);
inline constexpr HResult kENotImpl = static_cast<HResult>(0x80004001);
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005);
inline constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057);

// Progress callback of a running download (the bind-status callback's progress slot).
class BindStatusCallback {
 public:
  virtual ~BindStatusCallback() = default;

  // Called while the download runs; answering kEAbort asks the download to give up.
  virtual HResult OnProgress(std::uint32_t progress, std::uint32_t progressMax,
                             std::uint32_t statusCode, const char16_t* statusText) = 0;
};

// The content of a finished download.
class DownloadStream {
 public:
  virtual ~DownloadStream() = default;

  // Size of the whole content in bytes; nullopt when it cannot be told.
  virtual std::optional<std::uint64_t> Size() = 0;
  // Reads up to count bytes at the current position; the number read (0 at the end), or nullopt
  // when the read fails.
  virtual std::optional<std::uint32_t> Read(std::uint8_t* buffer, std::uint32_t count) = 0;
};

// Blocking download of a whole address.
class DownloadEngine {
 public:
  virtual ~DownloadEngine() = default;

  // Fetches the whole content at url, calling callback.OnProgress while it runs and giving up
  // when it answers kEAbort. Returns kSOk with the content in stream, or a failure code.
  virtual HResult OpenBlockingStream(const std::u16string& url, BindStatusCallback& callback,
                                     std::unique_ptr<DownloadStream>& stream) = 0;
};

}  // namespace digital_id
