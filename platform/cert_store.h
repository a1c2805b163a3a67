#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace digital_id {

using Bytes = std::vector<std::uint8_t>;

// Whose system stores: the current user's or the local machine's.
enum class StoreLocation {
  CurrentUser,
  LocalMachine,
};

// Digest used for a thumbprint.
enum class ThumbprintAlgorithm {
  Sha1,    // CALG_SHA1, 20 bytes
  Sha256,  // CALG_SHA_256, 32 bytes
};

// One certificate context. Owned by whoever obtained it; destroying it releases it.
class Certificate {
 public:
  virtual ~Certificate() = default;

  // Start of the validity period as a UTC file time.
  virtual std::uint64_t NotBefore() const = 0;
  // End of the validity period as a UTC file time.
  virtual std::uint64_t NotAfter() const = 0;
  // Signature-algorithm identifier as dotted text, e.g. "1.2.840.113549.1.1.11".
  virtual std::string SignatureAlgorithmOid() const = 0;
  // The whole DER encoding of the certificate.
  virtual const Bytes& Encoded() const = 0;
  // The DER encoding of the issuer name.
  virtual Bytes EncodedIssuer() const = 0;
  // The DER encoding of the subject name.
  virtual Bytes EncodedSubject() const = 0;
};

using CertificatePtr = std::unique_ptr<Certificate>;

// An open system store. Destroying it closes it (CERT_CLOSE_STORE_FORCE_FLAG).
class CertStore {
 public:
  virtual ~CertStore() = default;

  // The first certificate, in store order, whose subject's simple-name rendering contains text
  // (case-insensitive); null when none does. An empty text matches every certificate.
  virtual CertificatePtr FindFirstBySubject(const std::u16string& text) = 0;
  // Adds a copy of the certificate whatever the store holds (CERT_STORE_ADD_ALWAYS); false when
  // the add is refused. May block while the platform asks the user.
  virtual bool Add(const Certificate& certificate) = 0;
  // Removes a certificate found in this store; the context is released either way.
  virtual bool Delete(CertificatePtr found) = 0;
};

// Certificate functions and system stores.
class CertServices {
 public:
  virtual ~CertServices() = default;

  // Opens a named system store ("CA", "Root", "My") at a location; null when it cannot be
  // opened (a machine store without administrator rights, for instance).
  virtual std::unique_ptr<CertStore> OpenSystemStore(StoreLocation location,
                                                     const std::u16string& name) = 0;
  // A certificate from DER bytes; null unless the bytes are exactly one certificate.
  virtual CertificatePtr CreateFromDer(const std::uint8_t* data, std::size_t size) = 0;
  // Digest of the certificate's whole encoded form; empty when it cannot be computed.
  virtual Bytes Thumbprint(ThumbprintAlgorithm algorithm, const Certificate& certificate) = 0;
  // Renders an encoded X.509 name as a simple-name string (values only, ", " between RDNs,
  // " + " inside a multi-valued RDN, quoted as the platform does), cut to bufferChars - 1.
  virtual std::u16string NameToSimpleString(const Bytes& encodedName, std::size_t bufferChars) = 0;
};

}  // namespace digital_id
