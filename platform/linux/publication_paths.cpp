#include "platform/linux/publication_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "platform/linux/store_paths.h"

namespace digital_id {

namespace {

constexpr const char* kDefaultAnchorFolder = "/usr/local/share/ca-certificates";
constexpr const char* kDefaultUpdateCommand = "update-ca-certificates";
constexpr const char* kDefaultTrustProgram = "trust";

// The value of a variable; nullopt when it is not set (an empty value is set).
std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

// The full path of a program found in PATH; empty when none is executable.
std::string FindInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (folder.empty()) {
      continue;
    }
    const std::string candidate = folder + "/" + program;
    struct stat info {};
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return {};
}

}  // namespace

std::optional<std::filesystem::path> IdentityFolder(StoreLocation location) {
  const auto data = DataFolder(location);
  return data ? std::optional<std::filesystem::path>(*data / "identity") : std::nullopt;
}

std::optional<std::filesystem::path> NssHome() {
  const auto home = HomeFolder();
  const auto data = DataFolder(StoreLocation::CurrentUser);
  if (!home || !data) {
    return std::nullopt;
  }
  const std::filesystem::path relative =
      data->lexically_normal().lexically_relative(home->lexically_normal());
  if (relative.empty() || *relative.begin() == "..") {
    return std::nullopt;
  }
  return home;
}

std::optional<std::filesystem::path> PublicationLogFile(StoreLocation location) {
  const auto data = DataFolder(location);
  return data ? std::optional<std::filesystem::path>(*data / "publish.log") : std::nullopt;
}

std::vector<std::string> SplitCommandWords(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream stream(text);
  for (std::string word; stream >> word;) {
    words.push_back(word);
  }
  return words;
}

SystemTrustTargets CurrentSystemTrustTargets() {
  const auto machineStores = Variable("DIGITAL_ID_MACHINE_STORES");
  const auto anchorFolder = Variable("DIGITAL_ID_SYSTEM_TRUST_DIR");
  const auto updateCommand = Variable("DIGITAL_ID_UPDATE_CA_COMMAND");
  const auto trustCommand = Variable("DIGITAL_ID_TRUST_COMMAND");
  SystemTrustTargets targets;
  targets.relocated =
      (machineStores && !machineStores->empty()) || anchorFolder || updateCommand || trustCommand;
  if (trustCommand) {
    targets.p11KitTrust = SplitCommandWords(*trustCommand);
  } else if (!targets.relocated) {
    if (std::string found = FindInPath(kDefaultTrustProgram); !found.empty()) {
      targets.p11KitTrust = {found};
    }
  }
  if (anchorFolder && !anchorFolder->empty()) {
    targets.anchorFolder = std::filesystem::path(*anchorFolder);
  } else if (!targets.relocated) {
    targets.anchorFolder = std::filesystem::path(kDefaultAnchorFolder);
  }
  if (updateCommand) {
    targets.updateCommand = SplitCommandWords(*updateCommand);
  } else if (!targets.relocated) {
    targets.updateCommand = {kDefaultUpdateCommand};
  }
  return targets;
}

}  // namespace digital_id
