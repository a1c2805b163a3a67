#include "certificate_issuer.h"

#include <vector>

#include "base64.h"
#include "certificate_builder.h"
#include "openssl_error.h"

namespace digital_id::test_server {

namespace {

constexpr std::size_t kMaxCommonNameCharacters = 64;

// Latin-1 bytes to UTF-8, control characters replaced, cut to the longest common name allowed.
std::string CommonNameFromIdentity(std::string_view identity) {
  std::string name;
  std::size_t characters = 0;
  for (const char c : identity) {
    if (characters++ == kMaxCommonNameCharacters) break;
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      name += '?';
    } else if (byte < 0x80) {
      name += c;
    } else {
      name += static_cast<char>(0xC0 | (byte >> 6));
      name += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return name;
}

std::string CertsOnlyPkcs7(const std::vector<X509*>& chain, std::string& error) {
  Pkcs7Ptr pkcs7(PKCS7_new());
  bool built = pkcs7 && PKCS7_set_type(pkcs7.get(), NID_pkcs7_signed) == 1 &&
               PKCS7_content_new(pkcs7.get(), NID_pkcs7_data) == 1;
  for (X509* certificate : chain) {
    built = built && PKCS7_add_certificate(pkcs7.get(), certificate) == 1;
  }
  // No content at all, as a plain certificate bundle carries.
  built = built && PKCS7_set_detached(pkcs7.get(), 1) == 1;
  if (!built) {
    error = "PKCS #7: " + TakeOpenSslError();
    return {};
  }
  const int length = i2d_PKCS7(pkcs7.get(), nullptr);
  if (length <= 0) {
    error = "PKCS #7 encoding: " + TakeOpenSslError();
    return {};
  }
  std::string der(static_cast<std::size_t>(length), '\0');
  auto* out = reinterpret_cast<unsigned char*>(der.data());
  if (i2d_PKCS7(pkcs7.get(), &out) != length) {
    error = "PKCS #7 encoding: " + TakeOpenSslError();
    return {};
  }
  return EncodeBase64Lines(der);
}

}  // namespace

X509ReqPtr ParseCertificateRequest(std::string_view encodedRequest, std::string& error) {
  const auto der = DecodeBase64Lines(encodedRequest);
  if (!der) {
    error = "request is not Base64";
    return nullptr;
  }
  const auto* in = reinterpret_cast<const unsigned char*>(der->data());
  X509ReqPtr request(d2i_X509_REQ(nullptr, &in, static_cast<long>(der->size())));
  if (!request || in != reinterpret_cast<const unsigned char*>(der->data()) + der->size()) {
    error = "request is not one PKCS #10 request";
    TakeOpenSslError();
    return nullptr;
  }
  EVP_PKEY* key = X509_REQ_get0_pubkey(request.get());
  if (key == nullptr || X509_REQ_verify(request.get(), key) != 1) {
    error = "request signature does not verify";
    TakeOpenSslError();
    return nullptr;
  }
  return request;
}

std::string IssueClientCertificate(X509_REQ* request, std::string_view identity, const DemoPki& pki,
                                   long validDays, std::string& error, std::size_t paddingCopies) {
  X509NamePtr subject = MakeName({{"O", "Example Org"}, {"CN", CommonNameFromIdentity(identity)}});
  EVP_PKEY* publicKey = X509_REQ_get0_pubkey(request);
  if (!subject || publicKey == nullptr) {
    error = "subject or key: " + TakeOpenSslError();
    return {};
  }
  CertificateProfile profile;
  profile.subject = subject.get();
  profile.publicKey = publicKey;
  profile.issuer = pki.issuingCa.certificate.get();
  profile.signingKey = pki.issuingCa.key.get();
  profile.validDays = validDays;
  profile.extensions = {{NID_basic_constraints, "critical,CA:FALSE"},
                        {NID_key_usage, "critical,digitalSignature,keyEncipherment"},
                        {NID_ext_key_usage, "clientAuth"},
                        {NID_subject_key_identifier, "hash"},
                        {NID_authority_key_identifier, "keyid:always"}};
  X509Ptr leaf = BuildCertificate(profile, error);
  if (!leaf) return {};
  std::vector<X509*> chain = {leaf.get(), pki.issuingCa.certificate.get(),
                              pki.root.certificate.get()};
  chain.insert(chain.end(), paddingCopies, pki.issuingCa.certificate.get());
  return CertsOnlyPkcs7(chain, error);
}

}  // namespace digital_id::test_server
