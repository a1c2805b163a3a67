#include "demo_pki.h"

#include <openssl/pem.h>

#include <array>
#include <filesystem>
#include <system_error>

#include "certificate_builder.h"
#include "file_io.h"
#include "openssl_error.h"

namespace digital_id::test_server {

namespace {

constexpr int kKeyBits = 2048;
constexpr long kCaValidDays = 3650;
constexpr long kServerValidDays = 825;

// File stem of each member, in the order the members are made.
constexpr std::array<const char*, 6> kStems = {"root",     "issuing-ca",   "server",
                                               "other-ca", "other-server", "untrusted-server"};

std::array<CertifiedKey*, 6> Members(DemoPki& pki) {
  return {&pki.root,    &pki.issuingCa,   &pki.server,
          &pki.otherCa, &pki.otherServer, &pki.untrustedServer};
}

std::string CertificatePath(const std::string& folder, const char* stem) {
  return folder + "/" + stem + ".cert.pem";
}

std::string KeyPath(const std::string& folder, const char* stem) {
  return folder + "/" + stem + ".key.pem";
}

std::vector<std::pair<int, std::string>> CaExtensions(bool isRoot) {
  std::vector<std::pair<int, std::string>> extensions = {
      {NID_basic_constraints, isRoot ? "critical,CA:TRUE" : "critical,CA:TRUE,pathlen:0"},
      {NID_key_usage, "critical,keyCertSign,cRLSign,digitalSignature"},
      {NID_subject_key_identifier, "hash"}};
  if (!isRoot) extensions.emplace_back(NID_authority_key_identifier, "keyid:always");
  return extensions;
}

std::vector<std::pair<int, std::string>> ServerExtensions(bool selfSigned) {
  std::vector<std::pair<int, std::string>> extensions = {
      {NID_basic_constraints, "critical,CA:FALSE"},
      {NID_key_usage, "critical,digitalSignature,keyEncipherment"},
      {NID_ext_key_usage, "serverAuth"},
      {NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1"},
      {NID_subject_key_identifier, "hash"}};
  if (!selfSigned) extensions.emplace_back(NID_authority_key_identifier, "keyid:always");
  return extensions;
}

// Makes a key and a certificate for it; issuer null makes it self-signed.
std::optional<CertifiedKey> MakeMember(const std::vector<NameAttribute>& subject,
                                       const CertifiedKey* issuer, long validDays,
                                       std::vector<std::pair<int, std::string>> extensions,
                                       std::string& error) {
  CertifiedKey member;
  member.key = GenerateRsaKey(kKeyBits);
  X509NamePtr name = MakeName(subject);
  if (!member.key || !name) {
    error = "key or name: " + TakeOpenSslError();
    return std::nullopt;
  }
  CertificateProfile profile;
  profile.subject = name.get();
  profile.publicKey = member.key.get();
  profile.issuer = issuer != nullptr ? issuer->certificate.get() : nullptr;
  profile.signingKey = issuer != nullptr ? issuer->key.get() : member.key.get();
  profile.validDays = validDays;
  profile.extensions = std::move(extensions);
  member.certificate = BuildCertificate(profile, error);
  if (!member.certificate) return std::nullopt;
  return member;
}

std::optional<DemoPki> CreatePki(std::string& error) {
  const NameAttribute country{"C", "XX"};
  const NameAttribute organisation{"O", "Example Org"};
  DemoPki pki;
  auto root = MakeMember({country, organisation, {"CN", "Example Root CA"}}, nullptr, kCaValidDays,
                         CaExtensions(true), error);
  if (!root) return std::nullopt;
  pki.root = std::move(*root);
  auto issuing = MakeMember({country, organisation, {"CN", "Example Issuing CA"}}, &pki.root,
                            kCaValidDays, CaExtensions(false), error);
  if (!issuing) return std::nullopt;
  pki.issuingCa = std::move(*issuing);
  auto other = MakeMember({country, organisation, {"CN", "Other Issuing CA"}}, &pki.root,
                          kCaValidDays, CaExtensions(false), error);
  if (!other) return std::nullopt;
  pki.otherCa = std::move(*other);
  const std::vector<NameAttribute> serverName = {country, organisation, {"CN", "localhost"}};
  auto server =
      MakeMember(serverName, &pki.issuingCa, kServerValidDays, ServerExtensions(false), error);
  if (!server) return std::nullopt;
  pki.server = std::move(*server);
  auto otherServer =
      MakeMember(serverName, &pki.otherCa, kServerValidDays, ServerExtensions(false), error);
  if (!otherServer) return std::nullopt;
  pki.otherServer = std::move(*otherServer);
  auto untrusted = MakeMember({country, {"O", "Untrusted Org"}, {"CN", "localhost"}}, nullptr,
                              kServerValidDays, ServerExtensions(true), error);
  if (!untrusted) return std::nullopt;
  pki.untrustedServer = std::move(*untrusted);
  return pki;
}

std::string CertificatePem(X509* certificate) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1) return {};
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

std::string KeyPem(EVP_PKEY* key) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (!bio ||
      PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    return {};
  }
  char* data = nullptr;
  const long length = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(length));
}

