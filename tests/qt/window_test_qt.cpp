// Tests of the installer's Linux window, run offscreen with QTest.
#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QProcess>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <filesystem>

#include "core/shell/app_state.h"
#include "core/shell/main_window_layout.h"
#include "core/shell/texts.h"
#include "frontends/qt/group_frame.h"
#include "frontends/qt/main_window_widget.h"
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

}  // namespace

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
    // Settings made after DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are taken away.
    QTest::addColumn<QStringList>("settings");
    QTest::newRow("no display named") << QStringList{};
    QTest::newRow("no X server") << QStringList{QStringLiteral("DISPLAY=:4719")};
    QTest::newRow("no Wayland compositor")
        << QStringList{QStringLiteral("WAYLAND_DISPLAY=/nonexistent/wayland-4719")};
    QTest::newRow("xcb without an X server")
        << QStringList{QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("DISPLAY=:4719")};
  }

  void InstallerWithoutADisplayPointsToTheConsoleProgram() {
    QFETCH(QStringList, settings);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM"}) {
      environment.remove(QString::fromLatin1(name));
    }
    for (const QString& setting : settings) {
      environment.insert(setting.section(QLatin1Char('='), 0, 0),
                         setting.section(QLatin1Char('='), 1));
    }
    QProcess installer;
    installer.setProcessEnvironment(environment);
    installer.start(QStringLiteral(INSTALLER_PATH), {});
    QVERIFY(installer.waitForFinished(kEnrollmentBoundMs));
    QCOMPARE(installer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(installer.exitCode(), 0);
    QCOMPARE(installer.readAllStandardOutput(), QByteArray());
    QCOMPARE(installer.readAllStandardError(),
             QByteArray("digital-id-installer: no display available; to enroll from a terminal, "
                        "use digital-id-enroll\n"));
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
