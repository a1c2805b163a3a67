#pragma once

// The world of one end-to-end test: a test issuing server in a temporary folder, client sites
// (a working folder with app.ini, user and machine store folders) and views of the stores.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/enroll_runner.h"
#include "tests/support/test_server_harness.h"

namespace digital_id::end_to_end {

using test_server_tests::CertPtr;
using test_server_tests::KeyPtr;
using test_server_tests::ServerProcess;
using test_server_tests::TempFolder;

// Where one client run lives: its current folder (holding app.ini) and its store roots.
struct ClientSite {
  std::string work;           // current folder of digital-id-enroll, with app.ini
  std::string userData;       // XDG_DATA_HOME
  std::string machineStores;  // DIGITAL_ID_MACHINE_STORES
  // The site's settings file.
  std::string Settings() const { return work + "/app.ini"; }
  // The folder of a store: user stores under userData, machine stores under machineStores.
  std::string Store(const std::string& name, bool machine = false) const;
};

// Names (without folder) of a folder's files that end with extension (every file for an empty
// one), sorted; none when the folder does not exist.
std::vector<std::string> FilesWithExtension(const std::string& folder,
                                            const std::string& extension = {});

// The certificate in a DER file, or the private key in a PEM file; null when unreadable.
CertPtr ReadDerCertificate(const std::string& file);
KeyPtr ReadPemKey(const std::string& file);

// The common name of a certificate's subject, as UTF-8.
std::string SubjectCommonName(const CertPtr& certificate);

// Sets key=value in an INI file (replacing the line of that key); false when the file cannot be
// read or written or holds no such key.
bool SetIniValue(const std::string& file, const std::string& key, const std::string& value);

// Makes sure the suite's shared demo PKI exists and copies its files into folder (a server's
// --dir); false when either fails.
bool CopySharedPki(const std::string& folder);

// Holds a TCP port of 127.0.0.1 bound but not listening, so that connections to it are refused.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  // The refusing port; 0 when none could be bound.
  std::uint16_t Port() const { return port_; }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

// The base of the end-to-end tests: one temporary folder, the test server in it, and sites.
class EndToEndTest : public ::testing::Test {
 protected:
  // Ignores SIGPIPE and makes sure the suite's shared demo PKI exists.
  void SetUp() override;

  // Starts the test server (writing app.ini for the sites) with extra arguments; false when it
  // did not become ready.
  bool StartServer(const std::vector<std::string>& arguments);
  // A new site named name with a copy of the server's app.ini.
  ClientSite NewSite(const std::string& name);
  // Runs digital-id-enroll in a site with one line of input, extra arguments and extra
  // environment variables.
  EnrollOutcome Enroll(const ClientSite& site, const std::string& line,
                       const std::vector<std::string>& arguments = {},
                       const std::vector<std::pair<std::string, std::string>>& environment = {});
  // Waits until the server logged the end of the connection of code (the client may exit first).
  bool WaitForClosed(const std::string& code);
  // True when the server's events hold line.
  bool HasEvent(const std::string& line) const;
  // The server's events as one text, for failure messages.
  std::string EventText() const;

  TempFolder folder;                      // everything of the test, removed at its end
  std::unique_ptr<ServerProcess> server;  // the running server, once started
};

}  // namespace digital_id::end_to_end
