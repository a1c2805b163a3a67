#include "tests/e2e/fault_case_support.h"

#include <openssl/x509.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <sstream>

namespace digital_id::end_to_end {

namespace fs = std::filesystem;

namespace {

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts the case's server and writes its site; false when something is missing.
bool Prepare(const std::string& base, FaultCase& fault) {
  const std::string serverFolder = base + "/server";
  if (!CopySharedPki(serverFolder + "/data")) return false;
  std::vector<std::string> arguments = {"--write-ini", serverFolder + "/app.ini"};
  arguments.insert(arguments.end(), fault.serverArguments.begin(), fault.serverArguments.end());
  fault.server = std::make_unique<ServerProcess>(serverFolder, arguments);
  if (!fault.server->Ready()) return false;
  fault.site = ClientSite{base + "/work", base + "/user", base + "/machine"};
  std::error_code error;
  fs::create_directories(fault.site.work, error);
  fs::create_directories(fault.site.userData, error);
  fs::copy_file(serverFolder + "/app.ini", fault.site.Settings(), error);
  if (error) return false;
  for (const auto& [key, value] : fault.settings) {
    if (!SetIniValue(fault.site.Settings(), key, value)) return false;
  }
  return true;
}

void RunOne(const std::string& base, FaultCase& fault) {
  fault.prepared = Prepare(base, fault);
  if (!fault.prepared) return;
  EnrollInvocation invocation;
  invocation.input = fault.code + "\n";
  invocation.arguments = fault.enrollArguments;
  invocation.workingFolder = fault.site.work;
  invocation.environment = {{"XDG_DATA_HOME", fault.site.userData},
                            {"DIGITAL_ID_MACHINE_STORES", fault.site.machineStores},
                            {"HOME", fault.site.userData}};
  fault.outcome = RunEnroll(invocation);
}

// Whole store entries: a ten-digit sequence, a hyphen, a tag, and .der or .key.
bool IsStoreEntry(const std::string& name) {
  static const std::regex entry("[0-9]{10}-[^/]*\\.(der|key)");
  return std::regex_match(name, entry);
}

}  // namespace

void RunFaultCases(const std::string& folder, std::vector<FaultCase>& cases) {
  std::vector<std::future<void>> runs;
  for (FaultCase& fault : cases) {
    const std::string base = folder + "/" + fault.name;
    runs.push_back(std::async(std::launch::async, [base, &fault] { RunOne(base, fault); }));
  }
  for (std::future<void>& run : runs) run.get();
}

const FaultCase& CaseNamed(const std::vector<FaultCase>& cases, const std::string& name) {
  for (const FaultCase& fault : cases) {
    if (fault.name == name) return fault;
  }
  return cases.front();
}

std::vector<std::string> LastTwo(const std::vector<std::string>& lines) {
  return {lines.size() > 2 ? lines.end() - 2 : lines.begin(), lines.end()};
}

StoreAudit AuditStores(const ClientSite& site, bool machine) {
  StoreAudit audit;
  const fs::path root = fs::path(site.Store("My", machine)).parent_path();
  std::error_code error;
  std::vector<std::string> pendingKeys;
  for (const std::string& name : FilesWithExtension(site.Store("REQUEST", machine), ".key")) {
    pendingKeys.push_back(FileText(fs::path(site.Store("REQUEST", machine)) / name));
  }
  audit.pendingKeys = static_cast<int>(pendingKeys.size());
  for (const fs::directory_entry& store : fs::directory_iterator(root, error)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(store.path(), error)) {
      const std::string name = entry.path().filename().string();
      if (!entry.is_regular_file() || !IsStoreEntry(name)) {
        audit.strayFiles.push_back(store.path().filename().string() + "/" + name);
        continue;
      }
      if (store.path().filename() == "REQUEST" || entry.path().extension() != ".key") continue;
      const std::string key = FileText(entry.path());
      for (const std::string& pending : pendingKeys) {
        audit.pendingKeyElsewhere = audit.pendingKeyElsewhere || pending == key;
      }
    }
  }
  const std::string my = site.Store("My", machine);
  for (const std::string& name : FilesWithExtension(my, ".der")) {
    const std::string stem = my + "/" + name.substr(0, name.size() - 4);
    CertPtr certificate = ReadDerCertificate(stem + ".der");
    KeyPtr key = ReadPemKey(stem + ".key");
    const bool matches =
        certificate && key && X509_check_private_key(certificate.get(), key.get()) == 1;
    audit.installed = matches && audit.installed >= 0 ? audit.installed + 1 : -1;
  }
  if (FilesWithExtension(my, ".key").size() != FilesWithExtension(my, ".der").size()) {
    audit.installed = -1;
  }
  return audit;
}

std::string Describe(const StoreAudit& audit) {
  std::string text = "installed " + std::to_string(audit.installed) + ", pending keys " +
                     std::to_string(audit.pendingKeys) +
                     (audit.pendingKeyElsewhere ? ", a pending key elsewhere" : "") + ", stray:";
  for (const std::string& name : audit.strayFiles) text += " " + name;
  return text;
}

}  // namespace digital_id::end_to_end
