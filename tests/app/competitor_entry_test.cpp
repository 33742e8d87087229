#include "app/competitor_entry.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QToolButton>
#include <vector>

#include "test_support.h"

using vintok::Edition;
using vintok::test::Harness;
using vintok::test::TypeInto;
namespace app = vintok::app;

namespace {

// A window after its first activation with the event's FobOffset and OpenHour.
std::unique_ptr<Harness> Ready(int fobOffset, int openHour) {
  auto h = std::make_unique<Harness>(Edition::Current, [=](app::MainWindow& w) {
    w.Config().FobOffset = fobOffset;
    w.Config().OpenHour = openHour;
  });
  if (!h->Show()) return nullptr;
  return h;
}

QToolButton* Arrow(Harness& h, bool up) {
  return h.Find<QToolButton>(up ? "SpinButton1Up" : "SpinButton1Down");
}

}  // namespace

class CompetitorEntryTest : public QObject {
  Q_OBJECT

 private slots:
  void twoDigitText() {
    QCOMPARE(app::TwoDigitText(9), QStringLiteral("09"));
    QCOMPARE(app::TwoDigitText(0), QStringLiteral("00"));
    QCOMPARE(app::TwoDigitText(23), QStringLiteral("23"));
    QCOMPARE(app::TwoDigitText(-5), QStringLiteral("-05"));
    QCOMPARE(app::TwoDigitText(100), QStringLiteral("100"));
  }

