#include "frontends/qt/qt_window_system.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <memory>
#include <utility>

#include "frontends/qt/app_icon.h"
#include "frontends/qt/caption_fit.h"
#include "frontends/qt/control_font.h"
#include "frontends/qt/group_frame.h"
#include "frontends/qt/line_label.h"
#include "frontends/qt/main_window_widget.h"

namespace digital_id {

namespace {

QString ToQString(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

// A child widget handed to its parent, which owns and destroys it from then on (Qt's object tree).
template <typename Widget, typename... Arguments>
Widget* MakeChild(QWidget* parent, Arguments&&... arguments) {
  auto child = std::make_unique<Widget>(std::forward<Arguments>(arguments)...);
  child->setParent(parent);
  return child.release();
}

// The widget of a control kind, with its text, limit and check state.
QWidget* MakeWidget(const ControlDescription& control, WindowEvents* events, QWidget* parent) {
  const QString text = ToQString(control.text);
  switch (control.kind) {
    case ControlKind::EditBox: {
      auto* edit = MakeChild<QLineEdit>(parent);
      edit->setFrame(true);
      if (control.textLimit > 0) {
        edit->setMaxLength(control.textLimit);
      }
      return edit;
    }
    case ControlKind::PushButton:
      return MakeChild<QPushButton>(parent, text);
    case ControlKind::RadioButton: {
      auto* radio = MakeChild<QRadioButton>(parent, text);
      radio->setAutoExclusive(true);  // the radio buttons of the window form one group
      radio->setChecked(control.checked);
      return radio;
    }
    case ControlKind::GroupBox:
      return MakeChild<GroupFrame>(parent, text);
    case ControlKind::StaticText: {
      auto* label = MakeChild<LineLabel>(parent, events);
      label->setText(text);
      return label;
    }
  }
  return nullptr;
}

}  // namespace

QtWindowSystem::QtWindowSystem() = default;

QtWindowSystem::~QtWindowSystem() = default;

void QtWindowSystem::RegisterMainWindowClass(void* /*instance*/) {
  QGuiApplication::setWindowIcon(AppIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("digital-id-installer"));
}

bool QtWindowSystem::CreateMainWindow(const MainWindowDescription& window, WindowEvents& events) {
  events_ = &events;
  window_ = std::make_unique<MainWindowWidget>(window, events);
  window_->setWindowTitle(ToQString(window.title));
  events.OnCreate();
  if (window.showCommand != 0) {  // 0 is the hidden show command
    window_->show();
  }
  window_->update();
  return true;
}

int QtWindowSystem::RunMessageLoop() {
  if (quitCode_) {
    return *quitCode_;
  }
  const int code = QApplication::exec();
  return quitCode_.value_or(code);
}

WindowHandle QtWindowSystem::CreateControl(const ControlDescription& control) {
  if (!window_) {
    return nullptr;
  }
  QWidget* widget = MakeWidget(control, events_, window_.get());
  if (widget == nullptr) {
    return nullptr;
  }
  if (auto* button = qobject_cast<QPushButton*>(widget)) {
    WindowEvents* events = events_;
    const int command = control.command;
    connect(button, &QAbstractButton::clicked, this,
            [events, command] { events->OnButtonPressed(command); });
  }
  // No tab stops: a control takes the focus only when clicked.
  widget->setFocusPolicy(Qt::ClickFocus);
  const Rect& rect = control.rect;
  widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
  SetFittingFont(widget, control.font);
  widget->setVisible(true);
  controls_.emplace_back(widget);
  return static_cast<void*>(widget);
}

void QtWindowSystem::SetFittingFont(QWidget* widget, const FontDescription& font) {
  const bool shared = font.sharedWithPrevious && !fontSharers_.empty() && fontSharers_.back();
  const QFont start = shared ? fontSharers_.back()->font() : ControlFont(font.height);
  if (!shared) {
    fontSharers_.clear();
  }
  fontSharers_.emplace_back(widget);
  // One font object serves every control that shares it, so a smaller size that one of them
  // needs for its caption is taken by all of them.
  const QFont fitting = LargestFittingFont(
      start, [widget](const QFont& candidate) { return CaptionFits(*widget, candidate); });
  for (const QPointer<QWidget>& sharer : fontSharers_) {
    if (sharer) {
      sharer->setFont(fitting);
    }
  }
}

void QtWindowSystem::SetText(WindowHandle control, const std::u16string& text) {
  OnGuiThread([this, control, &text] {
    QWidget* widget = Control(control);
    const QString value = ToQString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      edit->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(value);
      label->update();  // drawn anew, in the line colour of this moment
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      group->setTitle(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setText(value);
    }
  });
}

std::u16string QtWindowSystem::GetText(WindowHandle control, std::size_t bufferChars) {
  return OnGuiThread([this, control, bufferChars] {
    QWidget* widget = Control(control);
    QString value;
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      value = edit->text();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      value = label->text();
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      value = group->title();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      value = button->text();
    }
    std::u16string text = value.toStdU16String();
    text.resize(std::min(text.size(), bufferChars == 0 ? 0 : bufferChars - 1));
    return text;
  });
}

void QtWindowSystem::Enable(WindowHandle control, bool enable) {
  OnGuiThread([this, control, enable] {
    if (QWidget* widget = Control(control)) {
      widget->setEnabled(enable);
    }
  });
}

void QtWindowSystem::SetChecked(WindowHandle radio, bool checked) {
  OnGuiThread([this, radio, checked] {
    if (auto* button = qobject_cast<QRadioButton*>(Control(radio))) {
      button->setChecked(checked);
    }
  });
}

bool QtWindowSystem::IsChecked(WindowHandle radio) {
  return OnGuiThread([this, radio] {
    const auto* button = qobject_cast<QRadioButton*>(Control(radio));
    return button != nullptr && button->isChecked();
  });
}

std::optional<std::string> QtWindowSystem::ClipboardText() {
  return OnGuiThread([]() -> std::optional<std::string> {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasText()) {
      return std::nullopt;
    }
    const QByteArray bytes = data->text().toLatin1();
    // The text ends at its first zero byte, as 8-bit clipboard text does.
    return std::string(bytes.constData(), qstrnlen(bytes.constData(), bytes.size()));
  });
}

void QtWindowSystem::PostQuit(int exitCode) {
  OnGuiThread([this, exitCode] {
    quitCode_ = exitCode;
    QCoreApplication::exit(exitCode);
  });
}

QWidget* QtWindowSystem::Window() const {
  return window_.get();
}

QWidget* QtWindowSystem::Control(WindowHandle handle) const {
  if (handle == nullptr) {
    return nullptr;
  }
  for (const QPointer<QWidget>& control : controls_) {
    if (static_cast<void*>(control.data()) == handle) {
      return control.data();
    }
  }
  return nullptr;
}

}  // namespace digital_id
