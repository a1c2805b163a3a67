#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/secret_text.h"
#include "platform/identity_record.h"
#include "platform/platform.h"
#include "platform/window_system.h"

namespace digital_id {

// What exporting an identity came to.
struct ConsoleExportResult {
  bool written = false;
  std::string error;  // why nothing was written (one line); empty on success
};

// What reading the identities of a store came to.
struct ConsoleIdentities {
  std::vector<IdentityRecord> identities;  // oldest first
  std::string error;  // why the store could not be read (one line); empty when it was
};

// What removing an identity came to.
struct ConsoleRemoval {
  bool found = false;               // true when the store held an identity with that serial
  bool removed = false;             // true when the store no longer holds it
  std::vector<std::string> report;  // what was removed where, and what was left: one line each
};

// A platform as the command-line program uses it: the core's services for one enrollment, and
// what only the command line offers (the PKCS #12 export, the publication report). Each
// platform's entry point implements it (main_linux.cpp, main_win.cpp); a platform that has no
// export or publishes nothing keeps the defaults.
class ConsolePlatform {
 public:
  virtual ~ConsolePlatform() = default;

  // Makes the platform's services over windows, which must outlive them; called once, before an
  // enrollment. The services stay valid until Stop.
  virtual Platform& Start(WindowSystem& windows) = 0;
  // Ends the services made by Start.
  virtual void Stop() = 0;

  // True when ExportPkcs12 can write a file on this platform.
  virtual bool ExportsPkcs12() const { return false; }
  // Writes the newest identity of a context (the machine's when machine is true, else the
  // current user's) with its key and chain as a PKCS #12 file protected by passphrase (UTF-8, not
  // empty). Called only when ExportsPkcs12; needs no Start.
  virtual ConsoleExportResult ExportPkcs12(bool /*machine*/, const SecretText& /*passphrase*/,
                                           const std::string& /*file*/) {
    return {};
  }
  // The identities that My of a context holds (the machine's when machine is true, else the
  // current user's), oldest first; only reads. Needs no Start.
  virtual ConsoleIdentities Identities(bool /*machine*/) { return {}; }

  // True when RemoveIdentity can remove an identity on this platform.
  virtual bool RemovesIdentities() const { return false; }
  // Removes the identities of My of a context whose serial number is serial (as SerialText
  // gives it), with their keys, their published files and their copies in NSS databases; the
  // anchors stay. Called only when RemovesIdentities; needs no Start.
  virtual ConsoleRemoval RemoveIdentity(bool /*machine*/, const std::string& /*serial*/) {
    return {};
  }

  // Shows a desktop notification with a summary and a body (UTF-8); false when no desktop
  // session can show it, and the caller says the same on standard error. Needs no Start.
  virtual bool Notify(const std::string& /*summary*/, const std::string& /*body*/) { return false; }

  // What the platform made available to other programs since Start, and what it left out: one
  // line of plain text per target, oldest first.
  virtual std::vector<std::string> PublicationLines() const { return {}; }
};

// A ConsolePlatform over an aggregate of a platform's services made over a window system
// (LinuxPlatform, WinPlatform): Start makes it, Stop ends it.
template <typename Services>
class ConsolePlatformOver : public ConsolePlatform {
 public:
  Platform& Start(WindowSystem& windows) override { return services_.emplace(windows).Services(); }
  void Stop() override { services_.reset(); }

 protected:
  // The services between Start and Stop; empty otherwise.
  std::optional<Services> services_;
};

}  // namespace digital_id
