#include "platform/linux/enrollment/openssl_enrollment_objects.h"

#include <optional>
#include <utility>
#include <vector>

#include "platform/linux/enrollment/base64_text.h"
#include "platform/linux/enrollment/pkcs7_response.h"
#include "platform/linux/x509/enrollment_keys.h"
#include "platform/linux/x509/openssl_certificate.h"

namespace digital_id {

namespace {

constexpr const char16_t* kRequestStore = u"REQUEST";
constexpr const char16_t* kPersonalStore = u"My";
constexpr const char16_t* kCaStore = u"CA";

StoreLocation LocationOf(EnrollmentContext context) {
  return context == EnrollmentContext::Machine ? StoreLocation::LocalMachine
                                               : StoreLocation::CurrentUser;
}

// The response as 8-bit text; nullopt when it holds a character outside ASCII.
std::optional<std::string> NarrowAscii(const std::u16string& text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (const char16_t c : text) {
    if (c > 0x7F) {
      return std::nullopt;
    }
    narrow.push_back(static_cast<char>(c));
  }
  return narrow;
}

// The leaf of a response and the pending key whose public key it carries.
struct Match {
  std::size_t certificateIndex = 0;
  StoredKey key;
  EvpPkeyPtr privateKey;  // the pending key, parsed
};

std::optional<Match> FindLeaf(const std::vector<X509Ptr>& certificates,
                              const std::vector<StoredKey>& keys) {
  std::vector<EvpPkeyPtr> parsed;
  for (const StoredKey& key : keys) {
    parsed.push_back(PrivateKeyFromPem(key.pem));
  }
  for (std::size_t c = 0; c < certificates.size(); ++c) {
    EVP_PKEY* publicKey = X509_get0_pubkey(certificates[c].get());
    for (std::size_t k = 0; publicKey != nullptr && k < keys.size(); ++k) {
      if (parsed[k] && EVP_PKEY_eq(publicKey, parsed[k].get()) == 1) {
        return Match{c, keys[k], std::move(parsed[k])};
      }
    }
  }
  return std::nullopt;
}

// Entries written by one installation, removed again when a later step fails.
class InstallRollback {
 public:
  InstallRollback(FileCertStore& personal, FileCertStore& ca) : personal_(personal), ca_(ca) {}
  InstallRollback(const InstallRollback&) = delete;
  InstallRollback& operator=(const InstallRollback&) = delete;
  ~InstallRollback() {
    if (committed_) {
      return;
    }
    for (const std::string& stem : caStems_) {
      ca_.RemoveEntry(stem);
    }
    if (personalStem_) {
      personal_.RemoveEntry(*personalStem_);
    }
  }

  void PersonalAdded(std::string stem) { personalStem_ = std::move(stem); }
  void CaAdded(std::string stem) { caStems_.push_back(std::move(stem)); }
  void Commit() { committed_ = true; }

 private:
  FileCertStore& personal_;
  FileCertStore& ca_;
  std::optional<std::string> personalStem_;
  std::vector<std::string> caStems_;
  bool committed_ = false;
};

// Removes from REQUEST every pending key that My already holds beside its certificate: an
// installation that was cut short after My received the pair but before the pending copy left
// REQUEST.
void RemoveInstalledPendingKeys(FileCertStore& pending, const FileCertStore& personal) {
  const std::vector<StoredKey> installed = personal.Keys();
  for (const StoredKey& key : pending.Keys()) {
    for (const StoredKey& pair : installed) {
      if (pair.pem == key.pem) {
        pending.RemoveEntry(key.stem);
        break;
      }
    }
  }
}

}  // namespace

OpenSslEnrollmentObjects::OpenSslEnrollmentObjects(FileCertServices& services,
                                                   PublicationHooks* hooks)
    : services_(services), hooks_(hooks) {}

std::u16string OpenSslEnrollmentObjects::CreateRequest(EnrollmentPath /*path*/,
                                                       EnrollmentContext context) {
  try {
    EvpPkeyPtr key = GenerateRsaKey();
    if (!key) {
      return {};
    }
    const Bytes request = MakePkcs10Request(key.get());
    const SecretBytes pem = PrivateKeyToPem(key.get());
    auto pending = services_.OpenFileStore(LocationOf(context), kRequestStore);
    if (request.empty() || pem.empty() || !pending ||
        !pending->AddKey(PublicKeyTag(key.get()), pem)) {
      return {};
    }
    const std::string base64 = EncodeBase64Lines(request);
    return std::u16string(base64.begin(), base64.end());
  } catch (...) {
    return {};
  }
}

std::int32_t OpenSslEnrollmentObjects::InstallResponse(EnrollmentPath /*path*/,
                                                       EnrollmentContext context,
                                                       const std::u16string& response) {
  IssuedIdentity installed;  // what the hooks are told of once the installation succeeded
  try {
    const auto text = NarrowAscii(response);
    const auto der = text ? DecodeBase64Any(*text) : std::nullopt;
    if (!der) {
      return kEInvalidData;
    }
    const std::vector<X509Ptr> certificates = ResponseCertificates(*der);
    if (certificates.empty()) {
      return kCryptEAsn1Eod;
    }
    const StoreLocation location = LocationOf(context);
    auto pending = services_.OpenFileStore(location, kRequestStore);
    auto personal = services_.OpenFileStore(location, kPersonalStore);
    auto ca = services_.OpenFileStore(location, kCaStore);
    if (!pending || !personal || !ca) {
      return kEAccessDenied;
    }
    RemoveInstalledPendingKeys(*pending, *personal);
    auto match = FindLeaf(certificates, pending->Keys());
    if (!match) {
      return kCryptENotFound;
    }

    InstallRollback rollback(*personal, *ca);
    const OpenSslCertificate leaf(X509Ptr(X509_dup(certificates[match->certificateIndex].get())));
    const auto personalStem = personal->AddWithKey(leaf, match->key.pem);
    if (!personalStem) {
      return kEnrollFail;
    }
    rollback.PersonalAdded(*personalStem);
    for (std::size_t i = 0; i < certificates.size(); ++i) {
      if (i == match->certificateIndex) {
        continue;
      }
      const OpenSslCertificate chainCertificate(X509Ptr(X509_dup(certificates[i].get())));
      // A certificate CA already holds (from an earlier enrollment, or twice in this chain) is
      // not added again.
      if (chainCertificate.Encoded().empty() || ca->Contains(chainCertificate.Encoded())) {
        continue;
      }
      const auto caStem = ca->AddWithKey(chainCertificate, {});
      if (!caStem) {
        return kEnrollFail;
      }
      rollback.CaAdded(*caStem);
    }
    if (!pending->RemoveEntry(match->key.stem)) {
      return kEnrollFail;
    }
    rollback.Commit();
    installed.stem = *personalStem;
    installed.certificate = X509Ptr(X509_dup(leaf.Native()));
    installed.key = std::move(match->privateKey);
  } catch (...) {
    return kEnrollFail;
  }
  if (hooks_ != nullptr) {
    hooks_->IdentityInstalled(LocationOf(context), std::move(installed));
  }
  return 0;
}

}  // namespace digital_id
