#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/cert_store.h"
#include "platform/linux/x509/openssl_handles.h"

namespace digital_id {

// An issued identity as the stores hold it: a certificate of My with its private key, and the
// certificates that lead from it to a root the Root stores hold.
struct IssuedIdentity {
  std::string stem;                    // the entry's name in My (sequence and tag)
  X509Ptr certificate;                 // the issued certificate
  EvpPkeyPtr key;                      // its private key
  std::vector<X509Ptr> intermediates;  // the issuing CA first, up to the root (excluded)
  X509Ptr root;                        // the root from a Root store; null when none was found
};

// Fills in the chain of an identity whose certificate and key are set: the certificates of the
// CA and Root stores of the location (and, for the current user, of the machine) that lead from
// it to a root. Only reads.
void CompleteChain(StoreLocation location, IssuedIdentity& identity);

// The newest complete entry (a certificate with the key that fits it) of My at the location,
// with its chain from the CA and Root stores of that location (and, for the current user, of
// the machine, which the user's lookups also see); nullopt when My holds none. Only reads: no
// folder is created and nothing is tidied.
std::optional<IssuedIdentity> NewestIdentity(StoreLocation location);

// True when root is a self-signed certificate whose name and key issued the last certificate of
// the identity's chain (its last intermediate, else the certificate itself).
bool AnchoredBy(const IssuedIdentity& identity, X509* root);

// The value of the subject's first common name, as UTF-8; empty when there is none.
std::string CommonNameOf(X509* certificate);

}  // namespace digital_id
