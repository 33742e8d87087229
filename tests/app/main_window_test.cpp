#include <QCheckBox>
#include <QDir>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <stdexcept>

#include "test_support.h"

using vintok::Edition;
using vintok::test::ErrorBoxes;
using vintok::test::Harness;
namespace app = vintok::app;

namespace {

QStringList TabCycle(int presses) {
  QStringList names;
  for (int i = 0; i < presses; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    names << QApplication::focusWidget()->objectName();
  }
  return names;
}

// The colour the edit really shows inside its frame, away from the text.
QColor PaintedBackground(QWidget* edit) {
  const QImage image = edit->grab().toImage();
  return image.pixelColor(image.width() - 4, image.height() / 2);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsHaveTheirPlacesAndContent_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("text");
    const struct {
      Edition edition;
      const char* name;
      QRect place;
      const char* text;
    } rows[] = {
        {Edition::Current, "SG1", {10, 8, 327, 377}, ""},
        {Edition::Current, "SG2", {392, 5, 173, 26}, ""},
        {Edition::Current, "ROMNum", {392, 37, 173, 24}, ""},
        {Edition::Current, "StartTimeH", {220, 424, 25, 24}, "00"},
        {Edition::Current, "StartTimeM", {251, 424, 25, 24}, "00"},
        {Edition::Current, "Memo1", {352, 80, 281, 313}, ""},
        {Edition::Current, "fobNum", {384, 424, 49, 24}, "000"},
        {Edition::Current, "Button1", {448, 408, 80, 41}, "Read"},
        {Edition::Current, "Button2", {544, 408, 80, 41}, "Print"},
        {Edition::Current, "ExitButton", {8, 417, 70, 40}, "Exit"},
        {Edition::Current, "StartNum", {328, 424, 41, 24}, "0"},
        {Edition::Current, "SpinButton1", {288, 416, 25, 49}, ""},
        {Edition::Current, "CheckBox1", {200, 424, 17, 17}, "CheckBox1"},
        {Edition::Current, "Label2", {352, 7, 32, 16}, "ROM"},
        {Edition::Current, "Image1", {584, 8, 41, 41}, ""},
        {Edition::Current, "Label1", {584, 47, 46, 16}, "iButton"},
        {Edition::Current, "Label4", {88, 408, 126, 16}, "Start Time Override"},
        {Edition::Current, "Label5", {224, 448, 52, 16}, "HH  MM"},
        {Edition::Current, "Label6", {320, 408, 56, 16}, "Start No."},
        {Edition::Current, "Label3", {384, 408, 50, 16}, "Fob No."},
        {Edition::Earlier, "SG1", {10, 8, 327, 377}, ""},
        {Edition::Earlier, "StartTimeH", {228, 424, 25, 24}, "00"},
        {Edition::Earlier, "StartTimeM", {259, 424, 25, 24}, "00"},
        {Edition::Earlier, "fobNum", {376, 424, 49, 24}, "000"},
        {Edition::Earlier, "ExitButton", {8, 401, 70, 40}, "Exit"},
        {Edition::Earlier, "StartNum", {320, 424, 25, 24}, "0"},
        {Edition::Earlier, "Label4", {96, 424, 126, 16}, "Start Time Override"},
        {Edition::Earlier, "Label5", {232, 408, 56, 16}, "HH   MM"},
        {Edition::Earlier, "Label6", {312, 408, 56, 16}, "Start No."},
        {Edition::Earlier, "Label3", {376, 408, 50, 16}, "Fob No."},
        {Edition::Earlier, "Button1", {448, 408, 80, 41}, "Read"},
    };
    for (const auto& row : rows) {
      QTest::addRow("%s %s", row.edition == Edition::Current ? "current" : "earlier", row.name)
          << int(row.edition) << QString::fromLatin1(row.name) << row.place
          << QString::fromLatin1(row.text);
    }
  }

