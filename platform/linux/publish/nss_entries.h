#pragma once

#include <openssl/x509.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace digital_id {

// True when folder holds an NSS database of the sql: format (cert9.db).
bool HasNssDatabase(const std::filesystem::path& folder);

// For each certificate, whether the NSS database in folder holds it. The database is opened
// read-only: nothing is written, and a database that a running browser holds may still be read.
// nullopt when there is no database or it cannot be opened.
std::optional<std::vector<bool>> NssDatabaseHolds(const std::filesystem::path& folder,
                                                  const std::vector<X509*>& certificates);

// What removing certificates from one NSS database came to.
struct NssRemoval {
  int removed = 0;      // how many of the certificates the database held and no longer holds
  bool failed = false;  // true when one could not be removed, or the database not opened
  std::string detail;   // what was removed, or why not
};

// Removes each certificate that the NSS database in folder holds, with its private key; other
// certificates (the issuing CA, the root) and their trust stay. A missing database is not
// created: nothing is removed. A database protected by a password is left alone (failed).
NssRemoval RemoveFromNssDatabase(const std::filesystem::path& folder,
                                 const std::vector<X509*>& certificates);

}  // namespace digital_id
