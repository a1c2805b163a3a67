#pragma once

#include <string>

#include <openssl/x509.h>

#include "platform/linux/publish/publication_result.h"

namespace digital_id {

// What adding an anchor to the system's trust came to.
struct SystemTrustResult {
  PublicationOutcome outcome = PublicationOutcome::Failed;
  std::string detail;  // where it went, or why not
};

// Adds an anchor certificate of the machine (from its CA or Root store) to the system's trust,
// as CurrentSystemTrustTargets chooses (see publication_paths.h): through p11-kit's
// "trust anchor --store FILE" where p11-kit is set up to store anchors, otherwise as the PEM file
// "digital-id-<common name>-<SHA-256 start>.crt" in the ca-certificates anchors folder followed
// by the update command. The same certificate always gets the same file name, so adding it again
// replaces it instead of adding a copy.
SystemTrustResult AddToSystemTrust(X509* anchor);

// The file name an anchor gets in the anchors folder.
std::string SystemTrustFileName(X509* anchor);

}  // namespace digital_id
