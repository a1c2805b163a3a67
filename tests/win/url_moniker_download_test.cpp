// Downloads through the URL monikers from the test issuing server's HTTP port.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/win/download/url_moniker_download_engine.h"
#include "platform/win/stores/cryptoapi_cert_services.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id {
namespace {

using wine_test::DataFolder;
using wine_test::Environment;

// Counts progress calls and answers them as told.
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

// The address of a path on the good test server's HTTP port.
std::u16string ServerAddress(const std::u16string& path) {
  const std::wstring port = Environment(L"DIGITAL_ID_WINE_HTTP_PORT");
  EXPECT_FALSE(port.empty()) << "scripts/test-wine sets the server's HTTP port";
  return u"http://127.0.0.1:" + std::u16string(port.begin(), port.end()) + path;
}

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

TEST(UrlMonikerDownload, AnchorDownloadGivesTheServersDerBytes) {
  UrlMonikerDownloadEngine engine;
  CountingCallback callback(kSOk);
  std::unique_ptr<DownloadStream> stream;
  ASSERT_EQ(engine.OpenBlockingStream(ServerAddress(u"/ca.der"), callback, stream), kSOk);
  ASSERT_NE(stream, nullptr);
  const Bytes expected = wine_test::ReadFileBytes(DataFolder() + L"ca.der");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(stream->Size(), std::optional<std::uint64_t>(expected.size()));
  EXPECT_EQ(ReadAll(*stream), expected);
  EXPECT_GT(callback.calls.load(), 0);
}

TEST(UrlMonikerDownload, MissingPathYieldsNoCertificate) {
  UrlMonikerDownloadEngine engine;
  CountingCallback callback(kSOk);
  std::unique_ptr<DownloadStream> stream;
  const HResult result =
      engine.OpenBlockingStream(ServerAddress(u"/missing.der"), callback, stream);
  // Some platforms answer a 404 with an error, others with the server's page: either way no
  // certificate comes out of it.
  if (result == kSOk) {
    ASSERT_NE(stream, nullptr);
    const Bytes content = ReadAll(*stream);
    CryptoApiCertServices services;
    EXPECT_EQ(services.CreateFromDer(content.data(), content.size()), nullptr);
  } else {
    EXPECT_LT(result, 0);
  }
}

TEST(UrlMonikerDownload, StalledDownloadEndsWhenTheCallbackAborts) {
  UrlMonikerDownloadEngine engine;
  CountingCallback callback(kEAbort);
  std::unique_ptr<DownloadStream> stream;
  const std::wstring stall = Environment(L"DIGITAL_ID_WINE_STALL_PATH");
  ASSERT_FALSE(stall.empty());
  const HResult result = engine.OpenBlockingStream(
      ServerAddress(std::u16string(stall.begin(), stall.end())), callback, stream);
  EXPECT_LT(result, 0);
  EXPECT_EQ(stream, nullptr);
  EXPECT_GT(callback.calls.load(), 0);
}

}  // namespace
}  // namespace digital_id
