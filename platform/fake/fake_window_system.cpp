#include "platform/fake/fake_window_system.h"

namespace digital_id::fake {

void FakeWindowSystem::RegisterMainWindowClass() {
  std::lock_guard lock(mutex_);
  classRegistered_ = true;
}

bool FakeWindowSystem::CreateMainWindow(const std::u16string& title, int showCommand) {
  {
    std::lock_guard lock(mutex_);
    if (failCreateWindow) return false;
    title_ = title;
    showCommand_ = showCommand;
  }
  if (onCreate) onCreate();
  return true;
}

int FakeWindowSystem::RunMessageLoop() {
  std::lock_guard lock(mutex_);
  return quit_.value_or(exitCodeOfLoop);
}

WindowHandle FakeWindowSystem::CreateControl(const ControlCreation& control) {
  std::lock_guard lock(mutex_);
  auto created = std::make_unique<FakeControl>();
  created->creation = control;
  created->text = control.text;
  controls_.push_back(std::move(created));
  return controls_.back().get();
}

void* FakeWindowSystem::CreateControlFont(int fontHeight) {
  std::lock_guard lock(mutex_);
  fonts_.push_back(std::make_unique<int>(fontHeight));
  return fonts_.back().get();
}

void FakeWindowSystem::SetFont(WindowHandle control, void* font) {
  std::lock_guard lock(mutex_);
  if (FakeControl* c = Find(control)) c->font = font;
}

void FakeWindowSystem::LimitText(WindowHandle edit, int characters) {
  std::lock_guard lock(mutex_);
  if (FakeControl* c = Find(edit)) c->limit = characters;
}

void FakeWindowSystem::SetCheck(WindowHandle radio, int state) {
  std::lock_guard lock(mutex_);
  if (FakeControl* c = Find(radio)) c->check = state;
}

void FakeWindowSystem::SetText(WindowHandle control, const std::u16string& text) {
  std::lock_guard lock(mutex_);
  events_.push_back({WindowEvent::Kind::SetText, control, text});
  if (FakeControl* c = Find(control)) {
    // An edit box keeps at most its limit, as the real one does for typing and pasting.
    c->text = (c->limit > 0 && text.size() > static_cast<std::size_t>(c->limit))
                  ? text.substr(0, static_cast<std::size_t>(c->limit))
                  : text;
  }
}

std::u16string FakeWindowSystem::GetText(WindowHandle control, std::size_t bufferChars) {
  std::lock_guard lock(mutex_);
  events_.push_back({WindowEvent::Kind::GetText, control, {}});
  const FakeControl* c = Find(control);
  if (c == nullptr || bufferChars == 0) return {};
  return c->text.substr(0, bufferChars - 1);
}

void FakeWindowSystem::Enable(WindowHandle control, bool enable) {
  std::lock_guard lock(mutex_);
  events_.push_back({WindowEvent::Kind::Enable, control, {}, enable});
  if (FakeControl* c = Find(control)) c->enabled = enable;
}

int FakeWindowSystem::GetCheck(WindowHandle radio) {
  std::lock_guard lock(mutex_);
  events_.push_back({WindowEvent::Kind::GetCheck, radio, {}});
  const FakeControl* c = Find(radio);
  return c ? c->check : 0;
}

std::optional<std::string> FakeWindowSystem::ClipboardText() {
  std::lock_guard lock(mutex_);
  return clipboard;
}

void FakeWindowSystem::PostQuit(int exitCode) {
  std::lock_guard lock(mutex_);
  events_.push_back({WindowEvent::Kind::PostQuit, nullptr, {}, false, exitCode});
  quit_ = exitCode;
}

std::u16string FakeWindowSystem::Title() const {
  std::lock_guard lock(mutex_);
  return title_;
}

int FakeWindowSystem::ShowCommand() const {
  std::lock_guard lock(mutex_);
  return showCommand_;
}

bool FakeWindowSystem::ClassRegistered() const {
  std::lock_guard lock(mutex_);
  return classRegistered_;
}

std::vector<WindowEvent> FakeWindowSystem::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

void FakeWindowSystem::ClearEvents() {
  std::lock_guard lock(mutex_);
  events_.clear();
}

std::u16string FakeWindowSystem::TextOf(WindowHandle control) const {
  std::lock_guard lock(mutex_);
  const FakeControl* c = Find(control);
  return c ? c->text : std::u16string();
}

bool FakeWindowSystem::IsEnabled(WindowHandle control) const {
  std::lock_guard lock(mutex_);
  const FakeControl* c = Find(control);
  return c != nullptr && c->enabled;
}

void FakeWindowSystem::Type(WindowHandle control, const std::u16string& text) {
  std::lock_guard lock(mutex_);
  if (FakeControl* c = Find(control)) {
    c->text = (c->limit > 0 && text.size() > static_cast<std::size_t>(c->limit))
                  ? text.substr(0, static_cast<std::size_t>(c->limit))
                  : text;
  }
}

void FakeWindowSystem::Click(WindowHandle radio, int check) {
  std::lock_guard lock(mutex_);
  if (FakeControl* c = Find(radio)) c->check = check;
}

std::vector<const FakeControl*> FakeWindowSystem::Controls() const {
  std::lock_guard lock(mutex_);
  std::vector<const FakeControl*> all;
  for (const auto& c : controls_) all.push_back(c.get());
  return all;
}

std::vector<int> FakeWindowSystem::FontHeights() const {
  std::lock_guard lock(mutex_);
  std::vector<int> heights;
  for (const auto& f : fonts_) heights.push_back(*f);
  return heights;
}

std::vector<std::u16string> FakeWindowSystem::TextsShownOn(WindowHandle control) const {
  std::lock_guard lock(mutex_);
  std::vector<std::u16string> shown;
  for (const WindowEvent& e : events_) {
    if (e.kind == WindowEvent::Kind::SetText && e.control == control) shown.push_back(e.text);
  }
  return shown;
}

std::optional<int> FakeWindowSystem::PostedQuit() const {
  std::lock_guard lock(mutex_);
  return quit_;
}

FakeControl* FakeWindowSystem::Find(WindowHandle handle) const {
  for (const auto& c : controls_) {
    if (c.get() == handle) return c.get();
  }
  return nullptr;
}

}  // namespace digital_id::fake
