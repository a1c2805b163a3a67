// Tests of the installer's Linux window, run offscreen with QTest.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLibraryInfo>
#include <QProcess>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "core/shell/app_state.h"
#include "core/shell/main_window_layout.h"
#include "core/shell/texts.h"
#include "frontends/qt/group_frame.h"
#include "frontends/qt/main_window_widget.h"
#include "platform/linux/system/file_descriptor.h"
#include "window_site_qt.h"

namespace digital_id::window_tests {

namespace {

namespace fs = std::filesystem;

// Generous bound for a whole enrollment (the client alone pauses five seconds).
constexpr int kEnrollmentBoundMs = 60'000;

// No caption is drawn smaller than this, however its font had to be fitted to its control.
constexpr int kSmallestReadablePixels = 11;

const QColor kDarkRed(153, 0, 0);
const QColor kGreen(0, 128, 0);

QString Q(std::u16string_view text) {
  return QString::fromStdU16String(std::u16string(text));
}

QWidget* WidgetFor(const WindowSite& site, ControlRole role) {
  switch (role) {
    case ControlRole::CodeEdit:
      return site.CodeEdit();
    case ControlRole::PasteButton:
      return site.PasteButton();
    case ControlRole::SubmitButton:
      return site.SubmitButton();
    case ControlRole::CloseButton:
      return site.CloseButton();
    case ControlRole::ContextGroup:
      return site.ContextGroup();
    case ControlRole::UserRadio:
      return site.UserRadio();
    case ControlRole::MachineRadio:
      return site.MachineRadio();
    case ControlRole::StatusLine:
      return site.StatusLine();
    case ControlRole::DetailLine:
      return site.DetailLine();
  }
  return nullptr;
}

QString TextOf(QWidget* widget) {
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  return {};
}

bool AllEnabled(const std::vector<QWidget*>& controls, bool enabled) {
  for (QWidget* control : controls) {
    if (control == nullptr || control->isEnabled() != enabled) return false;
  }
  return true;
}

int FileCount(const std::string& folder) {
  std::error_code error;
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.is_regular_file()) ++count;
  }
  return count;
}

void PutTextOnClipboard(const QString& text) {
  QGuiApplication::clipboard()->setText(text);
}

// The rectangle the widget's style draws a button's text in.
QRect ButtonTextRoom(QAbstractButton* button, QStyle::SubElement contents) {
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  return button->style()->subElementRect(contents, &option, button);
}

QByteArray Describe(const QString& text, const QFont& font, const QRect& drawn, const QRect& room) {
  return QStringLiteral("\"%1\" in %2 %3px covers %4,%5 %6x%7; room %8,%9 %10x%11")
      .arg(text, QFontInfo(font).family())
      .arg(QFontInfo(font).pixelSize())
      .arg(drawn.x())
      .arg(drawn.y())
      .arg(drawn.width())
      .arg(drawn.height())
      .arg(room.x())
      .arg(room.y())
      .arg(room.width())
      .arg(room.height())
      .toUtf8();
}

// True when settings start the installer beside the site's stand-in compositor while Qt here has
// a Wayland platform plugin: that plugin would wait for the compositor's answer, and the case is
// about its absence.
bool NeedsTheWaylandPluginMissing(const QStringList& settings) {
  const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                       QStringLiteral("/platforms"));
  return settings.join(QLatin1Char(' ')).contains(QStringLiteral("@site/wayland-0")) &&
         !platforms.entryList({QStringLiteral("*wayland*")}, QDir::Files).isEmpty();
}

// An X server of the test's own (Xvfb) on a free display, stopped on destruction.
class XServer {
 public:
  XServer() {
    // Xvfb writes the number of the display it took to descriptor 1, standard output here.
    process_.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    const QDeadlineTimer deadline(kEnrollmentBoundMs);
    while (!process_.canReadLine() && process_.state() != QProcess::NotRunning &&
           !deadline.hasExpired()) {
      process_.waitForReadyRead(100);
    }
    const QByteArray number = process_.readLine().trimmed();
    if (!number.isEmpty()) display_ = QStringLiteral(":") + QString::fromLatin1(number);
  }
  ~XServer() {
    process_.terminate();
    process_.waitForFinished();
  }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  // ":<number>", or empty when the server did not start.
  const QString& Display() const { return display_; }

 private:
  QProcess process_;
  QString display_;
};