  void startNumberProposesTheFobNumber_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("fob");
    QTest::newRow("1 + 100") << 100 << "1"
                             << "101";
    QTest::newRow("12 + 100") << 100 << "12"
                              << "112";
    QTest::newRow("empty") << 100 << ""
                           << "100";
    QTest::newRow("letters") << 100 << "ab"
                             << "100";
    QTest::newRow("blank") << 100 << " "
                           << "100";
    QTest::newRow("negative") << 100 << "-5"
                              << "95";
    QTest::newRow("leading blank") << 100 << " 7"
                                   << "107";
    QTest::newRow("hexadecimal") << 100 << "$0A"
                                 << "110";
    QTest::newRow("trailing blank") << 100 << "7 "
                                    << "100";
    QTest::newRow("offset 0") << 0 << "12"
                              << "12";
    QTest::newRow("offset 0 letters") << 0 << "x"
                                      << "0";
  }

  void startNumberProposesTheFobNumber() {
    QFETCH(int, offset);
    QFETCH(QString, typed);
    QFETCH(QString, fob);
    auto h = Ready(offset, 9);
    QVERIFY(h);
    h->window->SetFobNumColour(app::kColourRed);  // the last read's outcome
    // The focus is in StartNum with its "0" selected: typing replaces it.
    if (typed.isEmpty()) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    } else {
      QTest::keyClicks(QApplication::focusWidget(), typed);
    }
    QCOMPARE(h->Edit("StartNum")->text(), typed);
    QCOMPARE(h->Edit("fobNum")->text(), fob);
    QCOMPARE(h->Colour("fobNum"), app::kColourWindow);
  }

  void typingTheFobNumberChangesOnlyItsText() {
    auto h = Ready(100, 9);
    QVERIFY(h);
    QTest::keyClicks(QApplication::focusWidget(), "12");
    h->window->SetFobNumColour(app::kColourLime);
    TypeInto(h->Edit("fobNum"), "150");
    QCOMPARE(h->Edit("StartNum")->text(), QStringLiteral("12"));
    QCOMPARE(h->Edit("fobNum")->text(), QStringLiteral("150"));
    QCOMPARE(h->Colour("fobNum"), app::kColourLime);
  }

  void checkBoxSwitchesTheOverride_data() {
    QTest::addColumn<int>("openHour");
    QTest::addColumn<QString>("hour");
    QTest::addColumn<QString>("hourWhenChecked");
    QTest::newRow("00") << 9 << "00"
                        << "09";
    QTest::newRow("empty") << 9 << ""
                           << "09";
    QTest::newRow("letters") << 9 << "ab"
                             << "09";
    QTest::newRow("single 0") << 9 << "0"
                              << "09";
    QTest::newRow("07 stays") << 9 << "07"
                              << "07";
    QTest::newRow("30 stays") << 9 << "30"
                              << "30";
    QTest::newRow("opening hour 0") << 0 << "00"
                                    << "00";
    QTest::newRow("opening hour 13") << 13 << ""
                                     << "13";
  }

  void checkBoxSwitchesTheOverride() {
    QFETCH(int, openHour);
    QFETCH(QString, hour);
    QFETCH(QString, hourWhenChecked);
    auto h = Ready(100, openHour);
    QVERIFY(h);
    TypeInto(h->Edit("StartTimeH"), hour);
    TypeInto(h->Edit("StartTimeM"), "4");
    auto* box = h->Find<QCheckBox>("CheckBox1");

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 8));
    QVERIFY(box->isChecked());
    QCOMPARE(h->Edit("StartTimeH")->text(), hourWhenChecked);
    QCOMPARE(h->Edit("StartTimeM")->text(), QStringLiteral("4"));
    QCOMPARE(h->Colour("StartTimeH"), app::kColourYellow);
    QCOMPARE(h->Colour("StartTimeM"), app::kColourYellow);
    const app::OverrideInputs on = h->window->Override();
    QCOMPARE(on.hourText, hourWhenChecked);
    QCOMPARE(on.minuteText, QStringLiteral("4"));
    QVERIFY(on.checked);

    // Unchecking by keyboard (Space on the focused box) keeps the texts.
    box->setFocus(Qt::TabFocusReason);
    QTest::keyClick(box, Qt::Key_Space);
    QVERIFY(!box->isChecked());
    QCOMPARE(h->Edit("StartTimeH")->text(), hourWhenChecked);
    QCOMPARE(h->Edit("StartTimeM")->text(), QStringLiteral("4"));
    QCOMPARE(h->Colour("StartTimeH"), app::kColourSilver);
    QCOMPARE(h->Colour("StartTimeM"), app::kColourSilver);
    QVERIFY(!h->window->Override().checked);
  }

  void spinStepsTheOverrideTime_data() {
    QTest::addColumn<int>("openHour");
    QTest::addColumn<QString>("hour");
    QTest::addColumn<QString>("minute");
    QTest::addColumn<QString>("steps");      // u: later, d: earlier
    QTest::addColumn<QStringList>("times");  // "HH:MM" after each step
    QTest::newRow("00:00 later") << 9 << "00"
                                 << "00"
                                 << "u" << QStringList{"09:05"};
    QTest::newRow("00:00 earlier") << 9 << "00"
                                   << "00"
                                   << "d" << QStringList{"08:55"};
    QTest::newRow("23:55 wraps") << 9 << "23"
                                 << "55"
                                 << "uu" << QStringList{"00:00", "09:05"};
    QTest::newRow("00:05 wraps") << 9 << "00"
                                 << "05"
                                 << "dd" << QStringList{"00:00", "08:55"};
    QTest::newRow("open 0 later") << 0 << "00"
                                  << "00"
                                  << "u" << QStringList{"00:05"};
    QTest::newRow("open 0 earlier") << 0 << "00"
                                    << "00"
                                    << "d" << QStringList{"23:55"};
    QTest::newRow("09:07 later") << 9 << "09"
                                 << "07"
                                 << "u" << QStringList{"09:10"};
    QTest::newRow("09:07 earlier") << 9 << "09"
                                   << "07"
                                   << "d" << QStringList{"09:00"};
    QTest::newRow("9 7 later") << 9 << "9"
                               << "7"
                               << "u" << QStringList{"09:10"};
    QTest::newRow("9 7 earlier") << 9 << "9"
                                 << "7"
                                 << "d" << QStringList{"09:00"};
    QTest::newRow("hour 30 later") << 9 << "30"
                                   << "00"
                                   << "u" << QStringList{"00:00"};
    QTest::newRow("hour 30 earlier") << 9 << "30"
                                     << "00"
                                     << "d" << QStringList{"00:00"};
    QTest::newRow("letters") << 9 << "ab"
                             << ""
                             << "u" << QStringList{"09:05"};
    QTest::newRow("negative hour") << 9 << "-1"
                                   << "00"
                                   << "u" << QStringList{"23:55"};
    QTest::newRow("minutes 99") << 9 << "10"
                                << "99"
                                << "ud" << QStringList{"11:40", "11:35"};
  }

  void spinStepsTheOverrideTime() {
    QFETCH(int, openHour);
    QFETCH(QString, hour);
    QFETCH(QString, minute);
    QFETCH(QString, steps);
    QFETCH(QStringList, times);
    auto h = Ready(100, openHour);
    QVERIFY(h);
    TypeInto(h->Edit("StartTimeH"), hour);
    TypeInto(h->Edit("StartTimeM"), minute);
    QStringList seen;
    for (QChar step : steps) {
      QTest::mouseClick(Arrow(*h, step == u'u'), Qt::LeftButton);
      seen << h->Edit("StartTimeH")->text() + u':' + h->Edit("StartTimeM")->text();
    }
    QCOMPARE(seen, times);
    // The spin button works with the override off and changes no colour.
    QCOMPARE(h->Colour("StartTimeH"), app::kColourSilver);
    QVERIFY(!h->window->Override().checked);
    // Neither arrow takes the focus from the field that had it.
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("StartTimeM"));
  }

  void typedOverrideFieldsTakeTwoCharacters() {
    auto h = Ready(100, 9);
    QVERIFY(h);
    TypeInto(h->Edit("StartTimeH"), "123");
    QCOMPARE(h->Edit("StartTimeH")->text(), QStringLiteral("12"));
    // An opening hour the program writes is not cut.
    auto g = Ready(100, 100);
    QVERIFY(g);
    QTest::mouseClick(g->Find("CheckBox1"), Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(g->Edit("StartTimeH")->text(), QStringLiteral("100"));
  }

  void holdingAnArrowRepeats() {
    auto h = Ready(100, 9);
    QVERIFY(h);
    QToolButton* up = Arrow(*h, true);
    QElapsedTimer clock;
    std::vector<qint64> changes;
    QObject::connect(h->Edit("StartTimeM"), &QLineEdit::textChanged,
                     [&](const QString&) { changes.push_back(clock.elapsed()); });
    clock.start();
    QTest::mousePress(up, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(changes.size() >= 4, 5000);
    const size_t held = changes.size();
    QTest::mouseRelease(up, Qt::LeftButton);
    QVERIFY(changes.size() > held);
    // First repeat after 400 ms, then every 100 ms (timers may fire up to 5%
    // early); nothing happens on the press itself.
    QVERIFY2(changes[0] >= 380, qPrintable(QString::number(changes[0])));
    for (size_t i = 1; i < held; ++i) {
      const qint64 gap = changes[i] - changes[i - 1];
      QVERIFY2(gap >= 90, qPrintable(QString::number(gap)));
    }
    const qint64 mean = (changes[held - 1] - changes[0]) / qint64(held - 1);
    QVERIFY2(mean < 300, qPrintable(QString::number(mean)));
    // The release counts as one more click, as on a spin button.
    const int clicks = int(changes.size());
    QTest::qWait(250);
    QCOMPARE(int(changes.size()), clicks);  // released: no more repeats
    const int minutes = 9 * 60 + 5 * clicks;
    QCOMPARE(h->Edit("StartTimeH")->text(), app::TwoDigitText(minutes / 60));
    QCOMPARE(h->Edit("StartTimeM")->text(), app::TwoDigitText(minutes % 60));
  }
};

VINTOK_APP_TEST_MAIN(CompetitorEntryTest)
#include "competitor_entry_test.moc"
