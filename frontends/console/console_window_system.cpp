#include "frontends/console/console_window_system.h"

#include <mutex>
#include <string>

#include "base/utf8_text.h"
#include "core/shell/app_state.h"
#include "frontends/console/console_output.h"

namespace digital_id {

bool ConsoleWindowSystem::CreateMainWindow(const MainWindowDescription& /*window*/,
                                           WindowEvents& events) {
  events.OnCreate();
  return true;
}

int ConsoleWindowSystem::RunMessageLoop() {
  std::lock_guard guard(lock_);
  return exitCode_;
}

WindowHandle ConsoleWindowSystem::CreateControl(const ControlDescription& control) {
  std::lock_guard guard(lock_);
  auto created = std::make_unique<Control>();
  created->text = control.text;
  created->radio = control.kind == ControlKind::RadioButton;
  created->checked = control.checked;
  created->limit = control.textLimit;
  controls_.push_back(std::move(created));
  return controls_.back().get();
}

void ConsoleWindowSystem::SetChecked(WindowHandle radio, bool checked) {
  std::lock_guard guard(lock_);
  if (Control* c = Find(radio)) c->checked = checked;
}

void ConsoleWindowSystem::SetText(WindowHandle control, const std::u16string& text) {
  std::lock_guard guard(lock_);
  Control* c = Find(control);
  if (c == nullptr) return;
  c->text = (c->limit > 0 && text.size() > static_cast<std::size_t>(c->limit))
                ? text.substr(0, static_cast<std::size_t>(c->limit))
                : text;
  const AppState& app = App();
  const char* label = control == app.statusLine   ? "status"
                      : control == app.detailLine ? "detail"
                                                  : nullptr;
  if (label == nullptr) return;
  std::string line = Utf16ToUtf8(text);
  for (std::size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at + 2)) {
    line.replace(at, 1, "\\n");
  }
  PrintText(ConsoleStream::Output, std::string(label) + ": " + line + "\n");
}

std::u16string ConsoleWindowSystem::GetText(WindowHandle control, std::size_t bufferChars) {
  std::lock_guard guard(lock_);
  const Control* c = Find(control);
  if (c == nullptr || bufferChars == 0) return {};
  return c->text.substr(0, bufferChars - 1);
}

void ConsoleWindowSystem::Enable(WindowHandle control, bool enable) {
  std::lock_guard guard(lock_);
  if (Control* c = Find(control)) c->enabled = enable;
}

bool ConsoleWindowSystem::IsChecked(WindowHandle radio) {
  std::lock_guard guard(lock_);
  const Control* c = Find(radio);
  return c != nullptr && c->radio && c->checked;
}

void ConsoleWindowSystem::PostQuit(int exitCode) {
  std::lock_guard guard(lock_);
  exitCode_ = exitCode;
}

void ConsoleWindowSystem::ShowNotice(const std::string& line) {
  std::lock_guard guard(lock_);
  PrintText(ConsoleStream::Errors, "digital-id-enroll: " + line + "\n");
}

ConsoleWindowSystem::Control* ConsoleWindowSystem::Find(WindowHandle handle) {
  for (const auto& c : controls_) {
    if (c.get() == handle) return c.get();
  }
  return nullptr;
}

}  // namespace digital_id