// A connection to an X server that sees the top-level windows being shown.
class WindowWatcher {
 public:
  explicit WindowWatcher(const QString& display)
      : connection_(xcb_connect(display.toLatin1().constData(), nullptr), &xcb_disconnect) {
    if (!Valid()) return;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_.get())).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_.get(), root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_.get());
  }
  // True when connected.
  bool Valid() const { return connection_ && xcb_connection_has_error(connection_.get()) == 0; }
  // The next top-level window shown since the last call; XCB_WINDOW_NONE when none was.
  xcb_window_t NextShown() {
    while (const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event{
        xcb_poll_for_event(connection_.get()), &std::free}) {
      if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
        if (map->override_redirect == 0) return map->window;
      }
    }
    return XCB_WINDOW_NONE;
  }
  // Asks the window to close, as a window manager's close button does.
  void Close(xcb_window_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = Atom("WM_PROTOCOLS");
    message.data.data32[0] = Atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_.get(), 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection_.get());
  }

 private:
  xcb_atom_t Atom(const char* name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply{
        xcb_intern_atom_reply(connection_.get(),
                              xcb_intern_atom(connection_.get(), 0,
                                              static_cast<std::uint16_t>(std::strlen(name)), name),
                              nullptr),
        &std::free};
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  }

  std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection_;
};

// What the installer starts among: a folder with a socket that passes for a Wayland compositor
// (the kernel accepts connections to it, nothing ever answers), a plugin folder holding the
// attack plugin, and the place of the marker that plugin leaves when loaded.
class InstallerSite {
 public:
  InstallerSite() {
    const std::string path = Path("wayland-0").toStdString();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() < sizeof(address.sun_path)) {
      std::memcpy(address.sun_path, path.data(), path.size());
      if (::bind(compositor_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) !=
              0 ||
          ::listen(compositor_.Get(), 4) != 0) {
        compositor_.Close();
      }
    }
    QDir().mkpath(Path("plugins/platforms"));
    QFile::copy(QStringLiteral(ATTACK_PLUGIN_PATH), Path("plugins/platforms/libqattack.so"));
  }
  // True when the compositor's socket listens.
  bool Ready() const { return folder_.isValid() && compositor_.Valid(); }
  // A path in the site's folder.
  QString Path(const QString& name) const { return folder_.filePath(name); }
  // True when the attack plugin was loaded.
  bool AttackRan() const { return QFile::exists(Path(QStringLiteral("marker"))); }

  // The installer's environment: this one's without display and platform settings, then the
  // settings ("NAME=value"), in which @site stands for the site's folder.
  QProcessEnvironment Environment(const QStringList& settings) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM",
                             "XDG_SESSION_TYPE", "QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH"}) {
      environment.remove(QString::fromLatin1(name));
    }
    environment.insert(QStringLiteral("ATTACK_PLUGIN_MARKER"), Path(QStringLiteral("marker")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), Path(QStringLiteral("data")));
    environment.insert(QStringLiteral("DIGITAL_ID_MACHINE_STORES"),
                       Path(QStringLiteral("machine")));
    for (QString setting : settings) {
      setting.replace(QStringLiteral("@site"), folder_.path());
      environment.insert(setting.section(QLatin1Char('='), 0, 0),
                         setting.section(QLatin1Char('='), 1));
    }
    return environment;
  }

 private:
  QTemporaryDir folder_;
  FileDescriptor compositor_{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)};
};

}  // namespace

