#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/lock.h"
#include "platform/platform.h"

namespace digital_id {

// Text colours of the status and detail lines (0x00BBGGRR).
inline constexpr std::uint32_t kColourDarkRed = 153;   // RGB(153, 0, 0), during a run
inline constexpr std::uint32_t kColourGreen = 0x8000;  // RGB(0, 128, 0), after installation

// Characters of AppState.anchorIssuerName, terminator included.
inline constexpr std::size_t kAnchorIssuerNameChars = 256;

// A text that successive worker threads hand on to each other, guarded by a lock.
class GuardedText {
 public:
  // A copy of the text.
  std::u16string Get() const;
  // Replaces the text.
  void Set(std::u16string text);

 private:
  mutable Lock lock_;
  std::u16string text_;
};

// The one process-wide record of the program. The main thread fills it at start-up before any
// other thread exists; fields that the worker and the main thread both touch afterwards are
// atomics (or guarded), so no access races.
struct AppState {
  // Full path of the settings file; empty when the current directory could not be read.
  std::u16string settingsPath;
  // Issuer (simple-name form) of the CA certificate the last CA check downloaded.
  GuardedText anchorIssuerName;
  // 1 when ForceSHA256 is true.
  std::atomic<std::uint32_t> forceSha256{0};
  // 1 when the operating system's major version is 6 or more.
  std::atomic<std::uint32_t> isPostXp{0};
  // 1 when AdvanceMode is true: the window offers the User/Machine choice.
  std::atomic<std::uint32_t> advanceMode{0};
  // Text colour of the status and detail lines.
  std::atomic<std::uint32_t> lineColour{0};
  // Control handles, written once at window creation on the main thread.
  WindowHandle machineRadio = nullptr;
  WindowHandle userRadio = nullptr;
  WindowHandle closeButton = nullptr;
  WindowHandle pasteButton = nullptr;
  WindowHandle submitButton = nullptr;
  WindowHandle codeEdit = nullptr;
  WindowHandle detailLine = nullptr;
  WindowHandle statusLine = nullptr;
  // The platform services; installed before any other thread exists.
  Platform* platform = nullptr;
};

// The process-wide AppState.
AppState& App();

// The platform services of AppState (installed by InstallPlatform, which also puts every field
// of AppState back to its start value).
Platform& Services();

}  // namespace digital_id
