#include "shell/qt_window_system_qt.h"

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

#include "shell/app_icon_qt.h"
#include "shell/control_font_qt.h"
#include "shell/line_label_qt.h"
#include "shell/main_window.h"
#include "shell/main_window_layout.h"
#include "shell/main_window_qt.h"

namespace digital_id {

namespace {

constexpr std::uint32_t kButtonKindMask = 0x000F;

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

// A push button, group box or radio button, by the low bits of a Win32 button style.
QWidget* MakeButton(const ControlCreation& control, QWidget* parent) {
  const QString text = ToQString(control.text);
  switch (control.style & kButtonKindMask) {
    case styles::kGroupBox& kButtonKindMask:
      return MakeChild<QGroupBox>(parent, text);
    case styles::kAutoRadioButton& kButtonKindMask: {
      auto* radio = MakeChild<QRadioButton>(parent, text);
      radio->setAutoExclusive(true);  // the only radio buttons of the window form one pair
      return radio;
    }
    default:
      return MakeChild<QPushButton>(parent, text);
  }
}

}  // namespace

QtWindowSystem::QtWindowSystem() = default;

QtWindowSystem::~QtWindowSystem() = default;

void QtWindowSystem::RegisterMainWindowClass() {
  QGuiApplication::setWindowIcon(AppIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("digital-id-installer"));
}

bool QtWindowSystem::CreateMainWindow(const std::u16string& title, int showCommand) {
  window_ = std::make_unique<MainWindowWidget>();
  window_->setWindowTitle(ToQString(title));
  OnMainWindowCreate();
  if (showCommand != 0) {  // 0 is the hidden show command
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

WindowHandle QtWindowSystem::CreateControl(const ControlCreation& control) {
  if (!window_) {
    return nullptr;
  }
  QWidget* widget = nullptr;
  const QString className = ToQString(control.className);
  if (className.compare(QLatin1String("Edit"), Qt::CaseInsensitive) == 0) {
    auto* edit = MakeChild<QLineEdit>(window_.get());
    edit->setFrame((control.style & styles::kBorder) != 0);
    widget = edit;
  } else if (className.compare(QLatin1String("Button"), Qt::CaseInsensitive) == 0) {
    widget = MakeButton(control, window_.get());
  } else if (className.compare(QLatin1String("STATIC"), Qt::CaseInsensitive) == 0) {
    auto* label = MakeChild<LineLabel>(window_.get());
    label->setText(ToQString(control.text));
    widget = label;
  } else {
    return nullptr;
  }
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    const int id = control.id;
    connect(button, &QAbstractButton::clicked, this, [id] { OnMainWindowCommand(id); });
  }
  // No tab stops: a control takes the focus only when clicked.
  widget->setFocusPolicy(Qt::ClickFocus);
  widget->setGeometry(control.x, control.y, control.width, control.height);
  widget->setVisible((control.style & styles::kVisible) != 0);
  controls_.emplace_back(widget);
  return static_cast<void*>(widget);
}

void* QtWindowSystem::CreateControlFont(int fontHeight) {
  fonts_.push_back(std::make_unique<QFont>(ControlFont(fontHeight)));
  return fonts_.back().get();
}

void QtWindowSystem::SetFont(WindowHandle control, void* font) {
  QWidget* widget = Control(control);
  const auto known = std::find_if(fonts_.begin(), fonts_.end(),
                                  [font](const auto& owned) { return owned.get() == font; });
  if (widget != nullptr && known != fonts_.end()) {
    widget->setFont(**known);
  }
}

void QtWindowSystem::LimitText(WindowHandle edit, int characters) {
  if (auto* line = qobject_cast<QLineEdit*>(Control(edit)); line != nullptr && characters > 0) {
    line->setMaxLength(characters);
  }
}

void QtWindowSystem::SetCheck(WindowHandle radio, int state) {
  OnGuiThread([this, radio, state] {
    if (auto* button = qobject_cast<QRadioButton*>(Control(radio))) {
      button->setChecked(state == 1);
    }
  });
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

int QtWindowSystem::GetCheck(WindowHandle radio) {
  return OnGuiThread([this, radio] {
    const auto* button = qobject_cast<QRadioButton*>(Control(radio));
    return button != nullptr && button->isChecked() ? 1 : 0;
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