// The rows of a Wayland compositor (the site's stand-in) that Qt has no plugin for, with and
// without QT_QPA_PLATFORM naming it.
void AddWaylandWithoutItsPluginRows() {
  QTest::newRow("Wayland compositor without the plugin")
      << QStringList{QStringLiteral("XDG_SESSION_TYPE=wayland"),
                     QStringLiteral("WAYLAND_DISPLAY=@site/wayland-0")};
  QTest::newRow("QT_QPA_PLATFORM=wayland without the plugin") << QStringList{
      QStringLiteral("QT_QPA_PLATFORM=wayland"), QStringLiteral("WAYLAND_DISPLAY=@site/wayland-0")};
}

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QGuiApplication::setQuitOnLastWindowClosed(false); }

  void ControlsStandAtTheirTablePlaces_data() {
    QTest::addColumn<bool>("french");
    QTest::addColumn<bool>("advance");
    QTest::addColumn<QString>("picture");
    QTest::newRow("english") << false << false << "window-english.png";
    QTest::newRow("english advance") << false << true << "";
    QTest::newRow("french") << true << false << "";
    QTest::newRow("french advance") << true << true << "window-french-advance.png";
  }

  void ControlsStandAtTheirTablePlaces() {
    QFETCH(bool, french);
    QFETCH(bool, advance);
    QFETCH(QString, picture);
    WindowSite site;
    site.WriteSettings({french ? "Language=FR" : "Language=EN",
                        advance ? "AdvanceMode=TRUE" : "AdvanceMode=FALSE"});
    site.Open();
    QWidget* window = site.Window();
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    const Language language = french ? Language::French : Language::English;
    QCOMPARE(window->windowTitle(), Q(Pick(texts::kWindowTitle, language)));
    // Offscreen windows have no frame: the client area is the whole window size.
    QCOMPARE(window->frameGeometry().size(), QSize(kMainWindowWidth, kMainWindowHeight));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    const std::vector<ControlLayout> rows = MainWindowControls(advance, language);
    QCOMPARE(window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(),
             static_cast<qsizetype>(rows.size()));
    for (const ControlLayout& row : rows) {
      QWidget* widget = WidgetFor(site, row.role);
      QVERIFY(widget != nullptr);
      const ControlDescription& c = row.control;
      QCOMPARE(widget->geometry(), QRect(c.rect.x, c.rect.y, c.rect.width, c.rect.height));
      QCOMPARE(TextOf(widget), Q(c.text));
      QVERIFY(widget->isVisible());
      QCOMPARE(widget->font().families().value(0), QStringLiteral("Trebuchet MS"));
      if (c.font.height > 0) {
        QVERIFY(QFontMetrics(widget->font()).height() <= c.font.height);
        QVERIFY(QFontMetrics(widget->font()).height() >= c.font.height - 4);
      }
    }
    QCOMPARE(site.CodeEdit()->maxLength(), kCodeLimit);
    QCOMPARE(site.ContextGroup() != nullptr, advance);
    if (advance) {
      QVERIFY(site.UserRadio()->isChecked());
      QVERIFY(!site.MachineRadio()->isChecked());
      QTest::mouseClick(site.MachineRadio(), Qt::LeftButton);
      QVERIFY(!site.UserRadio()->isChecked());
      QVERIFY(site.MachineRadio()->isChecked());
      QTest::mouseClick(site.UserRadio(), Qt::LeftButton);
    }
    if (!picture.isEmpty()) SavePicture(window, picture.toLatin1().constData());
  }

  void CaptionsFitTheirControls_data() { ControlsStandAtTheirTablePlaces_data(); }

  // Every caption is drawn whole at the fixed layout: the text of each button within the room
  // its style leaves, the group's title on its frame line above the radio buttons, and the
  // painted captions within the window and clear of every control, in a readable size.
  void CaptionsFitTheirControls() {
    QFETCH(bool, french);
    QFETCH(bool, advance);
    WindowSite site;
    site.WriteSettings({french ? "Language=FR" : "Language=EN",
                        advance ? "AdvanceMode=TRUE" : "AdvanceMode=FALSE"});
    site.Open();
    const Language language = french ? Language::French : Language::English;
    for (const ControlLayout& row : MainWindowControls(advance, language)) {
      QWidget* widget = WidgetFor(site, row.role);
      QVERIFY(widget != nullptr);
      const QString text = Q(row.control.text);
      const QFontMetrics metrics(widget->font());
      QRect room;
      QRect drawn;
      if (row.control.kind == ControlKind::RadioButton) {
        auto* radio = qobject_cast<QRadioButton*>(widget);
        QVERIFY(radio != nullptr);
        room = ButtonTextRoom(radio, QStyle::SE_RadioButtonContents);
        drawn = QRect(room.topLeft(), metrics.size(Qt::TextShowMnemonic, text));
      } else if (row.control.kind == ControlKind::PushButton) {
        auto* button = qobject_cast<QPushButton*>(widget);
        QVERIFY(button != nullptr);
        room = ButtonTextRoom(button, QStyle::SE_PushButtonContents);
        drawn = QRect(room.topLeft(), metrics.size(Qt::TextShowMnemonic, text));
      } else if (row.control.kind == ControlKind::GroupBox) {
        auto* group = qobject_cast<GroupFrame*>(widget);
        QVERIFY(group != nullptr);
        room = group->rect().adjusted(GroupFrame::kTitleInset, 0, -GroupFrame::kTitleInset, 0);
        drawn = group->TitleRect();
        QVERIFY(drawn.width() >= metrics.horizontalAdvance(text));
        QCOMPARE(drawn.height(), metrics.height());
        // The frame's top line runs through the title; the radio buttons stand inside the frame
        // lines, below the title.
        const QRect frame = group->FrameRect();
        QVERIFY(frame.top() > drawn.top() && frame.top() < drawn.bottom());
        for (QWidget* radio : {site.UserRadio(), site.MachineRadio()}) {
          const QRect inGroup = radio->geometry().translated(-group->pos());
          QVERIFY2(inGroup.top() > drawn.bottom(), Describe(text, widget->font(), drawn, inGroup));
          QVERIFY(frame.adjusted(2, 2, -2, -2).contains(inGroup));
        }
      } else {
        continue;  // the edit box and the two text lines have no caption
      }
      QVERIFY2(drawn.width() <= room.width() && drawn.height() <= room.height(),
               Describe(text, widget->font(), drawn, room));
      QVERIFY2(QFontInfo(widget->font()).pixelSize() >= kSmallestReadablePixels,
               Describe(text, widget->font(), drawn, room));
    }

    auto* window = dynamic_cast<MainWindowWidget*>(site.Window());
    QVERIFY(window != nullptr);
    const std::vector<Caption> captions = CaptionsToPaint();
    QCOMPARE(captions.size(), std::size_t{2});
    for (const Caption& caption : captions) {
      const QString text = Q(caption.text);
      const QFont font = window->CaptionFont(caption);
      const QRect drawn = QFontMetrics(font).boundingRect(
          QRect(caption.x, caption.y, window->width(), window->height()),
          Qt::AlignLeft | Qt::AlignTop, text);
      QCOMPARE(drawn.topLeft(), QPoint(caption.x, caption.y));
      QVERIFY2(window->rect().contains(drawn), Describe(text, font, drawn, window->rect()));
      for (QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(!control->geometry().intersects(drawn),
                 Describe(text, font, drawn, control->geometry()));
      }
      QVERIFY2(QFontInfo(font).pixelSize() >= kSmallestReadablePixels,
               Describe(text, font, drawn, window->rect()));
    }
  }

  void InstallerWithoutADisplayPointsToTheConsoleProgram_data() {
    // Settings made after the display, platform and plugin settings are taken away.
    QTest::addColumn<QStringList>("settings");
    QTest::newRow("no display named") << QStringList{};
    QTest::newRow("no X server") << QStringList{QStringLiteral("DISPLAY=:4719")};
    QTest::newRow("no Wayland compositor")
        << QStringList{QStringLiteral("WAYLAND_DISPLAY=/nonexistent/wayland-4719")};
    QTest::newRow("xcb without an X server")
        << QStringList{QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY=:4719")};
    AddWaylandWithoutItsPluginRows();
    // In a privileged run, a plugin folder that the invoking user names is not searched, so its
    // plugin is never loaded and the platform it offers does not exist.
    QTest::newRow("privileged, plugin in QT_PLUGIN_PATH") << QStringList{
        QStringLiteral("QT_QPA_PLATFORM=attack"), QStringLiteral("QT_PLUGIN_PATH=@site/plugins")};
    QTest::newRow("privileged, plugin in QT_QPA_PLATFORM_PLUGIN_PATH")
        << QStringList{QStringLiteral("QT_QPA_PLATFORM=attack"),
                       QStringLiteral("QT_QPA_PLATFORM_PLUGIN_PATH=@site/plugins/platforms")};
    // Nor does it serve its window over the network to whoever connects.
    QTest::newRow("privileged, a platform served over the network")
        << QStringList{QStringLiteral("QT_QPA_PLATFORM=vnc")};
  }

  void InstallerWithoutADisplayPointsToTheConsoleProgram() {
    QFETCH(QStringList, settings);
    if (NeedsTheWaylandPluginMissing(settings)) QSKIP("needs Qt without its Wayland plugin");
    if (QByteArray(QTest::currentDataTag()).startsWith("privileged") && ::geteuid() != 0) {
      QSKIP("needs root, as CI runs");
    }
    const InstallerSite site;
    QVERIFY(site.Ready());
    QProcess installer;
    installer.setProcessEnvironment(site.Environment(settings));
    installer.setWorkingDirectory(site.Path(QStringLiteral(".")));
    installer.start(QStringLiteral(INSTALLER_PATH), {});
    QVERIFY(installer.waitForFinished(kEnrollmentBoundMs));
    QVERIFY(!site.AttackRan());
    QCOMPARE(installer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(installer.exitCode(), 0);
    QCOMPARE(installer.readAllStandardOutput(), QByteArray());
    QCOMPARE(installer.readAllStandardError(),
             QByteArray("digital-id-installer: no display available; to enroll from a terminal, "
                        "use digital-id-enroll\n"));
  }

  void InstallerInAWaylandSessionWithoutItsPluginStartsOnX11_data() {
    // Settings made after the display, platform and plugin settings are taken away; DISPLAY then
    // names the test's X server.
    QTest::addColumn<QStringList>("settings");
    QTest::newRow("Wayland socket missing")
        << QStringList{QStringLiteral("XDG_SESSION_TYPE=wayland"),
                       QStringLiteral("WAYLAND_DISPLAY=/nonexistent/wayland-4719")};
    AddWaylandWithoutItsPluginRows();
  }

  // The installer shows its window on the X server and ends with exit code 0 when it is closed.
  void InstallerInAWaylandSessionWithoutItsPluginStartsOnX11() {
    QFETCH(QStringList, settings);
    if (NeedsTheWaylandPluginMissing(settings)) QSKIP("needs Qt without its Wayland plugin");
    const InstallerSite site;
    QVERIFY(site.Ready());
    const XServer server;
    QVERIFY(!server.Display().isEmpty());
    WindowWatcher watcher(server.Display());
    QVERIFY(watcher.Valid());
    QProcess installer;
    installer.setProcessEnvironment(
        site.Environment(settings << QStringLiteral("DISPLAY=") + server.Display()));
    installer.setWorkingDirectory(site.Path(QStringLiteral(".")));
    installer.start(QStringLiteral(INSTALLER_PATH), {});
    const QDeadlineTimer deadline(kEnrollmentBoundMs);
    xcb_window_t window = XCB_WINDOW_NONE;
    while (window == XCB_WINDOW_NONE && installer.state() != QProcess::NotRunning &&
           !deadline.hasExpired()) {
      installer.waitForFinished(50);
      window = watcher.NextShown();
    }
    QVERIFY2(window != XCB_WINDOW_NONE, installer.readAllStandardError().constData());
    watcher.Close(window);
    QVERIFY(installer.waitForFinished(kEnrollmentBoundMs));
    QCOMPARE(installer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(installer.exitCode(), 0);
  }

  void CodeBoxHoldsAtMostSixtyFourCharacters() {
    WindowSite site;
    site.Open();
    const QString typed = QString(100, QLatin1Char('A'));
    QTest::keyClicks(site.CodeEdit(), typed);
    QCOMPARE(site.CodeEdit()->text(), typed.left(64));

    QString pasted;
    for (int i = 0; i < 100; ++i) pasted += QChar(u'a' + i % 26);
    PutTextOnClipboard(pasted);
    QTest::mouseClick(site.PasteButton(), Qt::LeftButton);
    QCOMPARE(site.CodeEdit()->text(), pasted.left(64));

    PutTextOnClipboard(QStringLiteral("0123456789"));
    QTest::mouseClick(site.PasteButton(), Qt::LeftButton);
    QCOMPARE(site.CodeEdit()->text(), QStringLiteral("0123456789"));

    // Each character of the Latin-1 form is one byte, and the text ends at a zero character.
    PutTextOnClipboard(QStringLiteral("A\u00e9B C\nD") + QChar(0) + QStringLiteral("tail"));
    QTest::mouseClick(site.PasteButton(), Qt::LeftButton);
    QCOMPARE(site.CodeEdit()->text(), QStringLiteral("A\u00e9B C\nD"));
  }

  void PasteWithoutTextLeavesTheBox() {
    WindowSite site;
    site.Open();
    QTest::keyClicks(site.CodeEdit(), QStringLiteral("KEEP-1"));
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(site.PasteButton(), Qt::LeftButton);
    QCOMPARE(site.CodeEdit()->text(), QStringLiteral("KEEP-1"));

    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QGuiApplication::clipboard()->setImage(image);
    QTest::mouseClick(site.PasteButton(), Qt::LeftButton);
    QCOMPARE(site.CodeEdit()->text(), QStringLiteral("KEEP-1"));
  }

  void SubmitDisablesTheFourAndRefusedCodesBringThemBack() {
    WindowSite site;
    site.Open();
    std::vector<bool> enabledAtStart;
    site.Tracking().beforeStart = [&] {
      for (QWidget* control : site.InputControls()) enabledAtStart.push_back(control->isEnabled());
    };
    QTest::mouseClick(site.SubmitButton(), Qt::LeftButton);
    QCOMPARE(enabledAtStart, std::vector<bool>(4, false));
    QVERIFY(site.WaitForRunEnd());
    QCOMPARE(site.StatusLine()->text(), Q(texts::kInvalidData.english));
    QCOMPARE(site.DetailLine()->text(), Q(texts::kCodeEmpty.english));
    QVERIFY(AllEnabled(site.InputControls(), true));
    QCOMPARE(site.DetailLine()->grab().isNull(), false);
    QVERIFY(CountPixels(site.DetailLine()->grab().toImage(), kDarkRed) > 0);

    enabledAtStart.clear();
    PutTextOnClipboard(QStringLiteral("ABC 123"));
    QTest::mouseClick(site.PasteButton(), Qt::LeftButton);
    QTest::mouseClick(site.SubmitButton(), Qt::LeftButton);
    QCOMPARE(enabledAtStart, std::vector<bool>(4, false));
    QVERIFY(site.WaitForRunEnd());
    QCOMPARE(site.StatusLine()->text(), Q(texts::kInvalidData.english));
    QCOMPARE(site.DetailLine()->text(), Q(texts::kInvalidCode.english));
    QVERIFY(AllEnabled(site.InputControls(), true));
    for (LineLabel* line : {site.StatusLine(), site.DetailLine()}) {
      const QImage drawn = line->grab().toImage();
      QCOMPARE(line->DrawnColour(), kDarkRed);
      QVERIFY(CountPixels(drawn, kDarkRed) > 0);
      QCOMPARE(CountPixels(drawn, kGreen), 0);
    }
  }

  void EnrollmentThroughTheWindowEndsGreen() {
    WindowSite site;
    QVERIFY(site.StartServer({"--code", "WINDOW-CODE-1"}));
    site.Open();
    QTest::keyClicks(site.CodeEdit(), QStringLiteral("WINDOW-CODE-1"));
    QTest::mouseClick(site.SubmitButton(), Qt::LeftButton);
    QVERIFY(!site.SubmitButton()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(site.StatusLine()->text(), Q(texts::kCertificateIssued.english),
                              kEnrollmentBoundMs);
    QVERIFY(site.WaitForRunEnd());
    QCOMPARE(site.DetailLine()->text(), Q(texts::kInstallationCompleted.english));
    QVERIFY(AllEnabled(site.InputControls(), true));
    QCOMPARE(App().lineColour.load(), kColourGreen);
    for (LineLabel* line : {site.StatusLine(), site.DetailLine()}) {
      const QImage drawn = line->grab().toImage();
      QVERIFY(CountPixels(drawn, kGreen) > 0);
      QCOMPARE(CountPixels(drawn, kDarkRed), 0);
    }
    // The issued certificate and its key are in the user's personal store.
    QCOMPARE(FileCount(site.UserStore("My")), 2);
    SavePicture(site.Window(), "window-enrolled.png");
  }

  void MachineChoiceIsAskedOfTheRadioButtonsDuringTheRun() {
    WindowSite site;
    QVERIFY(site.StartServer({"--code", "WINDOW-CODE-2", "--advance-mode"}));
    site.Open();
    QVERIFY(site.MachineRadio() != nullptr);
    QTest::mouseClick(site.MachineRadio(), Qt::LeftButton);
    QTest::keyClicks(site.CodeEdit(), QStringLiteral("WINDOW-CODE-2"));
    QTest::mouseClick(site.SubmitButton(), Qt::LeftButton);
    QVERIFY(site.WaitForRunEnd());
    QCOMPARE(site.StatusLine()->text(), Q(texts::kCertificateIssued.english));
    QCOMPARE(FileCount(site.UserStore("My")), 0);
    QCOMPARE(FileCount(qEnvironmentVariable("DIGITAL_ID_MACHINE_STORES").toStdString() + "/My"), 2);
  }

  void DeniedCodeKeepsTheLinesDarkRed() {
    WindowSite site;
    QVERIFY(site.StartServer({"--deny-code", "WINDOW-DENIED-1"}));
    site.Open();
    QTest::keyClicks(site.CodeEdit(), QStringLiteral("WINDOW-DENIED-1"));
    QTest::mouseClick(site.SubmitButton(), Qt::LeftButton);
    QVERIFY(site.WaitForRunEnd());
    QCOMPARE(site.StatusLine()->text(), Q(texts::kRequestDenied.english));
    QVERIFY(AllEnabled(site.InputControls(), true));
    QCOMPARE(App().lineColour.load(), kColourDarkRed);
    for (LineLabel* line : {site.StatusLine(), site.DetailLine()}) {
      const QImage drawn = line->grab().toImage();
      QVERIFY(CountPixels(drawn, kDarkRed) > 0);
      QCOMPARE(CountPixels(drawn, kGreen), 0);
    }
    QCOMPARE(FileCount(site.UserStore("My")), 0);
  }

  void CaptionsFollowTheLanguageOfEachPaint() {
    WindowSite site;
    site.WriteSettings({"Language=EN"});
    site.Open();
    const QRect captions(0, 0, kMainWindowWidth, 85);
    const QImage english = site.Window()->grab(captions).toImage();
    site.WriteSettings({"Language=FR"});
    const QImage french = site.Window()->grab(captions).toImage();
    QVERIFY(english != french);
    // The controls keep the labels they got at creation.
    QCOMPARE(site.PasteButton()->text(), Q(texts::kPaste.english));
    site.WriteSettings({"Language=EN"});
    QCOMPARE(site.Window()->grab(captions).toImage(), english);
    // The captions keep the default text colour whatever the lines are drawn in.
    App().lineColour = kColourDarkRed;
    QCOMPARE(CountPixels(site.Window()->grab(captions).toImage(), kDarkRed), 0);
  }

  void CloseButtonEndsTheInstallerWithExitCodeZero() {
    WindowSite site;
    bool shown = false;
    const int code = site.Run([&] {
      shown = site.Window() != nullptr && site.Window()->isVisible();
      QTest::mouseClick(site.CloseButton(), Qt::LeftButton);
    });
    QVERIFY(shown);
    QCOMPARE(code, 0);
  }

  void ClosingTheWindowDuringARunEndsTheInstallerWithExitCodeZero() {
    WindowSite site;
    QVERIFY(site.StartServer({"--code", "WINDOW-CODE-3"}));
    int runningAtClose = 0;
    const int code = site.Run([&] {
      QTest::keyClicks(site.CodeEdit(), QStringLiteral("WINDOW-CODE-3"));
      QTest::mouseClick(site.SubmitButton(), Qt::LeftButton);
      runningAtClose = site.Tracking().Running();
      site.Window()->close();
    });
    QCOMPARE(runningAtClose, 1);
    QCOMPARE(code, 0);
  }

  void FailedVersionQueryShowsItAndKeepsPasteAndClose() {
    WindowSite site;
    site.WriteSettings({"Language=FR"});
    site.Tracking().failVersionQuery = true;
    QString status;
    QString detail;
    std::vector<bool> enabled;
    int redPixels = 0;
    const int code = site.Run([&] {
      status = site.StatusLine()->text();
      detail = site.DetailLine()->text();
      for (QWidget* control : site.InputControls()) enabled.push_back(control->isEnabled());
      redPixels = CountPixels(site.DetailLine()->grab().toImage(), kDarkRed);
      QTest::mouseClick(site.CloseButton(), Qt::LeftButton);
    });
    QCOMPARE(code, 0);
    QCOMPARE(status, Q(texts::kOsDetectionError.french));
    QCOMPARE(detail, Q(texts::kUnableToDetectOs.french));
    QCOMPARE(enabled, (std::vector<bool>{false, false, true, true}));
    QVERIFY(redPixels > 0);
  }
};

}  // namespace digital_id::window_tests

QTEST_MAIN(digital_id::window_tests::WindowTest)
#include "window_test_qt.moc"
