#include "platform/linux/x509/openssl_certificate.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>

#include <array>
#include <climits>
#include <ctime>
#include <utility>

namespace digital_id {

namespace {

// Seconds between 1601-01-01 and 1970-01-01, and file-time ticks per second.
constexpr std::int64_t kEpochDifferenceSeconds = 11644473600LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// The DER encoding of a name as OpenSSL keeps it from decoding.
Bytes NameDer(const X509_NAME* name) {
  const unsigned char* der = nullptr;
  size_t length = 0;
  if (name == nullptr || X509_NAME_get0_der(name, &der, &length) != 1 || der == nullptr) {
    return {};
  }
  return Bytes(der, der + length);
}

}  // namespace

std::uint64_t Asn1TimeToFileTime(const ASN1_TIME* time) {
  std::tm parts{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1) {
    return 0;
  }
  const std::int64_t days =
      DaysFromCivil(static_cast<std::int64_t>(parts.tm_year) + 1900,
                    static_cast<unsigned>(parts.tm_mon + 1), static_cast<unsigned>(parts.tm_mday));
  const std::int64_t seconds =
      days * 86400 + parts.tm_hour * 3600 + parts.tm_min * 60 + parts.tm_sec;
  const std::int64_t sinceFileTimeEpoch = seconds + kEpochDifferenceSeconds;
  if (sinceFileTimeEpoch < 0) {
    return 0;
  }
  return static_cast<std::uint64_t>(sinceFileTimeEpoch) *
         static_cast<std::uint64_t>(kTicksPerSecond);
}

OpenSslCertificate::OpenSslCertificate(X509Ptr x509) : x509_(std::move(x509)) {
  unsigned char* der = nullptr;
  const int length = x509_ ? i2d_X509(x509_.get(), &der) : -1;
  if (length > 0 && der != nullptr) {
    der_.assign(der, der + length);
  }
  OPENSSL_free(der);
}

OpenSslCertificate::OpenSslCertificate(X509Ptr x509, Bytes der)
    : x509_(std::move(x509)), der_(std::move(der)) {}

X509Ptr ParseExactDer(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size == 0 || size > static_cast<std::size_t>(LONG_MAX)) {
    return nullptr;
  }
  const unsigned char* cursor = data;
  X509Ptr x509(d2i_X509(nullptr, &cursor, static_cast<long>(size)));
  // Exactly one certificate: trailing bytes after it make the input something else.
  if (!x509 || cursor != data + size) {
    return nullptr;
  }
  return x509;
}

std::unique_ptr<OpenSslCertificate> OpenSslCertificate::FromDer(const std::uint8_t* data,
                                                                std::size_t size) {
  X509Ptr x509 = ParseExactDer(data, size);
  if (!x509) {
    return nullptr;
  }
  // The bytes received are the certificate's encoded form, as the platform keeps them: what is
  // stored, compared and hashed is exactly what was downloaded or issued.
  return std::make_unique<OpenSslCertificate>(std::move(x509), Bytes(data, data + size));
}

std::unique_ptr<OpenSslCertificate> OpenSslCertificate::FromCertificate(
    const Certificate& certificate) {
  const Bytes& der = certificate.Encoded();
  return FromDer(der.data(), der.size());
}

std::uint64_t OpenSslCertificate::NotBefore() const {
  return x509_ ? Asn1TimeToFileTime(X509_get0_notBefore(x509_.get())) : 0;
}

std::uint64_t OpenSslCertificate::NotAfter() const {
  return x509_ ? Asn1TimeToFileTime(X509_get0_notAfter(x509_.get())) : 0;
}

std::string OpenSslCertificate::SignatureAlgorithmOid() const {
  const ASN1_BIT_STRING* signature = nullptr;
  const X509_ALGOR* algorithm = nullptr;
  if (x509_) {
    X509_get0_signature(&signature, &algorithm, x509_.get());
  }
  if (algorithm == nullptr) {
    return {};
  }
  const ASN1_OBJECT* object = nullptr;
  X509_ALGOR_get0(&object, nullptr, nullptr, algorithm);
  if (object == nullptr) {
    return {};
  }
  std::array<char, 128> text{};
  const int length = OBJ_obj2txt(text.data(), static_cast<int>(text.size()), object, 1);
  if (length <= 0 || static_cast<std::size_t>(length) >= text.size()) {
    return {};
  }
  return std::string(text.data(), static_cast<std::size_t>(length));
}

Bytes OpenSslCertificate::EncodedIssuer() const {
  return x509_ ? NameDer(X509_get_issuer_name(x509_.get())) : Bytes();
}

Bytes OpenSslCertificate::EncodedSubject() const {
  return x509_ ? NameDer(X509_get_subject_name(x509_.get())) : Bytes();
}

}  // namespace digital_id
