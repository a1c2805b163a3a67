#include "platform/linux/download/curl_download_engine.h"

#include <curl/curl.h>

#include <algorithm>
#include <limits>
#include <mutex>
#include <utility>

#include "base/utf8_text.h"
#include "platform/linux/download/curl_result_codes.h"
#include "platform/linux/download/memory_download_stream.h"

namespace digital_id {

namespace {

// Status codes handed to the progress callback (the bind-status values).
constexpr std::uint32_t kStatusConnecting = 2;
constexpr std::uint32_t kStatusDownloadingData = 5;
constexpr long kMaxRedirects = 5;
// A trust anchor is a few kilobytes; a larger body is refused rather than kept in memory.
constexpr std::size_t kMaxBodyBytes = 16 * 1024 * 1024;

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;

// Whether libcurl's global initialisation succeeded; it runs once per process.
bool CurlReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ready;
}

// What the libcurl callbacks of one transfer share.
struct Transfer {
  BindStatusCallback* callback = nullptr;
  const char16_t* statusText = nullptr;
  Bytes body;
  bool tooLarge = false;
};

std::uint32_t ClampProgress(curl_off_t value) {
  if (value <= 0) {
    return 0;
  }
  return static_cast<std::uint32_t>(
      std::min<curl_off_t>(value, std::numeric_limits<std::uint32_t>::max()));
}

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  if (length > kMaxBodyBytes - transfer->body.size()) {
    transfer->tooLarge = true;
    return 0;  // fewer bytes than given: libcurl ends the transfer with a write error
  }
  try {
    transfer->body.insert(transfer->body.end(), data, data + length);
  } catch (...) {
    return 0;
  }
  return length;
}

// libcurl calls this often while data flows and about once a second while the peer is silent,
// so an abort answer ends even a stalled transfer promptly.
int ReportProgress(void* user, curl_off_t downloadTotal, curl_off_t downloadNow, curl_off_t,
                   curl_off_t) {
  auto* transfer = static_cast<Transfer*>(user);
  try {
    const HResult answer = transfer->callback->OnProgress(
        ClampProgress(downloadNow), ClampProgress(downloadTotal),
        downloadNow > 0 ? kStatusDownloadingData : kStatusConnecting, transfer->statusText);
    return answer == kEAbort ? 1 : 0;
  } catch (...) {
    return 1;
  }
}

// Sets every option of a transfer; false when libcurl refuses one.
bool Configure(CURL* easy, const std::string& url, Transfer& transfer) {
  return curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,file") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteBody) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, ReportProgress) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer) == CURLE_OK;
}

}  // namespace

CurlDownloadEngine::CurlDownloadEngine() {
  CurlReady();
}

HResult CurlDownloadEngine::OpenBlockingStream(const std::u16string& url,
                                               BindStatusCallback& callback,
                                               std::unique_ptr<DownloadStream>& stream) {
  stream.reset();
  try {
    if (url.empty()) {
      return kInetEInvalidUrl;
    }
    if (!CurlReady()) {
      return kEFail;
    }
    EasyPtr easy(curl_easy_init());
    if (!easy) {
      return kEOutOfMemory;
    }
    Transfer transfer;
    transfer.callback = &callback;
    transfer.statusText = url.c_str();
    if (!Configure(easy.get(), Utf16ToUtf8(url), transfer)) {
      return kEFail;
    }
    const CURLcode code = curl_easy_perform(easy.get());
    long httpStatus = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &httpStatus);
    if (transfer.tooLarge) {
      return kInetEDownloadFailure;
    }
    const HResult result = DownloadResult(code, httpStatus);
    if (result != kSOk) {
      return result;
    }
    stream = std::make_unique<MemoryDownloadStream>(std::move(transfer.body));
    return kSOk;
  } catch (...) {
    stream.reset();
    return kEOutOfMemory;
  }
}

}  // namespace digital_id
