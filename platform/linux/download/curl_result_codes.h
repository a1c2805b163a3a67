#pragma once

#include <curl/curl.h>

#include "platform/download.h"

namespace digital_id {

// Result codes of the download engine, with the values of the Windows URL-moniker errors.
inline constexpr HResult kInetEInvalidUrl = static_cast<HResult>(0x800C0002);
inline constexpr HResult kInetECannotConnect = static_cast<HResult>(0x800C0004);
inline constexpr HResult kInetEResourceNotFound = static_cast<HResult>(0x800C0005);
inline constexpr HResult kInetEObjectNotFound = static_cast<HResult>(0x800C0006);
inline constexpr HResult kInetEDataNotAvailable = static_cast<HResult>(0x800C0007);
inline constexpr HResult kInetEDownloadFailure = static_cast<HResult>(0x800C0008);
inline constexpr HResult kInetEConnectionTimeout = static_cast<HResult>(0x800C000B);
inline constexpr HResult kInetEUnknownProtocol = static_cast<HResult>(0x800C000D);
inline constexpr HResult kInetESecurityProblem = static_cast<HResult>(0x800C000E);
inline constexpr HResult kInetERedirectFailed = static_cast<HResult>(0x800C0014);
inline constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000E);

// The result code of a finished transfer: its libcurl code first, then its HTTP status
// (0 for protocols without one); kSOk only for a complete transfer with a status below 400.
HResult DownloadResult(CURLcode code, long httpStatus);

}  // namespace digital_id
