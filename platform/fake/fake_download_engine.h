#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/cert_store.h"
#include "platform/download.h"
#include "platform/lock.h"

namespace digital_id::fake {

// What the fake engine does for one address.
struct FakeDownload {
  enum class Mode {
    Immediate,        // answers at once with result and content
    StallUntilAbort,  // keeps calling OnProgress until it answers kEAbort, then fails
  };
  Mode mode = Mode::Immediate;
  HResult result = kSOk;
  Bytes content;
  std::optional<std::uint64_t> reportedSize;  // size the stream reports instead of the real one
  std::uint32_t readChunk = 0;                // largest count one Read hands back (0: no limit)
  bool readFails = false;                     // every Read fails
  bool sizeUnknown = false;                   // Size() fails

  // A download that fails at once with the given result.
  static FakeDownload Failing(HResult failure);
  // A download that stalls until the callback asks for an abort.
  static FakeDownload Stalled();
  // A download that hands back content.
  static FakeDownload Serving(Bytes content);
};

// Download engine that serves configured addresses from memory.
class FakeDownloadEngine : public DownloadEngine {
 public:
  HResult OpenBlockingStream(const std::u16string& url, BindStatusCallback& callback,
                             std::unique_ptr<DownloadStream>& stream) override;

  // Configures the answer for an address; unknown addresses fail with kEFail.
  void Serve(const std::u16string& url, FakeDownload download);
  // Addresses requested so far, in order.
  std::vector<std::u16string> Requests() const;
  // OnProgress answers seen by stalled downloads that ended in an abort.
  int AbortsSeen() const { return aborts_.load(); }

 private:
  mutable Lock lock_;
  std::map<std::u16string, FakeDownload> downloads_;
  std::vector<std::u16string> requests_;
  std::atomic<int> aborts_{0};
};

}  // namespace digital_id::fake
