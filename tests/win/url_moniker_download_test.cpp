// Downloads through the URL monikers from the test issuing server's HTTP port: the shared suite
// of tests/contracts.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/win/download/url_moniker_download_engine.h"
#include "platform/win/stores/cryptoapi_cert_services.h"
#include "tests/contracts/download_engine_contract.h"
#include "tests/win/wine_test_environment.h"

namespace digital_id {
namespace {

using wine_test::DataFolder;
using wine_test::Environment;

// The URL monikers against the good test server that scripts/test-wine started.
class UrlMonikerBackend : public contracts::DownloadEngineBackend {
 public:
  DownloadEngine& Engine() override { return engine_; }
  CertServices& Services() override { return services_; }
  std::u16string DerAddress() override { return ServerAddress(u"/ca.der"); }
  Bytes DerBytes() override { return wine_test::ReadFileBytes(DataFolder() + L"ca.der"); }
  std::u16string MissingAddress() override { return ServerAddress(u"/missing.der"); }
  std::u16string StalledAddress() override {
    const std::wstring stall = Environment(L"DIGITAL_ID_WINE_STALL_PATH");
    EXPECT_FALSE(stall.empty()) << "scripts/test-wine sets the stalling path";
    return ServerAddress(std::u16string(stall.begin(), stall.end()));
  }

 private:
  // The address of a path on the good test server's HTTP port.
  static std::u16string ServerAddress(const std::u16string& path) {
    const std::wstring port = Environment(L"DIGITAL_ID_WINE_HTTP_PORT");
    EXPECT_FALSE(port.empty()) << "scripts/test-wine sets the server's HTTP port";
    return u"http://127.0.0.1:" + std::u16string(port.begin(), port.end()) + path;
  }

  UrlMonikerDownloadEngine engine_;
  CryptoApiCertServices services_;
};

using contracts::DownloadEngineContract;
INSTANTIATE_TEST_SUITE_P(UrlMoniker, DownloadEngineContract,
                         ::testing::Values(contracts::DownloadEngineBackendFactory{
                             "UrlMoniker", [] { return std::make_unique<UrlMonikerBackend>(); }}));

}  // namespace
}  // namespace digital_id
