#include "platform/linux/publish/nss_locations.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>

#include "base/utf8_text.h"
#include "platform/linux/stores/atomic_file.h"
#include "platform/linux/system/file_descriptor.h"
#include "platform/linux/system/fold_case.h"
#include "platform/linux/system/ini_profile.h"
#include "platform/linux/system/privileged_run.h"

namespace digital_id {

namespace {

struct FirefoxRoot {
  const char* label;
  const char* relative;  // below home
};

constexpr std::array<FirefoxRoot, 3> kFirefoxRoots = {{
    {"Firefox profile", ".mozilla/firefox"},
    {"Firefox (Snap) profile", "snap/firefox/common/.mozilla/firefox"},
    {"Firefox (Flatpak) profile", ".var/app/org.mozilla.firefox/.mozilla/firefox"},
}};

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// The reason to leave a database folder alone for its format; nullopt when it may be used.
std::optional<std::string> FormatProblem(const std::filesystem::path& folder) {
  if (Exists(folder / "cert8.db") && !Exists(folder / "cert9.db")) {
    return "old database format (cert8.db)";
  }
  return std::nullopt;
}

// The live process that the profile's "lock" link names ("<host>:+<pid>"); false for a stale
// or missing link.
bool LockLinkHeld(const std::filesystem::path& folder) {
  std::array<char, 256> target{};
  const ssize_t length = ::readlink((folder / "lock").c_str(), target.data(), target.size() - 1);
  if (length <= 0) {
    return false;
  }
  const std::string text(target.data(), static_cast<std::size_t>(length));
  const std::size_t marker = text.rfind(":+");
  if (marker == std::string::npos) {
    return true;  // a lock of an unknown form is taken to be held
  }
  char* end = nullptr;
  const long pid = std::strtol(text.c_str() + marker + 2, &end, 10);
  if (pid <= 0 || end == nullptr || *end != '\0') {
    return true;
  }
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// True when another process holds a lock on the profile's ".parentlock".
bool ParentLockHeld(const std::filesystem::path& folder) {
  FileDescriptor fd(::open((folder / ".parentlock").c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    return false;
  }
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  return ::fcntl(fd.Get(), F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

// The profile folders a profiles.ini names, in its order.
std::vector<std::filesystem::path> ProfilesOf(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> folders;
  const auto bytes = ReadWholeFile(root / "profiles.ini");
  if (!bytes) {
    return folders;
  }
  const std::u16string text = DecodeIniText(std::string(bytes->begin(), bytes->end()));
  for (const IniSection& section : ReadIniSections(text)) {
    const std::u16string name = FoldCase(section.name);
    if (!name.starts_with(u"profile")) {
      continue;
    }
    const std::u16string* path = section.Find(u"Path");
    if (path == nullptr || path->empty()) {
      continue;
    }
    // As Firefox reads it: relative to the profiles.ini folder only with IsRelative=1.
    const std::u16string* relative = section.Find(u"IsRelative");
    const std::filesystem::path value(Utf16ToUtf8(*path));
    folders.push_back(relative != nullptr && *relative == u"1" ? root / value : value);
  }
  return folders;
}

}  // namespace

bool ProfileInUse(const std::filesystem::path& folder) {
  return LockLinkHeld(folder) || ParentLockHeld(folder);
}

std::vector<NssLocation> FindNssLocations(const std::filesystem::path& home) {
  std::vector<NssLocation> locations;
  const std::filesystem::path shared = home / ".pki" / "nssdb";
  locations.push_back({"shared NSS database", shared, FormatProblem(shared), false});
  std::vector<std::filesystem::path> seen;
  for (const FirefoxRoot& root : kFirefoxRoots) {
    for (const std::filesystem::path& folder : ProfilesOf(home / root.relative)) {
      const std::filesystem::path normal = folder.lexically_normal();
      if (std::find(seen.begin(), seen.end(), normal) != seen.end()) {
        continue;
      }
      seen.push_back(normal);
      NssLocation location{root.label, normal, std::nullopt, false};
      std::error_code error;
      if (!normal.is_absolute() || !std::filesystem::is_directory(normal, error)) {
        location.skipReason = "profile folder missing";
      } else if (ProfileInUse(normal)) {
        location.skipReason = "in use (Firefox is running)";
        location.inUse = true;
      } else {
        location.skipReason = FormatProblem(normal);
      }
      locations.push_back(std::move(location));
    }
  }
  // A privileged run writes only to databases that nobody else can change, and follows no link
  // from the home down to them.
  if (RunningPrivileged()) {
    for (NssLocation& location : locations) {
      if (location.skipReason && !location.inUse) {
        continue;
      }
      const std::filesystem::path relative = location.folder.lexically_relative(home);
      const bool inside = !relative.empty() && *relative.begin() != "..";
      const auto reason =
          inside ? UntrustedPathReason(home, relative) : UntrustedPathReason(location.folder);
      if (reason) {
        location.skipReason = "unsafe path: " + *reason;
        location.inUse = false;
      }
    }
  }
  return locations;
}

}  // namespace digital_id
