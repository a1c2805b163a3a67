#include "platform/fake/fake_window_system.h"

namespace digital_id::fake {

void FakeWindowSystem::RegisterMainWindowClass(void* /*instance*/) {
  std::lock_guard lock(lock_);
  classRegistered_ = true;
}

bool FakeWindowSystem::CreateMainWindow(const MainWindowDescription& window, WindowEvents& events) {
  {
    std::lock_guard lock(lock_);
    if (failCreateWindow) return false;
    window_ = window;
    delegate_ = &events;
  }
  // The creation message: the core creates the controls.
  events.OnCreate();
  return true;
}

int FakeWindowSystem::RunMessageLoop() {
  std::lock_guard lock(lock_);
  return quit_.value_or(exitCodeOfLoop);
}

WindowHandle FakeWindowSystem::CreateControl(const ControlDescription& control) {
  std::lock_guard lock(lock_);
  auto created = std::make_unique<FakeControl>();
  created->description = control;
  created->text = control.text;
  created->checked = control.checked;
  if (!control.font.sharedWithPrevious || fontHeights_.empty()) {
    fontHeights_.push_back(control.font.height);
  }
  created->font = static_cast<int>(fontHeights_.size()) - 1;
  controls_.push_back(std::move(created));
  return controls_.back().get();
}

void FakeWindowSystem::SetText(WindowHandle control, const std::u16string& text) {
  std::lock_guard lock(lock_);
  events_.push_back({WindowEvent::Kind::SetText, control, text});
  if (FakeControl* c = Find(control)) c->text = Limited(*c, text);
}

std::u16string FakeWindowSystem::GetText(WindowHandle control, std::size_t bufferChars) {
  std::lock_guard lock(lock_);
  events_.push_back({WindowEvent::Kind::GetText, control, {}});
  const FakeControl* c = Find(control);
  if (c == nullptr || bufferChars == 0) return {};
  return c->text.substr(0, bufferChars - 1);
}

void FakeWindowSystem::Enable(WindowHandle control, bool enable) {
  std::lock_guard lock(lock_);
  events_.push_back({WindowEvent::Kind::Enable, control, {}, enable});
  if (FakeControl* c = Find(control)) c->enabled = enable;
}

void FakeWindowSystem::SetChecked(WindowHandle radio, bool checked) {
  std::lock_guard lock(lock_);
  if (FakeControl* c = Find(radio)) c->checked = checked;
}

bool FakeWindowSystem::IsChecked(WindowHandle radio) {
  std::lock_guard lock(lock_);
  events_.push_back({WindowEvent::Kind::IsChecked, radio, {}});
  const FakeControl* c = Find(radio);
  return c != nullptr && c->description.kind == ControlKind::RadioButton && c->checked;
}

std::optional<std::string> FakeWindowSystem::ClipboardText() {
  std::lock_guard lock(lock_);
  return clipboard;
}

void FakeWindowSystem::PostQuit(int exitCode) {
  std::lock_guard lock(lock_);
  events_.push_back({WindowEvent::Kind::PostQuit, nullptr, {}, false, exitCode});
  quit_ = exitCode;
}

void FakeWindowSystem::ShowNotice(const std::string& line) {
  std::lock_guard lock(lock_);
  notices_.push_back(line);
}

MainWindowDescription FakeWindowSystem::Window() const {
  std::lock_guard lock(lock_);
  return window_;
}

bool FakeWindowSystem::ClassRegistered() const {
  std::lock_guard lock(lock_);
  return classRegistered_;
}

std::vector<WindowEvent> FakeWindowSystem::Events() const {
  std::lock_guard lock(lock_);
  return events_;
}

void FakeWindowSystem::ClearEvents() {
  std::lock_guard lock(lock_);
  events_.clear();
}

std::u16string FakeWindowSystem::TextOf(WindowHandle control) const {
  std::lock_guard lock(lock_);
  const FakeControl* c = Find(control);
  return c ? c->text : std::u16string();
}

bool FakeWindowSystem::IsEnabled(WindowHandle control) const {
  std::lock_guard lock(lock_);
  const FakeControl* c = Find(control);
  return c != nullptr && c->enabled;
}

std::vector<const FakeControl*> FakeWindowSystem::Controls() const {
  std::lock_guard lock(lock_);
  std::vector<const FakeControl*> all;
  for (const auto& c : controls_) all.push_back(c.get());
  return all;
}

std::vector<int> FakeWindowSystem::FontHeights() const {
  std::lock_guard lock(lock_);
  return fontHeights_;
}

std::vector<std::u16string> FakeWindowSystem::TextsShownOn(WindowHandle control) const {
  std::lock_guard lock(lock_);
  std::vector<std::u16string> shown;
  for (const WindowEvent& e : events_) {
    if (e.kind == WindowEvent::Kind::SetText && e.control == control) shown.push_back(e.text);
  }
  return shown;
}

std::optional<int> FakeWindowSystem::PostedQuit() const {
  std::lock_guard lock(lock_);
  return quit_;
}

std::vector<std::string> FakeWindowSystem::Notices() const {
  std::lock_guard lock(lock_);
  return notices_;
}

void FakeWindowSystem::Type(WindowHandle control, const std::u16string& text) {
  std::lock_guard lock(lock_);
  if (FakeControl* c = Find(control)) c->text = Limited(*c, text);
}

void FakeWindowSystem::Click(WindowHandle radio) {
  std::lock_guard lock(lock_);
  FakeControl* clicked = Find(radio);
  if (clicked == nullptr || clicked->description.kind != ControlKind::RadioButton) return;
  for (const auto& c : controls_) {
    if (c->description.kind == ControlKind::RadioButton) c->checked = c.get() == clicked;
  }
}

void FakeWindowSystem::Press(WindowHandle button) {
  int command = 0;
  WindowEvents* events = nullptr;
  {
    std::lock_guard lock(lock_);
    const FakeControl* c = Find(button);
    if (c == nullptr || c->description.kind != ControlKind::PushButton || !c->enabled) return;
    command = c->description.command;
    events = delegate_;
  }
  // Outside the lock: the core answers by calling this window system again.
  if (events != nullptr) events->OnButtonPressed(command);
}

void FakeWindowSystem::CloseWindow() {
  if (WindowEvents* events = Delegate()) events->OnClosed();
}

std::vector<Caption> FakeWindowSystem::PaintCaptions() {
  WindowEvents* events = Delegate();
  return events != nullptr ? events->Captions() : std::vector<Caption>();
}

std::optional<Rgb> FakeWindowSystem::PaintedColour(WindowHandle control) {
  WindowEvents* events = Delegate();
  return events != nullptr ? events->TextColour(control) : std::nullopt;
}

FakeControl* FakeWindowSystem::Find(WindowHandle handle) const {
  for (const auto& c : controls_) {
    if (c.get() == handle) return c.get();
  }
  return nullptr;
}

WindowEvents* FakeWindowSystem::Delegate() const {
  std::lock_guard lock(lock_);
  return delegate_;
}

std::u16string FakeWindowSystem::Limited(const FakeControl& control, const std::u16string& text) {
  const auto limit = static_cast<std::size_t>(control.description.textLimit);
  return limit > 0 && text.size() > limit ? text.substr(0, limit) : text;
}

}  // namespace digital_id::fake
