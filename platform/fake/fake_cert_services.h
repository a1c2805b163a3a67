#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/cert_store.h"
#include "platform/lock.h"

namespace digital_id::fake {

inline constexpr const char* kSha256RsaOid = "1.2.840.113549.1.1.11";
inline constexpr const char* kSha1RsaOid = "1.2.840.113549.1.1.5";

// The fields of a fake certificate. Its encoded form is a self-describing byte string that
// FakeCertServices::CreateFromDer reads back; names are encoded as UTF-16LE simple-name text.
struct FakeCertificateData {
  std::u16string subject = u"Example Issuing CA";
  std::u16string issuer = u"Example Root CA";
  std::uint64_t notBefore = 0;
  std::uint64_t notAfter = ~0ULL;
  std::string oid = kSha256RsaOid;
  std::string serial = "1";
};

// The encoded form of a fake certificate.
Bytes EncodeFakeCertificate(const FakeCertificateData& data);
// An encoded name: the UTF-16LE bytes of its simple-name text.
Bytes EncodeFakeName(const std::u16string& simpleName);

// A certificate context over fake data.
class FakeCertificate : public Certificate {
 public:
  explicit FakeCertificate(FakeCertificateData data);
  std::uint64_t NotBefore() const override { return data_.notBefore; }
  std::uint64_t NotAfter() const override { return data_.notAfter; }
  std::string SignatureAlgorithmOid() const override { return data_.oid; }
  const Bytes& Encoded() const override { return encoded_; }
  Bytes EncodedIssuer() const override;
  Bytes EncodedSubject() const override;
  const FakeCertificateData& Data() const { return data_; }

 private:
  FakeCertificateData data_;
  Bytes encoded_;
};

class FakeCertServices;

// A store of FakeCertServices; certificates live in the services, so a delete or add persists.
class FakeCertStore : public CertStore {
 public:
  FakeCertStore(FakeCertServices& services, std::pair<StoreLocation, std::u16string> key);
  CertificatePtr FindFirstBySubject(const std::u16string& text) override;
  bool Add(const Certificate& certificate) override;
  bool Delete(CertificatePtr found) override;

 private:
  FakeCertServices& services_;
  std::pair<StoreLocation, std::u16string> key_;
};

// System stores in memory at both locations.
class FakeCertServices : public CertServices {
 public:
  std::unique_ptr<CertStore> OpenSystemStore(StoreLocation location,
                                             const std::u16string& name) override;
  CertificatePtr CreateFromDer(const std::uint8_t* data, std::size_t size) override;
  Bytes Thumbprint(ThumbprintAlgorithm algorithm, const Certificate& certificate) override;
  std::u16string NameToSimpleString(const Bytes& encodedName, std::size_t bufferChars) override;

  // Test controls.
  void Put(StoreLocation location, const std::u16string& store, const FakeCertificateData& data);
  void MakeUnopenable(StoreLocation location, const std::u16string& store);
  void RefuseAdds(StoreLocation location, const std::u16string& store);

  // Observations.
  std::vector<FakeCertificateData> Contents(StoreLocation location,
                                            const std::u16string& store) const;
  int OpenCount(StoreLocation location, const std::u16string& store) const;
  int AddCount() const;
  int DeleteCount() const;
  int OpenStores() const;  // stores opened and not yet closed

 private:
  friend class FakeCertStore;
  using Key = std::pair<StoreLocation, std::u16string>;
  mutable Lock lock_;
  std::map<Key, std::vector<FakeCertificateData>> stores_;
  std::set<Key> unopenable_;
  std::set<Key> refusingAdds_;
  std::map<Key, int> openCounts_;
  int adds_ = 0;
  int deletes_ = 0;
  int openStores_ = 0;
};

}  // namespace digital_id::fake
