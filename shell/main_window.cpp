#include "shell/main_window.h"

#include <memory>
#include <string>

#include "enrollment/enrollment_run.h"
#include "shell/app_state.h"
#include "shell/main_window_layout.h"
#include "shell/settings.h"
#include "shell/status_lines.h"
#include "shell/texts.h"

namespace digital_id {

void RegisterMainWindowClass(void* instance) {
  App().instance = instance;
  Services().windows->RegisterMainWindowClass();
}

int CreateMainWindow(void* instance, int showCommand) {
  App().instance = instance;
  const Language language = ReadLanguage();
  return Services().windows->CreateMainWindow(std::u16string(Pick(texts::kWindowTitle, language)),
                                              showCommand)
             ? 1
             : 0;
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

}  // namespace

void OnMainWindowCreate() {
  AppState& app = App();
  WindowSystem& windows = *Services().windows;
  const Language language = ReadLanguage();
  void* font = nullptr;
  for (const ControlLayout& row : MainWindowControls(app.advanceMode.load() == 1, language)) {
    if (!row.sharesPreviousFont) {
      font = windows.CreateControlFont(row.fontHeight);
      app.currentFont = font;
    }
    WindowHandle handle = windows.CreateControl(row.creation);
    StoreHandle(row.role, handle);
    if (row.role == ControlRole::CodeEdit) {
      windows.LimitText(handle, kCodeLimit);
    }
    windows.SetFont(handle, font);
    if (row.role == ControlRole::UserRadio) {
      windows.SetCheck(handle, 1);
    }
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

void OnMainWindowCommand(int controlId) {
  switch (controlId & 0xFFFF) {
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
