#include "platform/fake/fake_download_engine.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace digital_id::fake {

namespace {

class MemoryStream : public DownloadStream {
 public:
  explicit MemoryStream(FakeDownload download) : download_(std::move(download)) {}

  std::optional<std::uint64_t> Size() override {
    if (download_.sizeUnknown) return std::nullopt;
    return download_.reportedSize.value_or(download_.content.size());
  }

  std::optional<std::uint32_t> Read(std::uint8_t* buffer, std::uint32_t count) override {
    if (download_.readFails) return std::nullopt;
    std::size_t available = download_.content.size() - position_;
    std::size_t n = std::min<std::size_t>(available, count);
    if (download_.readChunk != 0) n = std::min<std::size_t>(n, download_.readChunk);
    if (n != 0) std::memcpy(buffer, download_.content.data() + position_, n);
    position_ += n;
    return static_cast<std::uint32_t>(n);
  }

 private:
  FakeDownload download_;
  std::size_t position_ = 0;
};

}  // namespace

FakeDownload FakeDownload::Failing(HResult failure) {
  FakeDownload download;
  download.result = failure;
  return download;
}

FakeDownload FakeDownload::Stalled() {
  FakeDownload download;
  download.mode = Mode::StallUntilAbort;
  return download;
}

FakeDownload FakeDownload::Serving(Bytes content) {
  FakeDownload download;
  download.content = std::move(content);
  return download;
}

HResult FakeDownloadEngine::OpenBlockingStream(const std::u16string& url,
                                               BindStatusCallback& callback,
                                               std::unique_ptr<DownloadStream>& stream) {
  FakeDownload download;
  {
    std::lock_guard lock(lock_);
    requests_.push_back(url);
    auto found = downloads_.find(url);
    if (found == downloads_.end()) return kEFail;
    download = found->second;
  }
  if (download.mode == FakeDownload::Mode::StallUntilAbort) {
    // A server that sends nothing: only the callback's abort ends it (bounded for safety).
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < giveUp) {
      if (callback.OnProgress(0, 0, 0, u"") == kEAbort) {
        ++aborts_;
        return kEAbort;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return kEFail;
  }
  callback.OnProgress(0, 0, 0, u"");
  if (download.result == kSOk) {
    stream = std::make_unique<MemoryStream>(download);
  }
  return download.result;
}

void FakeDownloadEngine::Serve(const std::u16string& url, FakeDownload download) {
  std::lock_guard lock(lock_);
  downloads_[url] = std::move(download);
}

std::vector<std::u16string> FakeDownloadEngine::Requests() const {
  std::lock_guard lock(lock_);
  return requests_;
}

}  // namespace digital_id::fake
