#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "platform/linux/download/curl_download_engine.h"
#include "platform/linux/stores/file_cert_services.h"
#include "tests/contracts/download_engine_contract.h"
#include "tests/support/backend_test_support.h"
#include "tests/support/local_http_server.h"

namespace digital_id::backend_tests {
namespace {

// Answers kEAbort from the moment abort is requested; counts the calls.
class AbortingCallback : public BindStatusCallback {
 public:
  HResult OnProgress(std::uint32_t, std::uint32_t, std::uint32_t, const char16_t*) override {
    ++calls;
    if (abortRequested) {
      ++callsAfterAbort;
      return kEAbort;
    }
    return kSOk;
  }
  std::atomic<bool> abortRequested{false};
  std::atomic<int> calls{0};
  std::atomic<int> callsAfterAbort{0};
};

std::u16string Wide(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}

// The whole content of a finished download.
std::string ReadAll(DownloadStream& stream) {
  std::string content;
  std::uint8_t buffer[100];
  while (const auto count = stream.Read(buffer, sizeof buffer)) {
    if (*count == 0) {
      break;
    }
    content.append(reinterpret_cast<const char*>(buffer), *count);
  }
  return content;
}

class CurlDownloadEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(server.Port(), 0); }

  HResult Fetch(const std::string& url, std::string& content) {
    std::unique_ptr<DownloadStream> stream;
    const HResult result = engine.OpenBlockingStream(Wide(url), callback, stream);
    EXPECT_EQ(result == kSOk, stream != nullptr);
    if (stream) {
      const auto size = stream->Size();
      EXPECT_TRUE(size.has_value());
      content = ReadAll(*stream);
      EXPECT_EQ(size.value_or(0), content.size());
    }
    return result;
  }

  LocalHttpServer server;
  CurlDownloadEngine engine;
  AbortingCallback callback;
};

// libcurl against the local HTTP server.
class CurlBackend : public contracts::DownloadEngineBackend {
 public:
  CurlBackend() {
    const Bytes der = CertificateDer(MakeSelfSigned("Download Test").get());
    der_ = der;
    server_.Route("/ca.der", {200, std::string(der.begin(), der.end()), "", false});
    server_.Route("/stall", {200, "", "", true});
    EXPECT_NE(server_.Port(), 0);
  }
  DownloadEngine& Engine() override { return engine_; }
  CertServices& Services() override { return services_; }
  std::u16string DerAddress() override { return Wide(server_.Url("/ca.der")); }
  Bytes DerBytes() override { return der_; }
  std::u16string MissingAddress() override { return Wide(server_.Url("/missing.der")); }
  std::u16string StalledAddress() override { return Wide(server_.Url("/stall")); }

 private:
  LocalHttpServer server_;
  CurlDownloadEngine engine_;
  FileCertServices services_;
  Bytes der_;
};

using contracts::DownloadEngineContract;
INSTANTIATE_TEST_SUITE_P(Curl, DownloadEngineContract,
                         ::testing::Values(contracts::DownloadEngineBackendFactory{
                             "Curl", [] { return std::make_unique<CurlBackend>(); }}));

TEST_F(CurlDownloadEngineTest, APemFileIsHandedBackUnchanged) {
  const std::string pem =
      "-----BEGIN CERTIFICATE-----\r\nMIIBkTCB+wIJAK\r\n-----END CERTIFICATE-----\r\n";
  server.Route("/ca.pem", {200, pem, "", false});
  std::string content;
  EXPECT_EQ(Fetch(server.Url("/ca.pem"), content), kSOk);
  EXPECT_EQ(content, pem);
}

TEST_F(CurlDownloadEngineTest, ErrorStatusesAndBadAddressesFail) {
  std::string content;
  EXPECT_LT(Fetch(server.Url("/missing.der"), content), 0);  // 404
  server.Route("/broken", {500, "oops", "", false});
  EXPECT_LT(Fetch(server.Url("/broken"), content), 0);
  EXPECT_LT(Fetch("", content), 0);
  EXPECT_LT(Fetch("gopher://127.0.0.1/", content), 0);
  EXPECT_LT(Fetch("http://127.0.0.1:1/refused", content), 0);
  EXPECT_TRUE(content.empty());
}

TEST_F(CurlDownloadEngineTest, RedirectsAreFollowedUpToFive) {
  server.Route("/target", {200, "payload", "", false});
  server.Route("/hop1", {302, "", server.Url("/target"), false});
  std::string content;
  EXPECT_EQ(Fetch(server.Url("/hop1"), content), kSOk);
  EXPECT_EQ(content, "payload");

  server.Route("/loop", {302, "", server.Url("/loop"), false});
  content.clear();
  EXPECT_LT(Fetch(server.Url("/loop"), content), 0);
  EXPECT_TRUE(content.empty());
}

TEST_F(CurlDownloadEngineTest, FileAddressesAreRead) {
  ScratchFolder folder;
  const std::string path = folder.Path() + "/anchor.der";
  ASSERT_TRUE(WriteFile(path, std::string("\x30\x03\x02\x01\x01", 5)));
  std::string content;
  EXPECT_EQ(Fetch("file://" + path, content), kSOk);
  EXPECT_EQ(content, std::string("\x30\x03\x02\x01\x01", 5));
  EXPECT_LT(Fetch("file://" + folder.Path() + "/absent.der", content), 0);
}

TEST_F(CurlDownloadEngineTest, AStalledDownloadEndsSoonAfterTheCallbackAsksToAbort) {
  server.Route("/stall", {200, "", "", true});
  std::unique_ptr<DownloadStream> stream;
  auto download = std::async(std::launch::async, [&] {
    return engine.OpenBlockingStream(Wide(server.Url("/stall")), callback, stream);
  });
  ASSERT_TRUE(server.WaitForStalledRequest());
  // The server now sends nothing; progress calls must still come for the abort to be seen.
  const auto abortTime = std::chrono::steady_clock::now();
  callback.abortRequested = true;
  const HResult result = download.get();
  const auto waited = std::chrono::steady_clock::now() - abortTime;
  EXPECT_EQ(result, kEAbort);
  EXPECT_FALSE(stream);
  EXPECT_EQ(callback.callsAfterAbort.load(), 1);
  // Within about a second of the abort (the server itself would hold out for 20 s).
  EXPECT_LT(waited, std::chrono::milliseconds(2500));
}

}  // namespace
}  // namespace digital_id::backend_tests
