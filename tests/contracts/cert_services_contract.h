#pragma once

// What every backend's certificate services do alike, as one suite that each backend
// instantiates with a backend of its own: a certificate added to a store is found by its subject,
// thumbprints equal the openssl command line's fingerprints, bytes that are not exactly one DER
// certificate give none, and names render as simple strings.

#include <string>

#include "platform/cert_store.h"
#include "tests/contracts/backend_suite.h"

namespace digital_id::contracts {

// The suite's test certificates, self-signed and made with the openssl command line (names as
// PrintableString where they can be): Plain has the subject /C=XX/O=Example Org/CN=<the backend's
// common name>, Names has /C=XX/O=Example, Org/OU=Unit A+CN=Multi Value/CN=Say "Hi".
enum class ContractCertificate { Plain, Names };

// What one backend gives the suite.
class CertServicesBackend {
 public:
  virtual ~CertServicesBackend() = default;
  // The services under test.
  virtual CertServices& Services() = 0;
  // The DER of a test certificate; empty when it is missing.
  virtual Bytes Der(ContractCertificate which) = 0;
  // The common name in the subject of the Plain certificate.
  virtual std::u16string PlainCommonName() = 0;
  // The fingerprint that openssl x509 -fingerprint printed for a test certificate, as bytes.
  virtual Bytes OpenSslFingerprint(ContractCertificate which, ThumbprintAlgorithm algorithm) = 0;
  // A current-user store the suite may fill freely (besides CA and My).
  virtual std::u16string ScratchStore() = 0;
};

// Makes a fresh backend for each test.
using CertServicesBackendFactory = BackendFactory<CertServicesBackend>;

// The suite: INSTANTIATE_TEST_SUITE_P(Backend, CertServicesContract, ::testing::Values(factory)).
class CertServicesContract : public BackendSuite<CertServicesBackend> {};

}  // namespace digital_id::contracts
