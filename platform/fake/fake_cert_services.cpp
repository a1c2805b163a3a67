#include "platform/fake/fake_cert_services.h"

#include <cstring>
#include <optional>

namespace digital_id::fake {

namespace {

constexpr char kMagic[] = "FAKECERT";

void PutField(Bytes& out, const std::uint8_t* data, std::size_t size) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((size >> shift) & 0xFF);
  out.insert(out.end(), data, data + size);
}

void PutText(Bytes& out, const std::string& text) {
  PutField(out, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void PutNumber(Bytes& out, std::uint64_t value) {
  std::uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = (value >> (56 - 8 * i)) & 0xFF;
  PutField(out, bytes, 8);
}

// Reads the fields of an encoded fake certificate; nullopt unless the bytes are exactly one.
class FieldReader {
 public:
  FieldReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::optional<Bytes> Next() {
    if (size_ - pos_ < 4) return std::nullopt;
    std::size_t length = 0;
    for (int i = 0; i < 4; ++i) length = (length << 8) | data_[pos_ + i];
    pos_ += 4;
    if (size_ - pos_ < length) return std::nullopt;
    Bytes field(data_ + pos_, data_ + pos_ + length);
    pos_ += length;
    return field;
  }
  bool AtEnd() const { return pos_ == size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

std::u16string DecodeName(const Bytes& bytes) {
  std::u16string name;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    name.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return name;
}

std::uint64_t DecodeNumber(const Bytes& bytes) {
  std::uint64_t value = 0;
  for (std::uint8_t b : bytes) value = (value << 8) | b;
  return value;
}

char16_t Lower(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? c - u'A' + u'a' : c;
}

bool ContainsIgnoringCase(const std::u16string& haystack, const std::u16string& needle) {
  if (needle.size() > haystack.size()) return false;
  for (std::size_t start = 0; start + needle.size() <= haystack.size(); ++start) {
    bool match = true;
    for (std::size_t i = 0; i < needle.size() && match; ++i) {
      match = Lower(haystack[start + i]) == Lower(needle[i]);
    }
    if (match) return true;
  }
  return false;
}

}  // namespace

Bytes EncodeFakeName(const std::u16string& simpleName) {
  Bytes bytes;
  for (char16_t c : simpleName) {
    bytes.push_back(c & 0xFF);
    bytes.push_back((c >> 8) & 0xFF);
  }
  return bytes;
}

Bytes EncodeFakeCertificate(const FakeCertificateData& data) {
  Bytes out(kMagic, kMagic + sizeof(kMagic) - 1);
  const Bytes subject = EncodeFakeName(data.subject);
  const Bytes issuer = EncodeFakeName(data.issuer);
  PutField(out, subject.data(), subject.size());
  PutField(out, issuer.data(), issuer.size());
  PutNumber(out, data.notBefore);
  PutNumber(out, data.notAfter);
  PutText(out, data.oid);
  PutText(out, data.serial);
  return out;
}

FakeCertificate::FakeCertificate(FakeCertificateData data)
    : data_(std::move(data)), encoded_(EncodeFakeCertificate(data_)) {}

Bytes FakeCertificate::EncodedIssuer() const {
  return EncodeFakeName(data_.issuer);
}

Bytes FakeCertificate::EncodedSubject() const {
  return EncodeFakeName(data_.subject);
}

FakeCertStore::FakeCertStore(FakeCertServices& services,
                             std::pair<StoreLocation, std::u16string> key)
    : services_(services), key_(std::move(key)) {}

CertificatePtr FakeCertStore::FindFirstBySubject(const std::u16string& text) {
  std::lock_guard lock(services_.lock_);
  for (const FakeCertificateData& data : services_.stores_[key_]) {
    if (ContainsIgnoringCase(data.subject, text)) return std::make_unique<FakeCertificate>(data);
  }
  return nullptr;
}

bool FakeCertStore::Add(const Certificate& certificate) {
  std::lock_guard lock(services_.lock_);
  if (services_.refusingAdds_.count(key_) != 0) return false;
  const auto* fakeCertificate = dynamic_cast<const FakeCertificate*>(&certificate);
  if (fakeCertificate == nullptr) return false;
  services_.stores_[key_].push_back(fakeCertificate->Data());
  ++services_.adds_;
  return true;
}

bool FakeCertStore::Delete(CertificatePtr found) {
  std::lock_guard lock(services_.lock_);
  if (!found) return false;
  auto& certificates = services_.stores_[key_];
  for (auto it = certificates.begin(); it != certificates.end(); ++it) {
    if (EncodeFakeCertificate(*it) == found->Encoded()) {
      certificates.erase(it);
      ++services_.deletes_;
      return true;
    }
  }
  return false;
}

std::unique_ptr<CertStore> FakeCertServices::OpenSystemStore(StoreLocation location,
                                                             const std::u16string& name) {
  std::lock_guard lock(lock_);
  const Key key{location, name};
  ++openCounts_[key];
  if (unopenable_.count(key) != 0) return nullptr;
  ++openStores_;
  // The store reports its closing so that tests can see every store closed.
  struct ClosingStore : FakeCertStore {
    ClosingStore(FakeCertServices& services, Key key)
        : FakeCertStore(services, std::move(key)), owner(services) {}
    ~ClosingStore() override {
      std::lock_guard lock(owner.lock_);
      --owner.openStores_;
    }
    FakeCertServices& owner;
  };
  return std::make_unique<ClosingStore>(*this, key);
}

CertificatePtr FakeCertServices::CreateFromDer(const std::uint8_t* data, std::size_t size) {
  const std::size_t magicLength = sizeof(kMagic) - 1;
  if (data == nullptr || size < magicLength || std::memcmp(data, kMagic, magicLength) != 0) {
    return nullptr;
  }
  FieldReader reader(data + magicLength, size - magicLength);
  auto subject = reader.Next();
  auto issuer = reader.Next();
  auto notBefore = reader.Next();
  auto notAfter = reader.Next();
  auto oid = reader.Next();
  auto serial = reader.Next();
  if (!serial || !reader.AtEnd() || notBefore->size() != 8 || notAfter->size() != 8) {
    return nullptr;
  }
  FakeCertificateData fields;
  fields.subject = DecodeName(*subject);
  fields.issuer = DecodeName(*issuer);
  fields.notBefore = DecodeNumber(*notBefore);
  fields.notAfter = DecodeNumber(*notAfter);
  fields.oid.assign(oid->begin(), oid->end());
  fields.serial.assign(serial->begin(), serial->end());
  return std::make_unique<FakeCertificate>(fields);
}

Bytes FakeCertServices::Thumbprint(ThumbprintAlgorithm algorithm, const Certificate& certificate) {
  // Not a real digest: a deterministic, content-dependent value of the right length.
  const std::size_t length = algorithm == ThumbprintAlgorithm::Sha1 ? 20 : 32;
  std::uint64_t hash = algorithm == ThumbprintAlgorithm::Sha1 ? 1469598103934665603ULL : 7;
  for (std::uint8_t b : certificate.Encoded()) hash = (hash ^ b) * 1099511628211ULL;
  Bytes digest;
  while (digest.size() < length) {
    hash = (hash ^ digest.size()) * 1099511628211ULL;
    digest.push_back(static_cast<std::uint8_t>(hash >> 56));
  }
  return digest;
}

std::u16string FakeCertServices::NameToSimpleString(const Bytes& encodedName,
                                                    std::size_t bufferChars) {
  std::u16string name = DecodeName(encodedName);
  if (bufferChars == 0) return {};
  if (name.size() > bufferChars - 1) name.resize(bufferChars - 1);
  return name;
}

void FakeCertServices::Put(StoreLocation location, const std::u16string& store,
                           const FakeCertificateData& data) {
  std::lock_guard lock(lock_);
  stores_[{location, store}].push_back(data);
}

void FakeCertServices::MakeUnopenable(StoreLocation location, const std::u16string& store) {
  std::lock_guard lock(lock_);
  unopenable_.insert({location, store});
}

void FakeCertServices::RefuseAdds(StoreLocation location, const std::u16string& store) {
  std::lock_guard lock(lock_);
  refusingAdds_.insert({location, store});
}

std::vector<FakeCertificateData> FakeCertServices::Contents(StoreLocation location,
                                                            const std::u16string& store) const {
  std::lock_guard lock(lock_);
  auto found = stores_.find({location, store});
  return found == stores_.end() ? std::vector<FakeCertificateData>{} : found->second;
}

int FakeCertServices::OpenCount(StoreLocation location, const std::u16string& store) const {
  std::lock_guard lock(lock_);
  auto found = openCounts_.find({location, store});
  return found == openCounts_.end() ? 0 : found->second;
}

int FakeCertServices::AddCount() const {
  std::lock_guard lock(lock_);
  return adds_;
}

int FakeCertServices::DeleteCount() const {
  std::lock_guard lock(lock_);
  return deletes_;
}

int FakeCertServices::OpenStores() const {
  std::lock_guard lock(lock_);
  return openStores_;
}

}  // namespace digital_id::fake
