// Tests of the installer's Linux window, run offscreen with QTest.
#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QImage>
#include <QTest>
#include <filesystem>

#include "core/shell/app_state.h"
#include "core/shell/main_window_layout.h"
#include "core/shell/texts.h"
#include "window_site_qt.h"

namespace digital_id::window_tests {

namespace {

namespace fs = std::filesystem;

// Generous bound for a whole enrollment (the client alone pauses five seconds).
constexpr int kEnrollmentBoundMs = 60'000;

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
