#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/cert_store.h"

namespace digital_id {

// Folder that holds the stores of a location: ${XDG_DATA_HOME:-~/.local/share}/digital-id/stores
// for the current user, ${DIGITAL_ID_MACHINE_STORES:-/var/lib/digital-id/stores} for the local
// machine. Read from the environment at every call; nullopt when no home folder is known, and in
// a privileged run when another user could change the folder or the way to it (see
// privileged_run.h; said once on standard error).
std::optional<std::filesystem::path> StoresRoot(StoreLocation location);

// The folder that holds the stores folder of a location, and beside it what the program keeps
// for other programs (the published identity, the publication log): ~/.local/share/digital-id
// and /var/lib/digital-id by default. nullopt as StoresRoot.
std::optional<std::filesystem::path> DataFolder(StoreLocation location);

// The user's home folder: HOME when it is absolute, else the password database's entry.
std::optional<std::filesystem::path> HomeFolder();

// The folder name of a system store: "CA", "Root", "My" and "REQUEST" whatever their case, other
// names of letters, digits, '-' and '_' as given; nullopt for any other name.
std::optional<std::string> StoreFolderName(const std::u16string& name);

// Creates the folder and its missing parents (mode 0700 for the current user, 0755 for the
// local machine so that every user can read its trusted roots); false when it cannot.
bool CreateStoreFolder(StoreLocation location, const std::filesystem::path& folder);

}  // namespace digital_id
