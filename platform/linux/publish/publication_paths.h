#pragma once

// Where the publication of an issued identity and of the machine's anchors writes. Every place
// can be moved by an environment variable, read anew at every call:
//
//   HOME                          the user's home: the shared NSS database ~/.pki/nssdb and the
//                                 Firefox and Thunderbird profiles (~/.mozilla/firefox,
//                                 ~/.thunderbird, their Snap and Flatpak folders) are found
//                                 below it. When XDG_DATA_HOME puts the user's stores outside
//                                 HOME (as tests and demos do), those databases are left
//                                 alone: they belong to another set of stores.
//   XDG_DATA_HOME                 the user's data folder (default ~/.local/share): the identity
//                                 goes to digital-id/identity/ and the log to
//                                 digital-id/publish.log, beside digital-id/stores/.
//   DIGITAL_ID_MACHINE_STORES     the machine's stores (default /var/lib/digital-id/stores); the
//                                 machine's identity/ and publish.log go to its parent folder.
//   DIGITAL_ID_SYSTEM_TRUST_DIR   folder that receives the machine's anchors as PEM files named
//                                 digital-id-<name>.crt (default
//                                 /usr/local/share/ca-certificates).
//   DIGITAL_ID_UPDATE_CA_COMMAND  command run after that folder changed, its words separated by
//                                 blanks (default update-ca-certificates; empty: none).
//   DIGITAL_ID_TRUST_COMMAND      p11-kit's trust program, run as "<command> anchor --store FILE"
//                                 (default: trust, when found in PATH; empty: none).
//
// As soon as one of the last four variables is set, nothing that is not named by a variable
// reaches the system's trust: a relocated machine store (as tests use) never feeds the real
// trust of the machine it runs on.
//
// A privileged run (see privileged_run.h) takes these places only when root alone can change
// them: a command must be named by an absolute path, HOME must not be another user's, and an
// unsafe override is refused without falling back to the place it would have replaced.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/cert_store.h"

namespace digital_id {

// The folder of the published identity files of a location; nullopt when no home is known.
std::optional<std::filesystem::path> IdentityFolder(StoreLocation location);

// The home whose NSS databases receive the user's identities: HOME, unless the user's data
// folder lies outside it; nullopt then, when no home is known, or in a privileged run when
// another user could change the home.
std::optional<std::filesystem::path> NssHome();

// The publication log of a location; nullopt when no home is known.
std::optional<std::filesystem::path> PublicationLogFile(StoreLocation location);

// How the machine's anchors reach the system's trust; each part is empty when not to be used.
struct SystemTrustTargets {
  std::vector<std::string> p11KitTrust;               // the trust program and nothing else
  std::optional<std::filesystem::path> anchorFolder;  // the anchors folder of ca-certificates
  std::vector<std::string> updateCommand;             // run after anchorFolder changed
  bool relocated = false;                             // true when a variable chose them
  std::string refusal;  // why an unsafe override refused them all (a privileged run); else empty
};

// The targets as the environment chooses them (see above).
SystemTrustTargets CurrentSystemTrustTargets();

// The words of a command line separated by blanks (no quoting).
std::vector<std::string> SplitCommandWords(const std::string& text);

}  // namespace digital_id
