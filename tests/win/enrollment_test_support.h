#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <string>
#include <vector>

namespace digital_id::wine_test {

// COM initialised in a single-threaded apartment on the calling thread while this lives.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

// Points the enrollment stand-in's misuse report at a fresh file while this lives, and puts the
// previous report file back afterwards.
class StandInReport {
 public:
  StandInReport();
  ~StandInReport();
  StandInReport(const StandInReport&) = delete;
  StandInReport& operator=(const StandInReport&) = delete;

  // The lines reported so far.
  std::vector<std::string> Lines() const;
  // Whether one of the lines contains text.
  bool Mentions(const std::string& text) const;
  // The report file.
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring previous_;
  std::wstring path_;
};

// The bytes of Base64 text, with or without header lines; empty when it is not Base64.
std::vector<BYTE> FromBase64(const std::wstring& text);

// The SubjectPublicKeyInfo (DER) of a PKCS #10 request; empty when the request is malformed.
// Read here because Wine's crypt32 does not decode requests.
std::vector<BYTE> RequestPublicKey(const std::vector<BYTE>& request);

// Whether a PKCS #10 request is signed by the key it carries.
bool RequestSignatureVerifies(const std::vector<BYTE>& request);

// The key (CERT_KEY_PROV_INFO_PROP_ID, as bytes) that the pending request for a public key is
// joined to, in the REQUEST store of location; empty when no such request is pending.
std::vector<BYTE> PendingRequestKey(DWORD location, const std::vector<BYTE>& publicKey);

// A certs-only PKCS #7, in Base64, answering the pending request for publicKey in location the
// way an issuing CA would: a certificate for the pending key, named by subject, and the
// self-signed root with a key of its own that issued it, whose DER goes to root. Empty when no
// request for the key is pending or on failure.
std::wstring ResponseFor(DWORD location, const std::vector<BYTE>& publicKey, const wchar_t* subject,
                         std::vector<BYTE>& root);

// The length in bits of a SubjectPublicKeyInfo's key; 0 when it is malformed.
DWORD PublicKeyBits(const std::vector<BYTE>& publicKey);

// Whether the personal store of location holds a certificate for publicKey that is joined
// (CERT_KEY_PROV_INFO_PROP_ID) to a private key that can be acquired and matches it.
bool InstalledWithItsKey(DWORD location, const std::vector<BYTE>& publicKey);

// Whether a system store of location holds a certificate with exactly these DER bytes.
bool StoreHolds(DWORD location, const wchar_t* store, const std::vector<BYTE>& der);

// Adds the certificate with these DER bytes to a system store of location; whether it is there.
bool AddToStore(DWORD location, const wchar_t* store, const std::vector<BYTE>& der);

}  // namespace digital_id::wine_test
