#include "tests/contracts/download_engine_contract.h"

#include <atomic>

namespace digital_id::contracts {
namespace {

// Counts progress calls and answers each of them as told.
class CountingCallback : public BindStatusCallback {
 public:
  explicit CountingCallback(HResult answer) : answer_(answer) {}
  HResult OnProgress(std::uint32_t, std::uint32_t, std::uint32_t, const char16_t*) override {
    ++calls;
    return answer_;
  }
  std::atomic<int> calls{0};

 private:
  HResult answer_;
};

// The whole content of a finished download.
Bytes ReadAll(DownloadStream& stream) {
  Bytes content;
  std::uint8_t buffer[4096];
  while (const std::optional<std::uint32_t> read = stream.Read(buffer, sizeof buffer)) {
    if (*read == 0) {
      break;
    }
    content.insert(content.end(), buffer, buffer + *read);
  }
  return content;
}

TEST_P(DownloadEngineContract, DerFileComesBackWholeWithItsSizeAndProgress) {
  CountingCallback callback(kSOk);
  std::unique_ptr<DownloadStream> stream;
  ASSERT_EQ(Backend().Engine().OpenBlockingStream(Backend().DerAddress(), callback, stream), kSOk);
  ASSERT_NE(stream, nullptr);
  const Bytes expected = Backend().DerBytes();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(stream->Size(), std::optional<std::uint64_t>(expected.size()));
  EXPECT_EQ(ReadAll(*stream), expected);
  EXPECT_GT(callback.calls.load(), 0);
}

TEST_P(DownloadEngineContract, MissingPathYieldsNoCertificate) {
  CountingCallback callback(kSOk);
  std::unique_ptr<DownloadStream> stream;
  const HResult result =
      Backend().Engine().OpenBlockingStream(Backend().MissingAddress(), callback, stream);
  // Some platforms answer a 404 with an error, others with the server's page: either way no
  // certificate comes out of it.
  if (result == kSOk) {
    ASSERT_NE(stream, nullptr);
    const Bytes content = ReadAll(*stream);
    EXPECT_EQ(Backend().Services().CreateFromDer(content.data(), content.size()), nullptr);
  } else {
    EXPECT_LT(result, 0);
    EXPECT_EQ(stream, nullptr);
  }
}

TEST_P(DownloadEngineContract, StalledDownloadEndsWhenTheCallbackAborts) {
  CountingCallback callback(kEAbort);
  std::unique_ptr<DownloadStream> stream;
  const HResult result =
      Backend().Engine().OpenBlockingStream(Backend().StalledAddress(), callback, stream);
  EXPECT_LT(result, 0);
  EXPECT_EQ(stream, nullptr);
  EXPECT_GT(callback.calls.load(), 0);
}

}  // namespace
}  // namespace digital_id::contracts
