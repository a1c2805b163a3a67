#include "tls_test_pki.h"

#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>
#include <stdlib.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/linux/openssl_handles.h"

namespace digital_id::tls_test {

namespace {

constexpr long kDay = 24L * 3600;

// What one certificate is made of.
struct CertificatePlan {
  std::string commonName;
  const char* subjectAltName = nullptr;  // nullptr for none
  bool isCa = false;
  long notBeforeOffset = -kDay;  // seconds from now
  long notAfterOffset = 30 * kDay;
};

void Require(bool condition, const char* what) {
  if (!condition) {
    throw std::runtime_error(std::string("test PKI: ") + what);
  }
}

EvpPkeyPtr NewRsaKey() {
  EvpPkeyPtr key(EVP_RSA_gen(2048));
  Require(key != nullptr, "RSA key");
  return key;
}

// A name of PrintableStrings: C=CA, O=Digital ID Tests, CN=commonName.
X509NamePtr PrintableName(const std::string& commonName) {
  X509NamePtr name(X509_NAME_new());
  Require(name != nullptr, "name");
  const auto add = [&](const char* field, const std::string& value) {
    Require(X509_NAME_add_entry_by_txt(name.get(), field, V_ASN1_PRINTABLESTRING,
                                       reinterpret_cast<const unsigned char*>(value.c_str()), -1,
                                       -1, 0) == 1,
            "name entry");
  };
  add("C", "CA");
  add("O", "Digital ID Tests");
  add("CN", commonName);
  return name;
}

void AddExtension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  Require(extension != nullptr, "extension");
  const int added = X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
  Require(added == 1, "add extension");
}

// A certificate for key, signed by issuerKey under issuer (itself when issuer is null).
X509Ptr MakeCertificate(const CertificatePlan& plan, EVP_PKEY* key, X509* issuer,
                        EVP_PKEY* issuerKey) {
  static long serial = 1;
  X509Ptr certificate(X509_new());
  Require(certificate != nullptr, "certificate");
  X509* raw = certificate.get();
  X509_set_version(raw, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(raw), serial++);
  X509_gmtime_adj(X509_getm_notBefore(raw), plan.notBeforeOffset);
  X509_gmtime_adj(X509_getm_notAfter(raw), plan.notAfterOffset);
  const X509NamePtr subject = PrintableName(plan.commonName);
  X509_set_subject_name(raw, subject.get());
  X509_set_issuer_name(raw, issuer != nullptr ? X509_get_subject_name(issuer) : subject.get());
  X509_set_pubkey(raw, key);
  X509* signer = issuer != nullptr ? issuer : raw;
  AddExtension(raw, signer, NID_basic_constraints, plan.isCa ? "critical,CA:TRUE" : "CA:FALSE");
  AddExtension(
      raw, signer, NID_key_usage,
      plan.isCa ? "critical,keyCertSign,cRLSign" : "critical,digitalSignature,keyEncipherment");
  if (!plan.isCa) {
    AddExtension(raw, signer, NID_ext_key_usage, "serverAuth");
  }
  if (plan.subjectAltName != nullptr) {
    AddExtension(raw, signer, NID_subject_alt_name, plan.subjectAltName);
  }
  Require(X509_sign(raw, issuerKey != nullptr ? issuerKey : key, EVP_sha256()) > 0, "sign");
  return certificate;
}

Bytes Der(X509* certificate) {
  unsigned char* der = nullptr;
  const int length = i2d_X509(certificate, &der);
  Require(length > 0, "DER");
  Bytes bytes(der, der + length);
  OPENSSL_free(der);
  return bytes;
}

void WritePem(const std::filesystem::path& path, X509* certificate) {
  BioPtr file(BIO_new_file(path.c_str(), "w"));
  Require(file != nullptr && PEM_write_bio_X509(file.get(), certificate) == 1, "write PEM");
}

void WriteKey(const std::filesystem::path& path, EVP_PKEY* key) {
  BioPtr file(BIO_new_file(path.c_str(), "w"));
  Require(file != nullptr &&
              PEM_write_bio_PrivateKey(file.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1,
          "write key");
}

std::filesystem::path MakeTemporaryFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "tls-engine-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  Require(mkdtemp(buffer.data()) != nullptr, "temporary folder");
  return std::filesystem::path(buffer.data());
}

}  // namespace

const TestPki& TestPki::Get() {
  static const TestPki pki;
  return pki;
}

TestPki::TestPki() : folder_(MakeTemporaryFolder()) {
  const EvpPkeyPtr rootKey = NewRsaKey();
  const EvpPkeyPtr intermediateKey = NewRsaKey();
  const EvpPkeyPtr leafKey = NewRsaKey();
  const char* kLocalNames = "DNS:localhost,IP:127.0.0.1";

  const X509Ptr root = MakeCertificate({"Digital ID Test Root", nullptr, true, -kDay, 3650 * kDay},
                                       rootKey.get(), nullptr, nullptr);
  const X509Ptr intermediate =
      MakeCertificate({"Digital ID Test Issuing CA", nullptr, true, -kDay, 1000 * kDay},
                      intermediateKey.get(), root.get(), rootKey.get());
  const auto leaf = [&](const CertificatePlan& plan) {
    return MakeCertificate(plan, leafKey.get(), intermediate.get(), intermediateKey.get());
  };
  const X509Ptr good = leaf({"localhost", kLocalNames});
  const X509Ptr expired = leaf({"localhost", kLocalNames, false, -60 * kDay, -30 * kDay});
  const X509Ptr wrongName = leaf({"wrong.example", "DNS:wrong.example,IP:192.0.2.7"});
  const X509Ptr selfSigned =
      MakeCertificate({"localhost", kLocalNames}, leafKey.get(), nullptr, nullptr);

  rootDer_ = Der(root.get());
  goodLeafDer_ = Der(good.get());
  WriteKey(folder_ / "leaf-key.pem", leafKey.get());
  WritePem(folder_ / "intermediate.pem", intermediate.get());
  WritePem(folder_ / "leaf-good.pem", good.get());
  WritePem(folder_ / "leaf-expired.pem", expired.get());
  WritePem(folder_ / "leaf-wrong-name.pem", wrongName.get());
  WritePem(folder_ / "self-signed.pem", selfSigned.get());
}

TestPki::~TestPki() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

}  // namespace digital_id::tls_test
