#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/linux/stores/issued_identity.h"

namespace digital_id {

// What publishing to one NSS database came to.
struct NssPublication {
  bool published = false;
  std::string detail;                       // what was added, or why nothing was
  std::optional<std::string> keptDistrust;  // set when a distrusted root was left distrusted
};

// Adds an identity to the NSS database (sql: format) in folder, creating the folder (mode 0700)
// and an empty-password database when there is none, as browsers do: the certificate with its
// private key, the intermediates without trust, and the root, when identity has one, trusted to
// issue server certificates ("C,,"). Certificates the database holds already are not added again
// (the root's trust is completed if needed), so anchors shared by several identities appear once;
// a root the database explicitly distrusts for servers keeps that distrust. A database
// protected by a password is left alone. NSS is opened for this call only and shut down before
// it returns; calls are serialised, and a process whose NSS is already open elsewhere is left
// alone.
NssPublication PublishToNssDatabase(const std::filesystem::path& folder,
                                    const IssuedIdentity& identity);

}  // namespace digital_id
