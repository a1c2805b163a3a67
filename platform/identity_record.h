#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace digital_id {

// An identity that a My store holds, as the command line reports it on every platform.
struct IdentityRecord {
  std::string subject;         // the subject's distinguished name as UTF-8 text ("CN=...,O=...")
  std::string issuer;          // the issuer's distinguished name, the same way
  std::string serial;          // the serial number as SerialText gives it (base/serial_text.h)
  std::int64_t notBefore = 0;  // start of validity, seconds since 1970-01-01 00:00 UTC
  std::int64_t notAfter = 0;   // end of validity, the same way
  bool hasPrivateKey = false;  // true when the store holds the private key that fits it
  std::vector<std::string> publishedFiles;  // files made for other programs that hold it
  std::vector<std::string> nssDatabases;    // folders of the NSS databases that hold it
};

}  // namespace digital_id
