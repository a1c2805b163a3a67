#include "platform/linux/stores/store_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/linux/system/fold_case.h"
#include "platform/linux/system/privileged_run.h"

namespace digital_id {

namespace {

constexpr const char* kDefaultMachineStores = "/var/lib/digital-id/stores";

}  // namespace

std::optional<std::filesystem::path> HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return std::filesystem::path(home);
  }
  std::array<char, 4096> buffer{};
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return std::filesystem::path(found->pw_dir);
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> StoresRoot(StoreLocation location) {
  if (location == StoreLocation::LocalMachine) {
    const char* machine = std::getenv("DIGITAL_ID_MACHINE_STORES");
    if (machine == nullptr || machine[0] == '\0') {
      return std::filesystem::path(kDefaultMachineStores);
    }
    // A privileged run never falls back to the real machine stores for a refused override.
    if (RunningPrivileged()) {
      if (const auto reason = UntrustedPathReason(machine)) {
        NoticeOnce("DIGITAL_ID_MACHINE_STORES ignored: " + *reason + " (unsafe override)");
        return std::nullopt;
      }
    }
    return std::filesystem::path(machine);
  }
  if (location != StoreLocation::CurrentUser) {
    return std::nullopt;
  }
  std::filesystem::path base;
  std::filesystem::path below;
  // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules require.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    base = xdg;
    below = "digital-id/stores";
  } else if (const auto home = HomeFolder()) {
    base = *home;
    below = ".local/share/digital-id/stores";
  } else {
    return std::nullopt;
  }
  // A privileged run writes under a home only when nobody else can change what lies on the
  // way (a user's home kept by sudo -E is refused), and follows no link inside it.
  if (RunningPrivileged()) {
    if (const auto reason = UntrustedPathReason(base, below)) {
      NoticeOnce("the stores below " + base.string() + " are not used: " + *reason);
      return std::nullopt;
    }
  }
  return base / below;
}

std::optional<std::filesystem::path> DataFolder(StoreLocation location) {
  const auto stores = StoresRoot(location);
  if (!stores) {
    return std::nullopt;
  }
  // A relocated machine store given with a final slash still has its real parent.
  const std::filesystem::path normal = stores->lexically_normal();
  return (normal.has_filename() ? normal : normal.parent_path()).parent_path();
}

std::optional<std::string> StoreFolderName(const std::u16string& name) {
  static const std::array<const char*, 4> known = {"CA", "Root", "My", "REQUEST"};
  std::string narrow;
  for (const char16_t c : name) {
    const bool allowed = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                         (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
    if (!allowed) {
      return std::nullopt;
    }
    narrow.push_back(static_cast<char>(c));
  }
  if (narrow.empty()) {
    return std::nullopt;
  }
  const std::u16string folded = FoldCase(name);
  for (const char* candidate : known) {
    const std::string text(candidate);
    if (FoldCase(std::u16string(text.begin(), text.end())) == folded) {
      return text;
    }
  }
  return narrow;
}

namespace {

// The mode of a new folder. The user location is its owner's alone. In the machine location the
// anchor stores (CA, Root) and the folders above them may be read by everyone, but a store that
// holds private keys (My, REQUEST, any other) is not even listable by others.
mode_t FolderMode(StoreLocation location, const std::filesystem::path& path, bool isStore) {
  if (location != StoreLocation::LocalMachine) {
    return 0700;
  }
  const std::string name = path.filename().string();
  return !isStore || name == "CA" || name == "Root" ? 0755 : 0700;
}

}  // namespace

bool CreateStoreFolder(StoreLocation location, const std::filesystem::path& folder) {
  // Collect the missing folders from the innermost outwards, then create them outermost first.
  std::vector<std::filesystem::path> missing;
  std::filesystem::path current = folder;
  struct stat info {};
  while (!current.empty() && ::stat(current.c_str(), &info) != 0) {
    if (errno != ENOENT) {
      return false;
    }
    missing.push_back(current);
    const std::filesystem::path parent = current.parent_path();
    if (parent == current) {
      break;
    }
    current = parent;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::mkdir(it->c_str(), FolderMode(location, *it, *it == folder)) != 0 && errno != EEXIST) {
      return false;
    }
  }
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace digital_id
