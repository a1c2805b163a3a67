#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/shell/app_state.h"
#include "core/shell/main_window.h"
#include "platform/fake/fake_platform.h"
#include "tests/unit/shown_outcome.h"

namespace digital_id::testing {

// File time of one day.
inline constexpr std::uint64_t kOneDay = 24ULL * 3600 * 10000000;

// A fixture with every platform service faked, the settings path set and helpers to create the
// main window and read its two lines.
class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }

  // Starts again from fresh fakes and a fresh AppState.
  void Reset() {
    fakes_.reset();
    fakes_ = std::make_unique<fake::FakePlatform>();
    fakes_->Install();
    App().settingsPath = u"C:\\Installer\\app.ini";
    App().isPostXp = 1;
  }

  fake::FakePlatform& fakes() { return *fakes_; }

  // Creates the main window (and so its controls) in the given mode.
  void CreateWindow(bool advanceMode = false) {
    App().advanceMode = advanceMode ? 1 : 0;
    ASSERT_EQ(CreateMainWindow(nullptr, 1), 1);
  }

  void SetFrench() { fakes().profile.Set(u"Language", u"FR"); }

  std::u16string Status() const { return fakes_->windows.TextOf(App().statusLine); }
  std::u16string Detail() const { return fakes_->windows.TextOf(App().detailLine); }

  // True when the four input controls are all enabled.
  bool InputControlsEnabled() const {
    const AppState& app = App();
    const fake::FakeWindowSystem& windows = fakes_->windows;
    return windows.IsEnabled(app.codeEdit) && windows.IsEnabled(app.submitButton) &&
           windows.IsEnabled(app.pasteButton) && windows.IsEnabled(app.closeButton);
  }

 private:
  std::unique_ptr<fake::FakePlatform> fakes_;
};

}  // namespace digital_id::testing
