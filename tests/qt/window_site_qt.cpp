#include "window_site_qt.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/shell/app_state.h"
#include "core/shell/main_window.h"
#include "core/shell/startup.h"

namespace digital_id::window_tests {

namespace fs = std::filesystem;
using test_server_tests::ServerProcess;
using test_server_tests::TempFolder;

namespace {

// A run takes a few seconds (the client pauses five); the bound only stops a broken one.
constexpr int kRunBoundMs = 90'000;

// The demo PKI shared by every server of this process: making one costs several RSA keys.
const std::string& SharedPki() {
  static const TempFolder folder;
  static const std::string pki = [] {
    ServerProcess maker(folder.Path(), {"--code", "PKI-MAKER"});
    if (!maker.Ready() || maker.Stop(SIGTERM) != 0) return std::string();
    return folder.Path() + "/data";
  }();
  return pki;
}

template <typename Widget>
Widget* As(void* handle) {
  return qobject_cast<Widget*>(static_cast<QWidget*>(handle));
}

}  // namespace

std::optional<std::uint32_t> TrackingSystem::OsMajorVersion() {
  if (failVersionQuery) return std::nullopt;
  return inner_.OsMajorVersion();
}

std::u16string TrackingSystem::CurrentDirectory(std::size_t chars) {
  return inner_.CurrentDirectory(chars);
}

std::unique_ptr<SystemThread> TrackingSystem::StartThread(std::function<void()> body) {
  if (beforeStart) beforeStart();
  ++running_;
  std::unique_ptr<SystemThread> thread =
      inner_.StartThread([this, body = std::move(body)]() mutable {
        body();
        body = nullptr;
        --running_;  // the last thing the thread does with anything of this site
      });
  if (!thread) --running_;
  return thread;
}

WindowSite::WindowSite() : linux_(windows_), tracking_(*linux_.Services().system) {
  work_ = folder_.Path() + "/work";
  fs::create_directories(work_);
  fs::create_directories(folder_.Path() + "/user");
  fs::create_directories(folder_.Path() + "/machine");
  ::setenv("XDG_DATA_HOME", (folder_.Path() + "/user").c_str(), 1);
  ::setenv("DIGITAL_ID_MACHINE_STORES", (folder_.Path() + "/machine").c_str(), 1);
  previousFolder_ = fs::current_path().string();
  fs::current_path(work_);
  services_ = linux_.Services();
  services_.system = &tracking_;
  InstallPlatform(&services_);
}

WindowSite::~WindowSite() {
  WaitForRunEnd();
  InstallPlatform(nullptr);
  std::error_code ignored;
  fs::current_path(previousFolder_, ignored);
}

void WindowSite::WriteSettings(const std::vector<std::string>& lines) {
  std::ofstream file(work_ + "/app.ini", std::ios::trunc);
  file << "[AppSettings]\n";
  for (const std::string& line : lines) file << line << "\n";
}

bool WindowSite::StartServer(const std::vector<std::string>& arguments) {
  const std::string& pki = SharedPki();
  if (pki.empty()) return false;
  std::error_code error;
  fs::copy(pki, folder_.Path() + "/data", fs::copy_options::recursive, error);
  if (error) return false;
  std::vector<std::string> all = {"--write-ini", work_ + "/app.ini", "--verdict-delay-ms", "0"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  server_ = std::make_unique<ServerProcess>(folder_.Path(), all);
  return server_->Ready();
}

void WindowSite::Open() {
  // RunInstaller without its message loop.
  AppState& app = App();
  DetectOsGeneration();
  RegisterMainWindowClass(nullptr);
  app.settingsPath = SettingsPathInCurrentDirectory();
  ReadStartupFlags();
  CreateMainWindow(nullptr, 1);
}

int WindowSite::Run(std::function<void()> work) {
  QTimer::singleShot(0, std::move(work));
  return RunInstaller(nullptr, 1);
}

bool WindowSite::WaitForRunEnd() {
  return QTest::qWaitFor([this] { return tracking_.Running() == 0; }, kRunBoundMs);
}

QLineEdit* WindowSite::CodeEdit() const {
  return As<QLineEdit>(App().codeEdit);
}
QPushButton* WindowSite::PasteButton() const {
  return As<QPushButton>(App().pasteButton);
}
QPushButton* WindowSite::SubmitButton() const {
  return As<QPushButton>(App().submitButton);
}
QPushButton* WindowSite::CloseButton() const {
  return As<QPushButton>(App().closeButton);
}
QRadioButton* WindowSite::UserRadio() const {
  return As<QRadioButton>(App().userRadio);
}
QRadioButton* WindowSite::MachineRadio() const {
  return As<QRadioButton>(App().machineRadio);
}
LineLabel* WindowSite::StatusLine() const {
  return As<LineLabel>(App().statusLine);
}
LineLabel* WindowSite::DetailLine() const {
  return As<LineLabel>(App().detailLine);
}

QGroupBox* WindowSite::ContextGroup() const {
  return Window() != nullptr ? Window()->findChild<QGroupBox*>() : nullptr;
}

std::vector<QWidget*> WindowSite::InputControls() const {
  return {CodeEdit(), SubmitButton(), PasteButton(), CloseButton()};
}

std::string WindowSite::UserStore(const std::string& name) const {
  return folder_.Path() + "/user/digital-id/stores/" + name;
}

int CountPixels(const QImage& image, const QColor& colour) {
  const QImage plain = image.convertToFormat(QImage::Format_RGB32);
  const QRgb wanted = colour.rgb();
  int count = 0;
  for (int y = 0; y < plain.height(); ++y) {
    for (int x = 0; x < plain.width(); ++x) {
      if (plain.pixel(x, y) == wanted) ++count;
    }
  }
  return count;
}

void SavePicture(QWidget* window, const char* fileName) {
  const QString folder = qEnvironmentVariable("WINDOW_PICTURES_DIR");
  if (folder.isEmpty() || window == nullptr) return;
  QDir().mkpath(folder);
  window->grab().save(folder + QLatin1Char('/') + QLatin1String(fileName));
}

}  // namespace digital_id::window_tests
