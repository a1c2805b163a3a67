#include "core/shell/main_window.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/latin1_text.h"
#include "core/enrollment/enrollment_run.h"
#include "core/shell/app_state.h"
#include "core/shell/main_window_layout.h"
#include "core/shell/status_lines.h"
#include "core/shell/texts.h"

namespace digital_id {

void RegisterMainWindowClass(void* instance) {
  Services().windows->RegisterMainWindowClass(instance);
}

int CreateMainWindow(void* instance, int showCommand) {
  const Language language = ReadLanguage();
  MainWindowDescription window;
  window.instance = instance;
  window.title = std::u16string(Pick(texts::kWindowTitle, language));
  window.width = kMainWindowWidth;
  window.height = kMainWindowHeight;
  window.showCommand = showCommand;
  return Services().windows->CreateMainWindow(window, MainWindowEvents()) ? 1 : 0;
}

namespace {

void StoreHandle(ControlRole role, WindowHandle handle) {
  AppState& app = App();
  switch (role) {
    case ControlRole::CodeEdit:
      app.codeEdit = handle;
      break;
    case ControlRole::PasteButton:
      app.pasteButton = handle;
      break;
    case ControlRole::SubmitButton:
      app.submitButton = handle;
      break;
    case ControlRole::CloseButton:
      app.closeButton = handle;
      break;
    case ControlRole::UserRadio:
      app.userRadio = handle;
      break;
    case ControlRole::MachineRadio:
      app.machineRadio = handle;
      break;
    case ControlRole::StatusLine:
      app.statusLine = handle;
      break;
    case ControlRole::DetailLine:
      app.detailLine = handle;
      break;
    case ControlRole::ContextGroup:
      break;  // not kept
  }
}

// The main window's events, answered by the operations of this file.
class CoreWindowEvents : public WindowEvents {
 public:
  void OnCreate() override { OnMainWindowCreate(); }
  void OnButtonPressed(int command) override { OnMainWindowCommand(command); }
  void OnClosed() override { OnMainWindowDestroy(); }
  std::vector<Caption> Captions() override { return CaptionsToPaint(); }
  std::optional<Rgb> TextColour(WindowHandle control) override {
    if (!IsColouredLine(control)) {
      return std::nullopt;
    }
    const std::uint32_t colour = App().lineColour.load();  // 0x00BBGGRR
    return Rgb{static_cast<std::uint8_t>(colour & 0xFF),
               static_cast<std::uint8_t>((colour >> 8) & 0xFF),
               static_cast<std::uint8_t>((colour >> 16) & 0xFF)};
  }
};

}  // namespace

WindowEvents& MainWindowEvents() {
  static CoreWindowEvents events;
  return events;
}

void OnMainWindowCreate() {
  WindowSystem& windows = *Services().windows;
  const Language language = ReadLanguage();
  for (const ControlLayout& row : MainWindowControls(App().advanceMode.load() == 1, language)) {
    StoreHandle(row.role, windows.CreateControl(row.control));
  }
}

void SubmitCode() {
  DisableInputControls();
  std::unique_ptr<SystemThread> worker =
      Services().system->StartThread([] { EnrollmentThreadProc(nullptr); });
  if (!worker) {
    // Nothing would ever enable them again: give the controls back to the user.
    EnableInputControls();
    return;
  }
  // Nobody waits for the worker: it ends by itself, or with the process.
  worker->Detach();
}

void PasteCode() {
  std::optional<std::string> clipboard = Services().windows->ClipboardText();
  if (!clipboard) {
    return;
  }
  std::u16string code = WidenLatin1(*clipboard);
  if (code.size() > static_cast<std::size_t>(kCodeLimit)) {
    code.resize(kCodeLimit);
  }
  Services().windows->SetText(App().codeEdit, code);
}

void OnMainWindowCommand(int command) {
  switch (command) {
    case kSubmitId:
      SubmitCode();
      break;
    case kPasteId:
      PasteCode();
      break;
    case kCloseId:
      Services().windows->PostQuit(0);
      break;
    default:
      break;
  }
}

void OnMainWindowDestroy() {
  Services().windows->PostQuit(0);
}

bool IsColouredLine(WindowHandle control) {
  const AppState& app = App();
  return control != nullptr && (control == app.statusLine || control == app.detailLine);
}

}  // namespace digital_id
