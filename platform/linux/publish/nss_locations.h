#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace digital_id {

// One NSS database of the user that applications read their certificates from.
struct NssLocation {
  std::string label;                      // "shared NSS database", "Firefox profile", ...
  std::filesystem::path folder;           // the database's folder
  std::optional<std::string> skipReason;  // set when the database must be left alone
  bool inUse = false;  // true when the only reason is a running browser: it may still be read
};

// The user's NSS databases below home: the shared database ~/.pki/nssdb (used even when it does
// not exist yet, to be created), then every profile that a profiles.ini of Firefox names, in the
// classic (~/.mozilla/firefox), Snap (~/snap/firefox/common/.mozilla/firefox) and Flatpak
// (~/.var/app/org.mozilla.firefox/.mozilla/firefox) folders, each once. A profile whose folder
// is missing, whose Firefox is running (its "lock" link names a live process or its
// ".parentlock" carries a lock) or whose database has the old format (cert8.db without
// cert9.db) gets a skip reason; so does an old-format shared database, and in a privileged run a
// database on a way that another user could change or that passes a link below home (in use or
// not).
std::vector<NssLocation> FindNssLocations(const std::filesystem::path& home);

// True while a Firefox holds the profile in folder.
bool ProfileInUse(const std::filesystem::path& folder);

}  // namespace digital_id
