#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/cert_store.h"

namespace digital_id {

// Folder that holds the stores of a location: ${XDG_DATA_HOME:-~/.local/share}/digital-id/stores
// for the current user, ${DIGITAL_ID_MACHINE_STORES:-/var/lib/digital-id/stores} for the local
// machine. Read from the environment at every call; nullopt when no home folder is known.
std::optional<std::filesystem::path> StoresRoot(StoreLocation location);

// The folder name of a system store: "CA", "Root", "My" and "REQUEST" whatever their case, other
// names of letters, digits, '-' and '_' as given; nullopt for any other name.
std::optional<std::string> StoreFolderName(const std::u16string& name);

// Creates the folder and its missing parents (mode 0700 for the current user, 0755 for the
// local machine so that every user can read its trusted roots); false when it cannot.
bool CreateStoreFolder(StoreLocation location, const std::filesystem::path& folder);

}  // namespace digital_id