bool SavePki(const std::string& folder, DemoPki& pki, std::string& error) {
  const auto members = Members(pki);
  for (std::size_t i = 0; i < members.size(); ++i) {
    const std::string certificate = CertificatePem(members[i]->certificate.get());
    const std::string key = KeyPem(members[i]->key.get());
    if (certificate.empty() || key.empty()) {
      error = "cannot encode " + std::string(kStems[i]);
      return false;
    }
    // The key goes first so that a certificate on disk never lacks its key.
    if (!WriteFileAtomically(KeyPath(folder, kStems[i]), key, 0600, error) ||
        !WriteFileAtomically(CertificatePath(folder, kStems[i]), certificate, 0644, error)) {
      return false;
    }
  }
  return true;
}

std::optional<CertifiedKey> LoadMember(const std::string& folder, const char* stem) {
  const auto certificateText = ReadWholeFile(CertificatePath(folder, stem));
  const auto keyText = ReadWholeFile(KeyPath(folder, stem));
  if (!certificateText || !keyText) return std::nullopt;
  BioPtr certificateBio(
      BIO_new_mem_buf(certificateText->data(), static_cast<int>(certificateText->size())));
  BioPtr keyBio(BIO_new_mem_buf(keyText->data(), static_cast<int>(keyText->size())));
  if (!certificateBio || !keyBio) return std::nullopt;
  CertifiedKey member;
  member.certificate.reset(PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
  member.key.reset(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
  if (!member.certificate || !member.key ||
      X509_check_private_key(member.certificate.get(), member.key.get()) != 1) {
    return std::nullopt;
  }
  return member;
}

bool SignedBy(const CertifiedKey& subject, const CertifiedKey& issuer) {
  return X509_verify(subject.certificate.get(), issuer.key.get()) == 1;
}

std::optional<DemoPki> LoadPki(const std::string& folder) {
  DemoPki pki;
  const auto members = Members(pki);
  for (std::size_t i = 0; i < members.size(); ++i) {
    auto member = LoadMember(folder, kStems[i]);
    if (!member) return std::nullopt;
    *members[i] = std::move(*member);
  }
  // A run stopped half-way through writing a new PKI leaves pieces of two; such a set is remade.
  const bool consistent = SignedBy(pki.root, pki.root) && SignedBy(pki.issuingCa, pki.root) &&
                          SignedBy(pki.otherCa, pki.root) && SignedBy(pki.server, pki.issuingCa) &&
                          SignedBy(pki.otherServer, pki.otherCa) &&
                          SignedBy(pki.untrustedServer, pki.untrustedServer);
  if (!consistent) return std::nullopt;
  return pki;
}

}  // namespace

std::optional<DemoPki> LoadOrCreateDemoPki(const std::string& folder, bool& created,
                                           std::string& error) {
  created = false;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = "cannot create " + folder + ": " + ec.message();
    return std::nullopt;
  }
  if (auto loaded = LoadPki(folder)) return loaded;
  auto made = CreatePki(error);
  if (!made || !SavePki(folder, *made, error)) return std::nullopt;
  created = true;
  return made;
}

}  // namespace digital_id::test_server
