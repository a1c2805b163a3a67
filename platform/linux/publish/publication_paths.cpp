#include "platform/linux/publish/publication_paths.h"

#include <cstdlib>
#include <sstream>
#include <utility>

#include "platform/linux/stores/store_paths.h"
#include "platform/linux/system/privileged_run.h"

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
  if (RunningPrivileged() && UntrustedPathReason(*home)) {
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

namespace {

// Why a privileged run refuses the system-trust overrides; empty when it takes them.
std::string RefusedTrustOverride(const std::optional<std::string>& anchorFolder,
                                 const std::vector<std::string>& updateCommand,
                                 const std::vector<std::string>& trustCommand) {
  if (!RunningPrivileged()) {
    return {};
  }
  if (anchorFolder && !anchorFolder->empty()) {
    if (const auto reason = UntrustedPathReason(*anchorFolder)) {
      return "DIGITAL_ID_SYSTEM_TRUST_DIR: " + *reason;
    }
  }
  for (const auto& [name, words] : {std::pair{"DIGITAL_ID_UPDATE_CA_COMMAND", &updateCommand},
                                    std::pair{"DIGITAL_ID_TRUST_COMMAND", &trustCommand}}) {
    if (!words->empty()) {
      if (const auto reason = UntrustedProgramReason(words->front())) {
        return std::string(name) + ": " + *reason;
      }
    }
  }
  return {};
}

}  // namespace

SystemTrustTargets CurrentSystemTrustTargets() {
  const auto machineStores = Variable("DIGITAL_ID_MACHINE_STORES");
  const auto anchorFolder = Variable("DIGITAL_ID_SYSTEM_TRUST_DIR");
  const auto updateCommand = Variable("DIGITAL_ID_UPDATE_CA_COMMAND");
  const auto trustCommand = Variable("DIGITAL_ID_TRUST_COMMAND");
  SystemTrustTargets targets;
  targets.relocated =
      (machineStores && !machineStores->empty()) || anchorFolder || updateCommand || trustCommand;
  const std::vector<std::string> updateWords =
      updateCommand ? SplitCommandWords(*updateCommand) : std::vector<std::string>{};
  const std::vector<std::string> trustWords =
      trustCommand ? SplitCommandWords(*trustCommand) : std::vector<std::string>{};
  // One unsafe override refuses them all: nothing then reaches any system trust, neither the
  // place named nor the real one.
  targets.refusal = RefusedTrustOverride(anchorFolder, updateWords, trustWords);
  if (!targets.refusal.empty()) {
    return targets;
  }
  if (trustCommand) {
    targets.p11KitTrust = trustWords;
  } else if (!targets.relocated) {
    if (std::string found = FindProgram(kDefaultTrustProgram); !found.empty()) {
      targets.p11KitTrust = {found};
    }
  }
  if (anchorFolder && !anchorFolder->empty()) {
    targets.anchorFolder = std::filesystem::path(*anchorFolder);
  } else if (!targets.relocated) {
    targets.anchorFolder = std::filesystem::path(kDefaultAnchorFolder);
  }
  if (updateCommand) {
    targets.updateCommand = updateWords;
  } else if (!targets.relocated) {
    targets.updateCommand = {kDefaultUpdateCommand};
  }
  return targets;
}

}  // namespace digital_id
