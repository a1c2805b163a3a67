#pragma once

// What every backend's download engine does alike, as one suite that each backend instantiates
// with a backend of its own: the DER bytes a server offers come back whole with progress
// reported, a missing path yields no certificate, and a stalled download ends when the callback
// aborts.

#include <string>

#include "platform/cert_store.h"
#include "platform/download.h"
#include "tests/contracts/backend_suite.h"

namespace digital_id::contracts {

// What one backend gives the suite: an engine and an HTTP server on 127.0.0.1 with three paths.
class DownloadEngineBackend {
 public:
  virtual ~DownloadEngineBackend() = default;
  // The engine under test.
  virtual DownloadEngine& Engine() = 0;
  // Certificate services of the same backend, to tell a certificate from other bytes.
  virtual CertServices& Services() = 0;
  // The address of a path that serves the DER of a certificate, and those bytes.
  virtual std::u16string DerAddress() = 0;
  virtual Bytes DerBytes() = 0;
  // The address of a path the server does not have.
  virtual std::u16string MissingAddress() = 0;
  // The address of a path whose answer never comes.
  virtual std::u16string StalledAddress() = 0;
};

// Makes a fresh backend for each test.
using DownloadEngineBackendFactory = BackendFactory<DownloadEngineBackend>;

// The suite: INSTANTIATE_TEST_SUITE_P(Backend, DownloadEngineContract, ::testing::Values(factory)).
class DownloadEngineContract : public BackendSuite<DownloadEngineBackend> {};

}  // namespace digital_id::contracts
