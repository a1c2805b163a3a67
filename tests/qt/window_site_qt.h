#pragma once

// One installer window under test: a temporary folder with the working folder (holding app.ini)
// and the store roots, an optional test issuing server, the Qt window system over the Linux
// services, and AppState installed for them.

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontends/qt/line_label.h"
#include "frontends/qt/qt_window_system.h"
#include "platform/linux/linux_platform.h"
#include "tests/support/test_server_harness.h"

namespace digital_id::window_tests {

// The Linux kernel services, counting the threads still running (enrollment and download), with a
// hook that runs just before a thread starts and a version query that can be made to fail.
class TrackingSystem : public System {
 public:
  explicit TrackingSystem(System& inner) : inner_(inner) {}

  std::optional<std::uint32_t> OsMajorVersion() override;
  std::u16string CurrentDirectory(std::size_t chars) override;
  char16_t PathSeparator() override { return inner_.PathSeparator(); }
  std::u16string ComputerName(std::size_t chars) override { return inner_.ComputerName(chars); }
  std::u16string UserName(std::size_t chars) override { return inner_.UserName(chars); }
  std::uint64_t SystemTimeAsFileTime() override { return inner_.SystemTimeAsFileTime(); }
  void Sleep(std::uint32_t milliseconds) override { inner_.Sleep(milliseconds); }
  std::unique_ptr<SystemThread> StartThread(std::function<void()> body) override;
  void ComInitialize() override { inner_.ComInitialize(); }
  void ComUninitialize() override { inner_.ComUninitialize(); }

  // Threads started and not yet finished.
  int Running() const { return running_.load(); }

  // Called on the starting thread just before each thread starts.
  std::function<void()> beforeStart;
  // Makes the version query fail.
  bool failVersionQuery = false;

 private:
  System& inner_;
  std::atomic<int> running_{0};
};

class WindowSite {
 public:
  // Makes the folders, points the store roots at them and enters the working folder.
  WindowSite();
  // Waits for a running enrollment to end, then removes AppState, the window and the folders.
  ~WindowSite();
  WindowSite(const WindowSite&) = delete;
  WindowSite& operator=(const WindowSite&) = delete;

  // Writes app.ini in the working folder with these lines under [AppSettings].
  void WriteSettings(const std::vector<std::string>& lines);
  // Starts the test issuing server with a copy of a shared demo PKI, writing app.ini for this
  // site; false when it did not become ready.
  bool StartServer(const std::vector<std::string>& arguments);

  // The start-up sequence of the installer up to its message loop.
  void Open();
  // The whole installer start-up and message loop, with work queued to run inside the loop;
  // returns the installer's exit code.
  int Run(std::function<void()> work);
  // Waits until no enrollment thread runs (bounded generously); true then.
  bool WaitForRunEnd();

  TrackingSystem& Tracking() { return tracking_; }
  QtWindowSystem& Windows() { return windows_; }
  QWidget* Window() const { return windows_.Window(); }
  QLineEdit* CodeEdit() const;
  QPushButton* PasteButton() const;
  QPushButton* SubmitButton() const;
  QPushButton* CloseButton() const;
  QRadioButton* UserRadio() const;
  QRadioButton* MachineRadio() const;
  QGroupBox* ContextGroup() const;
  LineLabel* StatusLine() const;
  LineLabel* DetailLine() const;
  // The four input controls, in the order edit box, Submit, Paste, Close.
  std::vector<QWidget*> InputControls() const;

  // The working folder and the folder of a user store.
  const std::string& Work() const { return work_; }
  std::string UserStore(const std::string& name) const;

 private:
  test_server_tests::TempFolder folder_;
  std::string work_;
  std::string previousFolder_;
  std::unique_ptr<test_server_tests::ServerProcess> server_;
  QtWindowSystem windows_;
  LinuxPlatform linux_;
  TrackingSystem tracking_;
  Platform services_;
};

// Number of pixels of an image with exactly this colour.
int CountPixels(const QImage& image, const QColor& colour);

// Saves a picture of the window into the folder named by WINDOW_PICTURES_DIR, when it is set.
void SavePicture(QWidget* window, const char* fileName);

}  // namespace digital_id::window_tests