  void controlsHaveTheirPlacesAndContent() {
    QFETCH(int, edition);
    QFETCH(QString, name);
    QFETCH(QRect, place);
    QFETCH(QString, text);
    Harness h{Edition(edition)};
    QWidget* control = h.window->findChild<QWidget*>(name);
    QVERIFY2(control != nullptr, qPrintable(name));
    QCOMPARE(control->parentWidget(), h.window.get());
    QCOMPARE(control->geometry(), place);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) QCOMPARE(edit->text(), text);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) QCOMPARE(button->text(), text);
    if (auto* label = qobject_cast<QLabel*>(control); label && !text.isEmpty()) {
      QCOMPARE(label->text(), text);
    }
  }

  void windowSettings_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("current") << int(Edition::Current) << QRect(755, 280, 654, 515);
    QTest::newRow("earlier") << int(Edition::Earlier) << QRect(610, 158, 654, 491);
  }

  void windowSettings() {
    QFETCH(int, edition);
    QFETCH(QRect, geometry);
    Harness h{Edition(edition)};
    QCOMPARE(h.window->objectName(), QStringLiteral("MirBaskMain"));
    QCOMPARE(h.window->windowTitle(), QStringLiteral("KESTRIX"));
    QCOMPARE(h.window->geometry(), geometry);
    // No default (Enter) button.
    for (auto* button : h.window->findChildren<QPushButton*>()) {
      QVERIFY(!button->isDefault());
      QVERIFY(!button->autoDefault());
    }
    const bool current = Edition(edition) == Edition::Current;
    QCOMPARE(h.Find("SpinButton1") != nullptr, current);
    QCOMPARE(h.Find("CheckBox1") != nullptr, current);
    QCOMPARE(h.window->findChildren<QToolButton*>().size(), current ? 2 : 0);
  }

  void gridsAreSetUpAsDesigned() {
    Harness h;
    auto* sg1 = h.Find<QTableWidget>("SG1");
    auto* sg2 = h.Find<QTableWidget>("SG2");
    QCOMPARE(sg1->columnCount(), 2);
    QCOMPARE(sg1->rowCount(), 32);
    QCOMPARE(sg1->rowHeight(0), 20);
    QCOMPARE(sg1->rowHeight(31), 20);
    QCOMPARE(sg1->columnWidth(0), 150);
    QVERIFY(sg1->horizontalHeader()->isHidden());
    QVERIFY(sg1->verticalHeader()->isHidden());
    QCOMPARE(sg1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(sg2->columnCount(), 8);
    QCOMPARE(sg2->rowCount(), 1);
    for (int c = 0; c < 8; ++c) QCOMPARE(sg2->columnWidth(c), 20);
    for (auto* grid : {sg1, sg2}) {
      QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    // The first activation sets the slot grid's columns to 100 and 300.
    QVERIFY(h.Show());
    QCOMPARE(sg1->columnWidth(0), 100);
    QCOMPARE(sg1->columnWidth(1), 300);

    // Typing into a grid cell changes nothing.
    sg1->setFocus(Qt::TabFocusReason);
    sg1->setCurrentCell(3, 1);
    QTest::keyClicks(sg1, "12");
    QTest::keyClick(sg1, Qt::Key_F2);
    QTest::keyClick(sg1, Qt::Key_Return);
    QCOMPARE(h.window->SlotCell(1, 3), QString());

    h.window->SetSlotCell(1, 31, QStringLiteral("19/06/2012 10:52:05"));
    h.window->SetRomCell(7, QStringLiteral("01"));
    h.window->SetRomNumber(QStringLiteral("-1"));
    QCOMPARE(sg1->item(31, 1)->text(), QStringLiteral("19/06/2012 10:52:05"));
    QCOMPARE(sg2->item(0, 7)->text(), QStringLiteral("01"));
    QCOMPARE(h.Edit("ROMNum")->text(), QStringLiteral("-1"));
  }

  void fontsFollowTheDesign() {
    Harness h;
    const QFontInfo report(h.Find("Memo1")->font());
    QVERIFY2(report.fixedPitch(), qPrintable(report.family()));
    QVERIFY(report.bold());
    QCOMPARE(report.pixelSize(), 13);
    for (const char* name : {"fobNum", "StartNum"}) {
      const QFontInfo entry(h.Find(name)->font());
      QCOMPARE(entry.pixelSize(), 19);
      QVERIFY(entry.bold());
    }
    const QFontInfo grid(h.Find("SG1")->font());
    QCOMPARE(grid.pixelSize(), 11);
    QVERIFY(grid.bold());
    QCOMPARE(QFontInfo(h.window->font()).pixelSize(), 13);
    QCOMPARE(QFontInfo(h.Find("Label3")->font()).pixelSize(), 13);
  }

  void reportAreaIsAnEditableWrappingMemo() {
    Harness h;
    auto* memo = h.Find<QPlainTextEdit>("Memo1");
    QVERIFY(!memo->isReadOnly());
    QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(memo->tabChangesFocus());
  }

  void bannerLines_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("title");
    QTest::newRow("current") << int(Edition::Current)
                             << QStringLiteral("Ibutton reader v1.01  12/2012");
    QTest::newRow("earlier") << int(Edition::Earlier)
                             << QStringLiteral("Ibutton reader v0.51  10/2011");
  }

  void bannerLines() {
    QFETCH(int, edition);
    QFETCH(QString, title);
    Harness h{Edition(edition)};
    const QStringList lines = h.window->ReportLines();
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], title);
    for (int i = 1; i < 4; ++i) QVERIFY(!lines[i].isEmpty());
    QCOMPARE(lines.mid(1), app::BannerLines(Edition::Current).mid(1));
  }

  void reportLinesFollowTheTextsLineBreaks() {
    Harness h;
    h.window->SetReportText(QStringLiteral("iButton fob No. 12\r\nFoxes Found - 3\r\n\r\n"));
    QCOMPARE(h.window->ReportLines(), QStringList({"iButton fob No. 12", "Foxes Found - 3", ""}));
    h.window->AppendReportLine(QStringLiteral("KESTRIX timing system"));
    QCOMPARE(h.window->ReportLines(),
             QStringList({"iButton fob No. 12", "Foxes Found - 3", "", "KESTRIX timing system"}));
    QCOMPARE(
        h.window->ReportText(),
        QStringLiteral("iButton fob No. 12\r\nFoxes Found - 3\r\n\r\nKESTRIX timing system\r\n"));
    h.window->SetReportText(QStringLiteral("READ FAILED, TRY AGAIN"));
    h.window->AppendReportLine(QString());
    h.window->AppendReportLine(QStringLiteral("next"));
    QCOMPARE(h.window->ReportLines(), QStringList({"READ FAILED, TRY AGAIN", "", "next"}));
    h.window->SetReportText(QString());
    QCOMPARE(h.window->ReportLines(), QStringList());
    h.window->AppendReportLine(QString());
    QCOMPARE(h.window->ReportLines(), QStringList({""}));
  }

  void coloursAreExact() {
    Harness h;
    QCOMPARE(h.Colour("StartTimeH"), QColor(0xC0, 0xC0, 0xC0));
    QCOMPARE(h.Colour("StartTimeM"), QColor(0xC0, 0xC0, 0xC0));
    QCOMPARE(h.Colour("fobNum"), QColor(0xFF, 0xFF, 0xFF));
    QVERIFY(h.Show());
    QCOMPARE(PaintedBackground(h.Find("StartTimeH")), QColor(0xC0, 0xC0, 0xC0));
    h.window->SetFobNumColour(QColor(0x00, 0xFF, 0x00));
    QCOMPARE(PaintedBackground(h.Find("fobNum")), QColor(0x00, 0xFF, 0x00));
    QCOMPARE(h.window->FobNumColour(), QColor(0x00, 0xFF, 0x00));

    Harness earlier(Edition::Earlier);
    QCOMPARE(earlier.Colour("StartTimeH"), QColor(0xFF, 0xFF, 0xFF));
    QCOMPARE(earlier.Colour("StartTimeM"), QColor(0xFF, 0xFF, 0xFF));
  }

  void pictureIsAWhiteIOnABlueDisc() {
    Harness h;
    const QPixmap pixmap = h.Find<QLabel>("Image1")->pixmap();
    QCOMPARE(pixmap.size(), QSize(41, 41));
    const QImage image = pixmap.toImage();
    QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
    QCOMPARE(image.pixelColor(40, 40).alpha(), 0);
    const QColor stem = image.pixelColor(20, 26);
    QVERIFY2(stem.red() > 230 && stem.green() > 230 && stem.blue() > 230, qPrintable(stem.name()));
    const QColor disc = image.pixelColor(8, 20);
    QVERIFY2(disc.blue() > 150 && disc.red() < 60 && disc.alpha() == 255, qPrintable(disc.name()));
  }

  void firstActivationSetsTheEntriesAndFocus() {
    Harness h(Edition::Current, [](app::MainWindow& w) { w.Config().FobOffset = 100; });
    // Before the window is shown the focus waits on the first control.
    QCOMPARE(h.window->focusWidget()->objectName(), QStringLiteral("SG1"));
    h.window->SetStartNumText(QStringLiteral("5"));
    h.window->SetFobNumColour(app::kColourRed);
    QVERIFY(h.Show());
    QCOMPARE(h.window->loadings, 1);
    QCOMPARE(h.Edit("StartNum")->text(), QStringLiteral("0"));
    QCOMPARE(h.Edit("fobNum")->text(), QStringLiteral("000"));
    // The change reaction ran in between: window colour.
    QCOMPARE(h.Colour("fobNum"), app::kColourWindow);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("StartNum"));
    // Selected, so the operator's first key replaces the "0".
    QCOMPARE(h.Edit("StartNum")->selectedText(), QStringLiteral("0"));
    QTest::keyClicks(QApplication::focusWidget(), "7");
    QCOMPARE(h.Edit("StartNum")->text(), QStringLiteral("7"));
    QCOMPARE(h.Edit("fobNum")->text(), QStringLiteral("107"));
  }

  void earlierEditionSetsTheEntriesWithoutAChangeReaction() {
    Harness h(Edition::Earlier, [](app::MainWindow& w) { w.Config().FobOffset = 100; });
    h.window->SetStartNumText(QStringLiteral("5"));
    h.window->SetFobNumText(QStringLiteral("17"));
    h.window->SetFobNumColour(app::kColourRed);
    QVERIFY(h.Show());
    QCOMPARE(h.Edit("StartNum")->text(), QStringLiteral("0"));
    QCOMPARE(h.Edit("fobNum")->text(), QStringLiteral("000"));
    QCOMPARE(h.Colour("fobNum"), app::kColourRed);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("StartNum"));
    // Typing a start number proposes nothing.
    QTest::keyClicks(h.Edit("StartNum"), "12");
    QCOMPARE(h.Edit("StartNum")->text(), QStringLiteral("12"));
    QCOMPARE(h.Edit("fobNum")->text(), QStringLiteral("000"));
    QCOMPARE(h.Colour("fobNum"), app::kColourRed);
    QVERIFY(!h.window->Override().checked);
  }

  void activationRunsOncePerRun() {
    ErrorBoxes boxes;
    Harness h;
    QVERIFY(h.Show());
    QTest::keyClicks(h.Edit("StartNum"), "5");

    // Another window of the program takes the focus and gives it back.
    QWidget other;
    other.setWindowTitle(QStringLiteral("other"));
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    other.close();
    h.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.window.get()));

    // A real modal box, as an error shows one.
    static_cast<app::VintokApplication*>(qApp)->SetErrorPresenter(
        [](const QString& title, const QString& text) {
          QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
          QTimer::singleShot(100, &box, &QMessageBox::accept);
          box.exec();
        });
    QTest::mouseClick(h.Find("Button2"), Qt::LeftButton);  // no printer: an error box
    h.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
    QTest::qWait(50);

    QCOMPARE(h.window->loadings, 1);
    QCOMPARE(h.Edit("StartNum")->text(), QStringLiteral("5"));
    QCOMPARE(h.Edit("fobNum")->text(), QStringLiteral("5"));
    QCOMPARE(boxes.texts, QStringList());  // the real box was shown instead
  }

  void failedLoadingShowsTheErrorAndSkipsTheRest() {
    ErrorBoxes boxes;
    Harness h(Edition::Current, [](app::MainWindow&) {
      throw std::runtime_error("Invalid argument to date encode");
    });
    h.window->SetStartNumText(QStringLiteral("4"));
    QVERIFY(h.Show());
    QCOMPARE(boxes.texts, QStringList({"Invalid argument to date encode."}));
    QCOMPARE(boxes.titles, QStringList({app::ProgramTitle()}));
    QCOMPARE(h.Edit("StartNum")->text(), QStringLiteral("4"));
    QCOMPARE(h.Edit("fobNum")->text(), QStringLiteral("4"));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("SG1"));
    // The program goes on: the entries work.
    h.Edit("StartNum")->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(h.Edit("StartNum"), "9");
    QCOMPARE(h.Edit("fobNum")->text(), QStringLiteral("9"));
  }

  void tabOrder_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<QStringList>("cycle");
    QTest::newRow("current") << int(Edition::Current)
                             << QStringList{"CheckBox1",  "SG1",        "SG2",        "ROMNum",
                                            "StartTimeH", "StartTimeM", "Memo1",      "fobNum",
                                            "Button1",    "Button2",    "ExitButton", "StartNum",
                                            "CheckBox1"};
    QTest::newRow("earlier") << int(Edition::Earlier)
                             << QStringList{"SG1",        "SG2",        "ROMNum",   "StartTimeH",
                                            "StartTimeM", "Memo1",      "fobNum",   "Button1",
                                            "Button2",    "ExitButton", "StartNum", "SG1"};
  }

  void tabOrder() {
    QFETCH(int, edition);
    QFETCH(QStringList, cycle);
    Harness h{Edition(edition)};
    QVERIFY(h.Show());
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("StartNum"));
    QCOMPARE(TabCycle(int(cycle.size())), cycle);
  }

  void editsSelectAllOnKeyboardAndProgramFocus() {
    Harness h;
    QVERIFY(h.Show());
    h.window->SetRomNumber(QStringLiteral("1234567"));
    // Keyboard: Tab from SG2 into ROMNum.
    h.Find("SG2")->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(h.Find("SG2"), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("ROMNum"));
    QCOMPARE(h.Edit("ROMNum")->selectedText(), QStringLiteral("1234567"));
    // Back-tab into fobNum from Button1.
    h.Find("Button1")->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(h.Find("Button1"), Qt::Key_Backtab);
    QCOMPARE(h.Edit("fobNum")->selectedText(), QStringLiteral("000"));
    // The program: the focus goes back to StartNum.
    h.window->SetStartNumText(QStringLiteral("12"));
    h.window->FocusStartNum();
    QCOMPARE(h.Edit("StartNum")->selectedText(), QStringLiteral("12"));
    // A mouse click places the cursor and selects nothing.
    QTest::mouseClick(h.Edit("ROMNum"), Qt::LeftButton, {}, QPoint(5, 12));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("ROMNum"));
    QVERIFY(!h.Edit("ROMNum")->hasSelectedText());
  }

  void readRefusesMissingEntries_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("fob");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("error");
    const QString refuse = QStringLiteral("PLEASE ENTER A START & FOB NUMBER");
    const QString reading = QStringLiteral("READING iBUTTON MEMORY");
    QTest::newRow("fob 000") << "12"
                             << "000" << refuse << "";
    QTest::newRow("fob 000 before letters") << "ab"
                                            << "000" << refuse << "";
    QTest::newRow("start 0") << "0"
                             << "12" << refuse << "";
    QTest::newRow("start $0") << "$0"
                              << "12" << refuse << "";
    QTest::newRow("start letters") << "ab"
                                   << "12" << reading << "'ab' is not a valid integer value.";
    QTest::newRow("start empty") << ""
                                 << "12" << reading << "'' is not a valid integer value.";
    QTest::newRow("start 7 blank") << "7 "
                                   << "12" << reading << "'7 ' is not a valid integer value.";
    QTest::newRow("fob 00 passes") << "7"
                                   << "00" << reading << "";
  }

  void readRefusesMissingEntries() {
    QFETCH(QString, start);
    QFETCH(QString, fob);
    QFETCH(QString, report);
    QFETCH(QString, error);
    ErrorBoxes boxes;
    Harness h(Edition::Current);
    QVERIFY(h.Show());
    vintok::test::TypeInto(h.Edit("StartNum"), start);
    vintok::test::TypeInto(h.Edit("fobNum"), fob);
    QTest::mouseClick(h.Find("Button1"), Qt::LeftButton);
    QCOMPARE(h.window->ReportLines(), QStringList({report}));
    QCOMPARE(boxes.texts, error.isEmpty() ? QStringList() : QStringList({error}));
    if (report.startsWith(QStringLiteral("PLEASE"))) {
      QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("StartNum"));
    }
    // Refused or not a number: the reader is never asked.
    if (report != QStringLiteral("READING iBUTTON MEMORY") || !error.isEmpty()) {
      QCOMPARE(h.driver.sessionStarts, 0);
    }
  }

  void errorBoxText_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "There is no default printer currently selected"
                            << "There is no default printer currently selected.";
    QTest::newRow("full stop") << "Done."
                               << "Done.";
    QTest::newRow("quote") << "'x' is not a valid integer value"
                           << "'x' is not a valid integer value.";
    QTest::newRow("closing bracket") << "failed (5)"
                                     << "failed (5)";
    QTest::newRow("hyphen") << "a -"
                            << "a -";
    QTest::newRow("comma") << "a,"
                           << "a,";
    QTest::newRow("slash") << "Unable to write to /tmp/"
                           << "Unable to write to /tmp/.";
    QTest::newRow("digit") << "code 5"
                           << "code 5.";
    QTest::newRow("empty") << ""
                           << "";
  }

  void errorBoxText() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(app::ErrorBoxText(message), shown);
  }

  void programTitle_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    // The first letter stays as the file name has it.
    QTest::newRow("program") << "/opt/reader/vintok32"
                             << "vintok32";
    QTest::newRow("earlier") << "/opt/reader/earlier/vintok32"
                             << "vintok32";
    QTest::newRow("windows upper case") << "C:/READER/VINTOK32.EXE"
                                        << "Vintok32";
    QTest::newRow("mixed case") << "/x/ReadER.exe"
                                << "Reader";
  }

  void programTitle() {
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(app::ProgramTitleFromPath(path), title);
  }

  void noDefaultPortEndsTheProgramBeforeTheWindowShows_data() {
    QTest::addColumn<int>("result");
    QTest::newRow("0") << 0;
    QTest::newRow("-1") << -1;
  }

  void noDefaultPortEndsTheProgramBeforeTheWindowShows() {
    QFETCH(int, result);
    vintok::test::FakeDriver driver;
    driver.defaultPortResult = int16_t(result);
    vintok::test::FixedClock clock;
    QStringList messages;
    bool windowSeen = false;
    const int code = app::RunMainWindow(
        app::MainWindowDeps{.edition = Edition::Current,
                            .exeDir = QString(),
                            .driver = driver,
                            .clock = clock,
                            .showMessage =
                                [&](const QString& text) {
                                  messages << text;
                                  for (QWidget* w : QApplication::topLevelWidgets()) {
                                    windowSeen = windowSeen || w->isVisible();
                                  }
                                },
                            .openDefaultPrinter = {},
                            .pause = {},
                            .files = nullptr});
    QCOMPARE(code, 0);
    QCOMPARE(messages, QStringList({"Please set port first"}));
    QVERIFY(!windowSeen);
    QCOMPARE(driver.readDefaultPortCalls, 1);
    QCOMPARE(driver.getVersionCalls, 0);
  }

  void exitAndCloseEndTheProgramWritingNothing_data() {
    QTest::addColumn<bool>("useExitButton");
    QTest::newRow("Exit") << true;
    QTest::newRow("close") << false;
  }

  void exitAndCloseEndTheProgramWritingNothing() {
    QFETCH(bool, useExitButton);
    QTemporaryDir dir;
    vintok::test::FakeDriver driver;
    vintok::test::FixedClock clock;
    bool shown = false;
    QTimer::singleShot(0, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() != QStringLiteral("MirBaskMain")) continue;
        QVERIFY(QTest::qWaitForWindowActive(w));
        shown = w->isVisible();
        if (useExitButton) {
          QTest::keyClicks(QApplication::focusWidget(), "12");  // an entry in progress
          QTest::mouseClick(w->findChild<QWidget*>(QStringLiteral("ExitButton")), Qt::LeftButton);
        } else {
          w->close();
        }
      }
    });
    const int code = app::RunMainWindow(app::MainWindowDeps{.edition = Edition::Current,
                                                            .exeDir = dir.path() + u'/',
                                                            .driver = driver,
                                                            .clock = clock,
                                                            .showMessage = {},
                                                            .openDefaultPrinter = {},
                                                            .pause = {},
                                                            .files = nullptr});
    QCOMPARE(code, 0);
    QVERIFY(shown);
    QCOMPARE(driver.getVersionCalls, 1);
    // Only the default event file that the first activation wrote: no run
    // log, no export file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"vintok.ini"}));
  }
};

VINTOK_APP_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
