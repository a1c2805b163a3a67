// The console scenarios shared with the Wine tests, run against digital-id-enroll and checked
// in the file stores of a fresh site.

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/console_scenarios.h"
#include "tests/e2e/end_to_end_support.h"

namespace digital_id::e2e {
// Names a scenario in test output.
void PrintTo(const ConsoleScenario& scenario, std::ostream* out) {
  *out << scenario.name;
}
}  // namespace digital_id::e2e

namespace digital_id::end_to_end {
namespace {

using e2e::ConsoleScenario;
using e2e::StoresAfter;

class ConsoleScenarioTest : public EndToEndTest,
                            public ::testing::WithParamInterface<ConsoleScenario> {};

// Every certificate of a store folder has its key of the same name, and that key fits it.
bool EachCertificateHasItsKey(const std::string& store) {
  const std::vector<std::string> certificates = FilesWithExtension(store, ".der");
  if (certificates.size() != FilesWithExtension(store, ".key").size()) return false;
  for (const std::string& name : certificates) {
    const std::string stem = store + "/" + name.substr(0, name.size() - 4);
    CertPtr certificate = ReadDerCertificate(stem + ".der");
    KeyPtr key = ReadPemKey(stem + ".key");
    if (!certificate || !key || X509_check_private_key(certificate.get(), key.get()) != 1) {
      return false;
    }
  }
  return true;
}

// The common names of a store's certificates.
std::vector<std::string> Names(const std::string& store) {
  std::vector<std::string> names;
  for (const std::string& file : FilesWithExtension(store, ".der")) {
    names.push_back(SubjectCommonName(ReadDerCertificate(store + "/" + file)));
  }
  return names;
}

TEST_P(ConsoleScenarioTest, EndsAsTheTableSaysAndLeavesTheStoresSo) {
  const ConsoleScenario& scenario = GetParam();
  ASSERT_TRUE(StartServer(scenario.serverOptions));
  const ClientSite site = NewSite("client");
  {
    std::ifstream in(site.Settings());
    std::ostringstream ini;
    ini << in.rdbuf();
    std::ofstream(site.Settings(), std::ios::trunc)
        << e2e::WithSettings(ini.str(), scenario.settings);
  }
  const EnrollOutcome run = Enroll(site, scenario.code, scenario.arguments);
  for (const std::string& failure :
       e2e::RunMismatches(scenario, run.exitCode, run.lines, run.errors)) {
    ADD_FAILURE() << failure << "\n" << Joined(run.lines) << run.errors;
  }
  for (const auto* events : {&scenario.events, &scenario.linuxEvents}) {
    for (const std::string& event : *events) {
      EXPECT_TRUE(server->WaitForEvent(event)) << event << "\n" << EventText();
    }
  }
  for (const std::string& failure : e2e::EventMismatches(scenario, server->Events())) {
    ADD_FAILURE() << failure << "\n" << EventText();
  }

  const bool machine = scenario.machine;
  const std::string my = site.Store("My", machine);
  const std::string pending = site.Store("REQUEST", machine);
  switch (scenario.stores) {
    case StoresAfter::Issued:
      EXPECT_EQ(FilesWithExtension(my, ".der").size(), 1u);
      EXPECT_TRUE(EachCertificateHasItsKey(my));
      EXPECT_TRUE(FilesWithExtension(pending).empty());
      EXPECT_EQ(Names(site.Store("CA", machine)), std::vector<std::string>{"Example Issuing CA"});
      EXPECT_EQ(Names(site.Store("Root", machine)), std::vector<std::string>{"Example Root CA"});
      break;
    case StoresAfter::Pending:
      EXPECT_TRUE(FilesWithExtension(my).empty());
      EXPECT_EQ(FilesWithExtension(pending, ".key").size(), 1u);
      break;
    case StoresAfter::NoneIssued:
      EXPECT_TRUE(FilesWithExtension(my).empty());
      break;
  }
  if (scenario.rootRefused) {
    EXPECT_TRUE(FilesWithExtension(site.Store("Root", machine)).empty());
    EXPECT_EQ(Names(site.Store("CA", machine)), std::vector<std::string>{"Example Issuing CA"});
  }
  // A run in one context leaves the other's stores alone.
  EXPECT_FALSE(
      std::filesystem::exists(machine ? site.userData + "/digital-id" : site.machineStores));
}

INSTANTIATE_TEST_SUITE_P(Table, ConsoleScenarioTest,
                         ::testing::ValuesIn(e2e::ScenariosFor(e2e::Platforms::LinuxOnly)),
                         [](const auto& info) { return e2e::TestName(info.param.name); });

}  // namespace
}  // namespace digital_id::end_to_end
