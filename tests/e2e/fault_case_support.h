#pragma once

// Fault-injection cases for the end-to-end tests: each case runs digital-id-enroll against a
// test issuing server of its own that misbehaves as told, all cases of a test at once; and an
// audit of what a site's stores hold afterwards.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/end_to_end_support.h"

namespace digital_id::end_to_end {

// One enrollment against a server that misbehaves as its arguments say.
struct FaultCase {
  std::string name;                                           // folder name, label in messages
  std::vector<std::string> serverArguments;                   // faults, codes, certificates
  std::string code;                                           // the secure code typed
  std::vector<std::pair<std::string, std::string>> settings;  // app.ini values to change
  std::vector<std::string> enrollArguments;                   // e.g. --machine

  // Filled by RunFaultCases.
  std::unique_ptr<ServerProcess> server;  // the case's server, still running afterwards
  ClientSite site;                        // the case's client site
  EnrollOutcome outcome;                  // what the client printed and returned
  bool prepared = false;                  // the server started and the settings were written
};

// Runs every case at once, each on a thread of its own, in folders under folder.
void RunFaultCases(const std::string& folder, std::vector<FaultCase>& cases);

// The case of that name; the first case when there is none (the test then fails on its texts).
const FaultCase& CaseNamed(const std::vector<FaultCase>& cases, const std::string& name);

// The last two lines of a run, or all of them when there are fewer.
std::vector<std::string> LastTwo(const std::vector<std::string>& lines);

// What the stores of one location of a site hold.
struct StoreAudit {
  std::vector<std::string> strayFiles;  // files that are not whole store entries
  int installed = 0;                    // certificates in My with their key; -1: a key is wrong
  int pendingKeys = 0;                  // keys waiting in REQUEST
  bool pendingKeyElsewhere = false;     // a key of REQUEST also lies in another store
};

// Looks at every store folder of a site's user (or machine) location.
StoreAudit AuditStores(const ClientSite& site, bool machine = false);

// The audit as text, for failure messages.
std::string Describe(const StoreAudit& audit);

}  // namespace digital_id::end_to_end
