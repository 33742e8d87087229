// Whole runs of the program as the operator makes them: the real main window
// loads the event file from its directory at its first activation, a fob lies
// on the simulated reader, the operator types the numbers and clicks "Read",
// and the test looks at what the window shows and at the bytes of the run log
// and the export file.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <system_error>

#include "ibutton/simulated_port.h"
#include "results/append_file.h"
#include "results/disk_file_system.h"
#include "test_support.h"

using vintok::Edition;
using vintok::test::ErrorBoxes;
using vintok::test::TypeInto;
namespace app = vintok::app;
namespace results = vintok::results;

namespace {

QString DataFile(const QString& relative) {
  return QStringLiteral(VINTOK_TEST_DATA_DIR "/") + relative;
}

QByteArray Bytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QByteArray Expected(const char* name) {
  return Bytes(DataFile(QStringLiteral("expected/") + QString::fromLatin1(name)));
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The report area's whole text for these lines, each ending in a line break
// as the window leaves them.
QString Lines(const QStringList& lines) { return lines.join(u'\n') + u'\n'; }

// Types `text` over the edit's whole content, also when the edit has the
// focus already (and so selected nothing on the way in).
void Retype(QLineEdit* edit, const QString& text) {
  edit->setFocus(Qt::TabFocusReason);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) {
    QTest::keyClick(edit, Qt::Key_Backspace);
  } else {
    QTest::keyClicks(edit, text);
  }
}

const QByteArray kKorHeader = "@SAVE\r\n@BEGIN-KOR\r\n";

// The disk, except that one file (named by the end of its path) misbehaves:
// it cannot be opened, or the disk fills up after a number of bytes of a
// write, which the caller then sees fail.
class FaultyFiles : public results::FileSystem {
 public:
  enum class Fault { None, RefuseOpen, FullAfter };

  Fault fault = Fault::None;
  QString failingFile;  // "ibutton.kor", "ibutton.log"
  std::size_t bytesThatFit = 0;
  int failures = 0;

  std::unique_ptr<results::WritableFile> Open(const std::string& path, bool create,
                                              std::error_code& error) override {
    const bool failing =
        fault != Fault::None && QString::fromStdString(path).endsWith(u'/' + failingFile);
    if (failing && fault == Fault::RefuseOpen) {
      ++failures;
      error = std::make_error_code(std::errc::permission_denied);
      return nullptr;
    }
    std::unique_ptr<results::WritableFile> file = disk_.Open(path, create, error);
    if (failing && file) return std::make_unique<FillingFile>(std::move(file), *this);
    return file;
  }
  std::error_code Remove(const std::string& path) override { return disk_.Remove(path); }
  std::error_code Read(const std::string& path, std::string& contents) override {
    return disk_.Read(path, contents);
  }

 private:
  // Lets the first bytes of a write through, then reports a full disk.
  class FillingFile : public results::WritableFile {
   public:
    FillingFile(std::unique_ptr<results::WritableFile> file, FaultyFiles& owner)
        : file_(std::move(file)), owner_(owner) {}
    std::error_code Size(uint64_t& size) override { return file_->Size(size); }
    std::error_code Write(std::string_view bytes) override {
      if (bytes.size() <= owner_.bytesThatFit) return file_->Write(bytes);
      ++owner_.failures;
      if (std::error_code error = file_->Write(bytes.substr(0, owner_.bytesThatFit))) return error;
      return std::make_error_code(std::errc::no_space_on_device);
    }
    std::error_code Sync() override { return file_->Sync(); }
    std::error_code Truncate(uint64_t size) override { return file_->Truncate(size); }
    std::error_code Close() override { return file_->Close(); }

   private:
    std::unique_ptr<results::WritableFile> file_;
    FaultyFiles& owner_;
  };

  results::DiskFileSystem disk_;
};

// The program as it runs at the finish: the real main window over a program
// directory of its own, the simulated reader with a fob file on it, a fixed
// clock, no real sleeps, and the real disk unless a test passes a seam.
class Program {
  // Declared first: the window works with them until it is gone.
  QTemporaryDir programDir_;
  QTemporaryDir fobDir_;
  vintok::test::FixedClock clock_;
  vintok::ibutton::SimulatedPort port_;

 public:
  explicit Program(Edition edition, const char* iniFixture = nullptr,
                   results::FileSystem* files = nullptr)
      : port_(fobDir_.filePath(QStringLiteral("fob.txt")).toStdString()) {
    if (iniFixture != nullptr) {
      QFile::copy(DataFile(QStringLiteral("ini/") + QString::fromLatin1(iniFixture)),
                  File(QStringLiteral("vintok.ini")));
    }
    window = std::make_unique<app::MainWindow>(
        app::MainWindowDeps{.edition = edition,
                            .exeDir = Dir(),
                            .driver = port_,
                            .clock = clock_,
                            .showMessage = {},
                            .openDefaultPrinter = [] { return std::unique_ptr<QPrinter>(); },
                            .pause =
                                [this](int milliseconds) {
                                  ++pauses;
                                  pausedMilliseconds += milliseconds;
                                },
                            .files = files});
    created = window->FormCreate();
  }

  std::unique_ptr<app::MainWindow> window;
  bool created = false;
  int pauses = 0;
  int pausedMilliseconds = 0;

  // The program's directory, as the window keeps it (with a separator).
  QString Dir() const { return programDir_.path() + u'/'; }
  QString File(const QString& name) const { return Dir() + name; }
  QByteArray FileBytes(const char* name) const { return Bytes(File(QString::fromLatin1(name))); }
  bool Exists(const char* name) const { return QFileInfo::exists(File(QString::fromLatin1(name))); }

  // Shows the window and waits for its first activation, which loads the
  // event file.
  bool Show() {
    if (!created) return false;
    window->show();
    return QTest::qWaitForWindowActive(window.get());
  }

  // Lays the fob of a fixture on the reader; the reader reads the file afresh
  // at every session.
  bool PutFob(const char* fixture) {
    const QString target = fobDir_.filePath(QStringLiteral("fob.txt"));
    QFile::remove(target);
    return QFile::copy(DataFile(QStringLiteral("fobs/") + QString::fromLatin1(fixture)), target);
  }

  // The operator types the start number and the fob number and clicks
  // "Read" with the fob on the reader.
  void Read(const char* fob, const QString& start, const QString& fobNumber) {
    PutFob(fob);
    Retype(Edit("StartNum"), start);
    Retype(Edit("fobNum"), fobNumber);
    pauses = 0;
    pausedMilliseconds = 0;
    QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
  }

  template <typename T = QWidget>
  T* Find(const char* name) const {
    return window->findChild<T*>(QString::fromLatin1(name));
  }
  QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
  QString Text(const char* name) const { return Edit(name)->text(); }
  QColor Colour(const char* name) const {
    return static_cast<app::AutoSelectEdit*>(Edit(name))->BackgroundColour();
  }
  QString Report() const { return Find<QPlainTextEdit>("Memo1")->toPlainText(); }
  QString Slot(int row, int column) const {
    return Find<QTableWidget>("SG1")->item(row, column)->text();
  }
  QStringList SlotColumn(int column) const {
    QStringList cells;
    for (int row = 0; row < 32; ++row) cells << Slot(row, column);
    return cells;
  }
  QStringList RomCells() const {
    QStringList cells;
    for (int column = 0; column < 8; ++column)
      cells << Find<QTableWidget>("SG2")->item(0, column)->text();
    return cells;
  }
  static QString Focused() {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
  }
};

// The slot grid's first column: every slot number, start and finish marked.
QStringList SlotNames(int start, int finish) {
  QStringList names;
  for (int slot = 0; slot < 32; ++slot) {
    QString name = QString::number(slot);
    if (slot == start) {
      name += QStringLiteral(" (START)");
    } else if (slot == finish) {
      name += QStringLiteral(" (FINISH)");
    }
    names << name;
  }
  return names;
}

// A grid column of " " with the given rows set.
QStringList TimeColumn(std::initializer_list<std::pair<int, const char*>> rows) {
  QStringList cells(32, QStringLiteral(" "));
  for (const auto& [row, text] : rows) cells[row] = QString::fromLatin1(text);
  return cells;
}

QStringList Banner(Edition edition) { return app::BannerLines(edition); }

QStringList Summary(const char* offset, int start, int finish, Edition edition) {
  return {QString(),
          QStringLiteral("PC time : 19/06/2012 12:00:00"),
          QStringLiteral("UTC time: 10:0:0"),
          QStringLiteral("UTC Hours Offset: ") + QString::fromLatin1(offset),
          QString(),
          QString(),
          QStringLiteral("Start Control: ") + QString::number(start),
          QStringLiteral("Finish Control: ") + QString::number(finish),
          edition == Edition::Earlier ? QStringLiteral("(read from .INI file)")
                                      : QStringLiteral("(from .INI file)")};
}

const QStringList kWorkedReport{"iButton fob No. 12",
                                "Foxes Found - 3",
                                "Run Time -  52:05",
                                "Fox   Split    Cumulative",
                                "S (0)    ",
                                "F2 (2)     12:30   12:30",
                                "F1 (1)     12:40   25:10",
                                "F3 (3)     14:50   40:00",
                                "Z (31)     12:05   52:05",
                                "",
                                "KESTRIX timing system"};

const QStringList kWorkedTimes = TimeColumn({{0, "19/06/2012 10:00:00"},
                                             {1, "19/06/2012 10:25:10"},
                                             {2, "19/06/2012 10:12:30"},
                                             {3, "19/06/2012 10:40:00"},
                                             {31, "19/06/2012 10:52:05"}});

}  // namespace

class ReadWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // --- The event file, loaded at the first activation.

  void activationShowsTheSummary_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("ini");  // fixture name, or the file's text
    QTest::addColumn<QStringList>("summary");
    QTest::addColumn<QString>("typedStart");
    QTest::addColumn<QString>("proposedFob");
    QTest::newRow("worked example") << int(Edition::Current) << "worked_example.ini"
                                    << Summary("+2", 0, 31, Edition::Current) << "12"
                                    << "12";
    // Upper- and lower-case names, hexadecimal values, Start1Fob 201.
    QTest::newRow("full event file") << int(Edition::Current) << "event_full.ini"
                                     << Summary("+2", 1, 30, Edition::Current) << "7"
                                     << "207";
    QTest::newRow("negative offset")
        << int(Edition::Current) << "[Event]\r\nUTCoffset=-5\r\n[Control]\r\nFinish=9\r\n"
        << Summary("-5", 0, 9, Edition::Current) << "1"
        << "101";
    // [Control] is not the earlier edition's section: its presets stay.
    QTest::newRow("earlier, full event file") << int(Edition::Earlier) << "event_full.ini"
                                              << Summary("+2", 0, 31, Edition::Earlier) << "7"
                                              << "000";
    QTest::newRow("earlier, worked example") << int(Edition::Earlier) << "worked_example.ini"
                                             << Summary("+2", 0, 31, Edition::Earlier) << "12"
                                             << "000";
  }

  void activationShowsTheSummary() {
    QFETCH(int, edition);
    QFETCH(QString, ini);
    QFETCH(QStringList, summary);
    QFETCH(QString, typedStart);
    QFETCH(QString, proposedFob);
    ErrorBoxes boxes;
    const bool fixture = ini.endsWith(QStringLiteral(".ini"));
    Program p(Edition(edition), fixture ? qPrintable(ini) : nullptr);
    if (!fixture) QVERIFY(WriteBytes(p.File(QStringLiteral("vintok.ini")), ini.toLatin1()));
    p.window->SetStartNumText(QStringLiteral("5"));
    QVERIFY(p.Show());
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(p.Report(), Lines(Banner(Edition(edition)) + summary));
    QCOMPARE(p.Text("StartNum"), QStringLiteral("0"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("000"));
    QCOMPARE(p.Focused(), QStringLiteral("StartNum"));
    QCOMPARE(p.Find<QTableWidget>("SG1")->columnWidth(0), 100);
    QCOMPARE(p.Find<QTableWidget>("SG1")->columnWidth(1), 300);
    // The loaded first fob number is what the proposal works with.
    QTest::keyClicks(p.Edit("StartNum"), typedStart);
    QCOMPARE(p.Text("fobNum"), proposedFob);
  }

  void firstRunWritesTheDefaultFile_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<QString>("defaultFile");
    QTest::newRow("current") << int(Edition::Current) << "default_current.ini";
    QTest::newRow("earlier") << int(Edition::Earlier) << "default_earlier.ini";
  }

  void firstRunWritesTheDefaultFile() {
    QFETCH(int, edition);
    QFETCH(QString, defaultFile);
    ErrorBoxes boxes;
    Program p{Edition(edition)};
    QVERIFY(p.Show());
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(p.FileBytes("vintok.ini"), Bytes(DataFile(QStringLiteral("ini/") + defaultFile)));
    QCOMPARE(p.Report(), Lines(Banner(Edition(edition)) + Summary("+0", 0, 31, Edition(edition))));
    QCOMPARE(p.Text("StartNum"), QStringLiteral("0"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("000"));
    QCOMPARE(p.Focused(), QStringLiteral("StartNum"));
    if (Edition(edition) == Edition::Current) {
      // Nothing was read back in this run: no first fob number yet.
      QTest::keyClicks(p.Edit("StartNum"), "5");
      QCOMPARE(p.Text("fobNum"), QStringLiteral("5"));
    }
  }

  void firstRunWindowIsShut() {
    // The default file gives no event date in its first run: every punch of
    // 2012 lies outside the window, so the read reports both errors.
    ErrorBoxes boxes;
    Program p(Edition::Current);
    QVERIFY(p.Show());
    p.Read("worked-example.txt", "3", "3");
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(p.SlotColumn(1), TimeColumn({{0, " (NO PUNCH)"}, {31, " (NO PUNCH)"}}));
    QVERIFY2(p.Report().endsWith(QStringLiteral(
                 "\n**Start Punch ERROR**\n**Finish Punch ERROR**\n\nKESTRIX timing system\n")),
             qPrintable(p.Report()));
    QCOMPARE(p.Colour("fobNum"), QColor(255, 0, 0));
    QVERIFY(!p.Exists("ibutton.kor"));
  }

  void failedLoadingShowsTheErrorBoxOnly_data() {
    QTest::addColumn<QString>("ini");  // fixture name, or the file's text
    QTest::addColumn<QString>("error");
    QTest::newRow("Feb 30") << "feb30.ini"
                            << "Invalid argument to date encode.";
    QTest::newRow("start slot outside the fob") << "[Control]\r\nStart=40\r\n"
                                                << "Control Start = 40 is not a slot from 0 to 31.";
    QTest::newRow("finish slot outside the fob")
        << "[Control]\r\nFinish=-1\r\n"
        << "Control Finish = -1 is not a slot from 0 to 31.";
    // vintok.ini cannot be created: a directory stands in its place.
    QTest::newRow("default file not writable") << "<directory>"
                                               << "Unable to write to %1vintok.ini.";
  }

  void failedLoadingShowsTheErrorBoxOnly() {
    QFETCH(QString, ini);
    QFETCH(QString, error);
    ErrorBoxes boxes;
    const bool fixture = ini.endsWith(QStringLiteral(".ini"));
    Program p(Edition::Current, fixture ? qPrintable(ini) : nullptr);
    if (ini == QStringLiteral("<directory>")) {
      QVERIFY(QDir(p.Dir()).mkdir(QStringLiteral("vintok.ini")));
    } else if (!fixture) {
      QVERIFY(WriteBytes(p.File(QStringLiteral("vintok.ini")), ini.toLatin1()));
    }
    p.window->SetStartNumText(QStringLiteral("4"));
    QVERIFY(p.Show());
    QCOMPARE(boxes.texts,
             QStringList({error.contains(QStringLiteral("%1")) ? error.arg(p.Dir()) : error}));
    QCOMPARE(boxes.titles, QStringList({app::ProgramTitle()}));
    QCOMPARE(p.Report(), Lines(Banner(Edition::Current)));  // no summary
    QCOMPARE(p.Text("StartNum"), QStringLiteral("4"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("4"));
    QCOMPARE(p.Focused(), QStringLiteral("SG1"));
  }

  void outOfRangeSlotsAreNeverRead() {
    // After the error the presets 0 and 31 stand; the read uses them.
    ErrorBoxes boxes;
    Program p(Edition::Current, "worked_example.ini");
    QVERIFY(WriteBytes(
        p.File(QStringLiteral("vintok.ini")),
        p.FileBytes("vintok.ini")
            .replace("[Control]\r\nStart=0\r\nFinish=31", "[Control]\r\nStart=0\r\nFinish=32")));
    QVERIFY(p.Show());
    QCOMPARE(boxes.texts, QStringList({"Control Finish = 32 is not a slot from 0 to 31."}));
    boxes.texts.clear();
    p.Read("worked-example.txt", "12", "12");
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(p.SlotColumn(0), SlotNames(0, 31));
    QCOMPARE(p.SlotColumn(1),
             TimeColumn({{0, "19/06/2012 10:00:00"}, {31, "19/06/2012 10:52:05"}}));
    QCOMPARE(p.Colour("fobNum"), QColor(0, 255, 0));
  }

  void activationLoadsOncePerRun() {
    ErrorBoxes boxes;
    Program p(Edition::Current, "worked_example.ini");
    QVERIFY(p.Show());
    const QString afterLoading = p.Report();
    QTest::keyClicks(p.Edit("StartNum"), "5");
    // A changed file would show in a second summary.
    QVERIFY(WriteBytes(p.File(QStringLiteral("vintok.ini")), "[Event]\r\nUTCoffset=-7\r\n"));

    // Another window of the program takes the focus and gives it back.
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    other.close();
    p.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p.window.get()));

    // A real modal error box comes and goes ("Read" with a start number
    // that is not a number).
    static_cast<app::VintokApplication*>(qApp)->SetErrorPresenter(
        [](const QString& title, const QString& text) {
          QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
          QTimer::singleShot(100, &box, &QMessageBox::accept);
          box.exec();
        });
    Retype(p.Edit("StartNum"), QStringLiteral("x"));
    QTest::mouseClick(p.Find<QPushButton>("Button1"), Qt::LeftButton);
    p.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(p.window.get()));
    QTest::qWait(50);

    QCOMPARE(p.Report(), QStringLiteral("READING iBUTTON MEMORY"));
    QVERIFY(afterLoading.endsWith(QStringLiteral("\n(from .INI file)\n")));
    QCOMPARE(afterLoading.count(QStringLiteral("PC time")), 1);
    QCOMPARE(p.Text("StartNum"), QStringLiteral("x"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("0"));  // proposed from x: offset 0
  }

  // --- Reads.

  void workedExampleEndToEnd() {
    ErrorBoxes boxes;
    Program p(Edition::Current, "worked_example.ini");
    QVERIFY(p.Show());
    TypeInto(p.Edit("StartNum"), QStringLiteral("12"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("12"));  // Start1Fob=1
    p.Read("worked-example.txt", "12", "12");

    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(p.SlotColumn(0), SlotNames(0, 31));
    QCOMPARE(p.SlotColumn(1), kWorkedTimes);
    QCOMPARE(p.Slot(0, 0), QStringLiteral("0 (START)"));
    QCOMPARE(p.Slot(31, 0), QStringLiteral("31 (FINISH)"));
    QCOMPARE(p.RomCells(), QStringList({"7B", "00", "00", "00", "11", "3E", "5A", "0C"}));
    QCOMPARE(p.Text("ROMNum"), QStringLiteral("890092119094460539"));
    QCOMPARE(p.Report(), Lines(kWorkedReport));
    QCOMPARE(p.Text("StartNum"), QStringLiteral("0"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("000"));
    QCOMPARE(p.Colour("fobNum"), QColor(0, 255, 0));
    QCOMPARE(p.Focused(), QStringLiteral("StartNum"));
    QCOMPARE(p.FileBytes("ibutton.log"), Expected("worked_example.log"));
    QCOMPARE(p.FileBytes("ibutton.kor"), Expected("worked_example.kor"));
    // The fob's timing went through the window's pauses, not real sleeps.
    QCOMPARE(p.pauses, 83);
    QCOMPARE(p.pausedMilliseconds, 174);
  }

  void readWithBothErrorsKeepsTheEntries() {
    ErrorBoxes boxes;
    Program p(Edition::Current, "worked_example.ini");
    QVERIFY(p.Show());
    p.Read("late-start-no-finish.txt", "7", "7");

    QCOMPARE(boxes.texts, QStringList());
    // The start punched at 06:00 local, before the event opened; no finish.
    QCOMPARE(p.SlotColumn(1), TimeColumn({{0, " (NO PUNCH)"},
                                          {1, "19/06/2012 10:25:10"},
                                          {2, " (NO PUNCH)"},
                                          {3, " (NO PUNCH)"},
                                          {31, " (NO PUNCH)"}}));
    // The fallback finish is the start plus 120 x 120 seconds, ten o'clock,
    // which lies before the fox punch.
    const QStringList report{"iButton fob No. 7",
                             "Foxes Found - 0",
                             "Run Time - 240:00",
                             "Fox   Split    Cumulative",
                             "S (1)    ",
                             "Z (31)    -25:10  -25:10",
                             "**Start Punch ERROR**",
                             "**Finish Punch ERROR**",
                             ""};
    QCOMPARE(p.Report(), Lines(report + QStringList{"KESTRIX timing system"}));
    QCOMPARE(p.Text("StartNum"), QStringLiteral("7"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("7"));
    QCOMPARE(p.Colour("fobNum"), QColor(255, 0, 0));
    QCOMPARE(p.Focused(), QStringLiteral("StartNum"));
    QCOMPARE(p.FileBytes("ibutton.log"),
             (report.join(QStringLiteral("\r\n")) + "\r\n\r\n-----------------------\r\n\r\n")
                 .toLatin1());
    QVERIFY(!p.Exists("ibutton.kor"));

    // Typing the start number again gives the field back its window colour.
    TypeInto(p.Edit("StartNum"), QStringLiteral("12"));
    QCOMPARE(p.Colour("fobNum"), QColor(255, 255, 255));
  }

  void secondCleanReadAppendsASecondBlock() {
    ErrorBoxes boxes;
    Program p(Edition::Current, "worked_example.ini");
    QVERIFY(p.Show());
    p.Read("worked-example.txt", "12", "12");
    p.Read("worked-example.txt", "12", "12");
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(p.Report(), Lines(kWorkedReport));  // replaced, not added to
    const QByteArray once = Expected("worked_example.kor");
    QVERIFY(once.startsWith(kKorHeader));
    QCOMPARE(p.FileBytes("ibutton.kor"), once + once.mid(kKorHeader.size()));
    QCOMPARE(p.FileBytes("ibutton.log"),
             Expected("worked_example.log") + Expected("worked_example.log"));
    QCOMPARE(p.Colour("fobNum"), QColor(0, 255, 0));
  }

  // The previous run was killed in the middle of its export: the next start
  // cuts the unfinished block off before anything reads the file.
  void startUpCutsAnExportBlockAKilledRunLeftHalfWritten() {
    const QByteArray whole = Expected("worked_example.kor");
    Program p(Edition::Current, "worked_example.ini");
    QVERIFY(WriteBytes(p.File(QStringLiteral("ibutton.kor")), whole + "# -- Start No.13 Fo"));
    QVERIFY(WriteBytes(
        p.File(QStringLiteral("ibutton.kor.pending")),
        QByteArray::number(whole.size()) + ' ' + QByteArray::number(whole.size() + 200)));
    QVERIFY(p.Show());
    QCOMPARE(p.FileBytes("ibutton.kor"), whole);
    QVERIFY(!p.Exists("ibutton.kor.pending"));
  }

  void unwritableExportShowsTheReasonAndKeepsTheFile_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason");
    QTest::newRow("refused (read-only)") << "refuse"
                                         << "Permission denied";
    QTest::newRow("export file is a directory") << "directory"
                                                << "Is a directory";
  }

  void unwritableExportShowsTheReasonAndKeepsTheFile() {
    QFETCH(QString, how);
    QFETCH(QString, reason);
    ErrorBoxes boxes;
    FaultyFiles files;
    Program p(Edition::Current, "worked_example.ini", &files);
    const QByteArray oldExport = kKorHeader + "# -- Start No.3 Fob No:3 --\r\n";
    if (how == QStringLiteral("refuse")) {
      QVERIFY(WriteBytes(p.File(QStringLiteral("ibutton.kor")), oldExport));
      files.fault = FaultyFiles::Fault::RefuseOpen;
      files.failingFile = QStringLiteral("ibutton.kor");
    } else {
      QVERIFY(QDir(p.Dir()).mkdir(QStringLiteral("ibutton.kor")));
    }
    QVERIFY(p.Show());
    p.Read("worked-example.txt", "12", "12");

    QCOMPARE(boxes.texts,
             QStringList(
                 {QStringLiteral("Unable to write to %1ibutton.kor: %2.").arg(p.Dir(), reason)}));
    QCOMPARE(boxes.titles, QStringList({app::ProgramTitle()}));
    if (how == QStringLiteral("refuse")) {
      QCOMPARE(files.failures, 1);
      QCOMPARE(p.FileBytes("ibutton.kor"), oldExport);
    } else {
      QVERIFY(QFileInfo(p.File(QStringLiteral("ibutton.kor"))).isDir());
    }
    // The report with its trailer was shown and logged before the export.
    QCOMPARE(p.Report(), Lines(kWorkedReport));
    QCOMPARE(p.FileBytes("ibutton.log"), Expected("worked_example.log"));
    QCOMPARE(p.SlotColumn(1), kWorkedTimes);
    QCOMPARE(p.Text("StartNum"), QStringLiteral("12"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("12"));
    QCOMPARE(p.Colour("fobNum"), QColor(255, 255, 255));
  }

  void fullDiskKeepsTheFilesOldLength_data() {
    QTest::addColumn<QString>("failingFile");
    QTest::addColumn<int>("bytesThatFit");
    QTest::newRow("export, first bytes") << "ibutton.kor" << 1;
    QTest::newRow("export, within the block") << "ibutton.kor" << 60;
    QTest::newRow("log, within the block") << "ibutton.log" << 40;
  }

  void fullDiskKeepsTheFilesOldLength() {
    QFETCH(QString, failingFile);
    QFETCH(int, bytesThatFit);
    ErrorBoxes boxes;
    FaultyFiles files;
    Program p(Edition::Current, "worked_example.ini", &files);
    QVERIFY(p.Show());
    p.Read("worked-example.txt", "12", "12");  // both files now hold one block
    QCOMPARE(boxes.texts, QStringList());
    const QByteArray log = p.FileBytes("ibutton.log");
    const QByteArray kor = p.FileBytes("ibutton.kor");

    files.fault = FaultyFiles::Fault::FullAfter;
    files.failingFile = failingFile;
    files.bytesThatFit = std::size_t(bytesThatFit);
    p.Read("worked-example.txt", "12", "12");

    QCOMPARE(files.failures, 1);
    QCOMPARE(boxes.texts,
             QStringList({QStringLiteral("Unable to write to %1%2: No space left on device.")
                              .arg(p.Dir(), failingFile)}));
    const bool logFailed = failingFile.endsWith(QStringLiteral(".log"));
    QCOMPARE(p.FileBytes("ibutton.kor"), kor);
    QCOMPARE(p.FileBytes("ibutton.log"), logFailed ? log : log + log);
    // A log that cannot be written stops the read before the trailer.
    QCOMPARE(p.Report(), logFailed ? Lines(kWorkedReport.mid(0, kWorkedReport.size() - 1))
                                   : Lines(kWorkedReport));
    QCOMPARE(p.Text("StartNum"), QStringLiteral("12"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("12"));
    QCOMPARE(p.Colour("fobNum"), QColor(255, 255, 255));

    // The disk has room again: the next read lands whole.
    files.fault = FaultyFiles::Fault::None;
    p.Read("worked-example.txt", "12", "12");
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(p.FileBytes("ibutton.kor"), kor + kor.mid(kKorHeader.size()));
  }

  void fobThatNeverVerifiesLeavesTheGrid() {
    ErrorBoxes boxes;
    Program p(Edition::Current, "worked_example.ini");
    QVERIFY(p.Show());
    p.Read("worked-example.txt", "12", "12");
    const QByteArray log = p.FileBytes("ibutton.log");
    const QByteArray kor = p.FileBytes("ibutton.kor");

    p.Read("never-agrees.txt", "5", "5");
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(p.Report(), QStringLiteral("READ FAILED, TRY AGAIN"));
    QCOMPARE(p.SlotColumn(0), SlotNames(0, 31));
    QCOMPARE(p.SlotColumn(1), kWorkedTimes);
    // The registration number of the new fob is shown.
    QCOMPARE(p.RomCells(), QStringList({"08", "F7", "E6", "D5", "C4", "B3", "A2", "01"}));
    QCOMPARE(p.Text("ROMNum"), QStringLiteral("117854198248699656"));
    QCOMPARE(p.Text("StartNum"), QStringLiteral("5"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("5"));
    QCOMPARE(p.Colour("fobNum"), QColor(255, 255, 255));
    QCOMPARE(p.FileBytes("ibutton.log"), log);
    QCOMPARE(p.FileBytes("ibutton.kor"), kor);
  }

  void startNumberThatIsNoNumber() {
    ErrorBoxes boxes;
    Program p(Edition::Current, "worked_example.ini");
    QVERIFY(p.Show());
    p.Read("worked-example.txt", "7 ", "7");
    QCOMPARE(boxes.texts, QStringList({"'7 ' is not a valid integer value."}));
    QCOMPARE(boxes.titles, QStringList({app::ProgramTitle()}));
    QCOMPARE(p.Report(), QStringLiteral("READING iBUTTON MEMORY"));
    QCOMPARE(p.SlotColumn(1), QStringList(32, QString()));
    QCOMPARE(p.Text("ROMNum"), QString());
    QCOMPARE(p.Text("StartNum"), QStringLiteral("7 "));
    QCOMPARE(p.pauses, 0);
    QVERIFY(!p.Exists("ibutton.log"));
  }

  void startTimeOverride_data() {
    QTest::addColumn<int>("edition");
    QTest::addColumn<bool>("switchOn");  // click CheckBox1 (current edition)
    QTest::addColumn<QString>("hour");
    QTest::addColumn<QString>("minute");
    QTest::addColumn<QString>("startCell");
    QTest::addColumn<QString>("runTime");
    QTest::addColumn<QByteArray>("startLine");
    const QByteArray asRead = "127 12 10:00:00'00 19.06.12 0; #start";
    const QByteArray at0930 = "127 12 09:30:00'00 19.06.12 0; #start";
    QTest::newRow("switched on") << int(Edition::Current) << true << "09"
                                 << "30"
                                 << "19/06/2012 09:30:00"
                                 << "Run Time -  82:05" << at0930;
    QTest::newRow("switched off") << int(Edition::Current) << false << "09"
                                  << "30"
                                  << "19/06/2012 10:00:00"
                                  << "Run Time -  52:05" << asRead;
    QTest::newRow("switched on, 00:00") << int(Edition::Current) << true << "00"
                                        << "00"
                                        << "19/06/2012 10:00:00"
                                        << "Run Time -  52:05" << asRead;
    QTest::newRow("earlier, no switch")
        << int(Edition::Earlier) << false << "09"
        << "30"
        << "19/06/2012 09:30:00"
        << "Run Time -  82:05" << QByteArray("253 12 09:30:00'00 19.06.12 0; #start");
  }

  void startTimeOverride() {
    QFETCH(int, edition);
    QFETCH(bool, switchOn);
    QFETCH(QString, hour);
    QFETCH(QString, minute);
    QFETCH(QString, startCell);
    QFETCH(QString, runTime);
    QFETCH(QByteArray, startLine);
    ErrorBoxes boxes;
    Program p(Edition(edition), "worked_example.ini");
    QVERIFY(p.Show());
    if (switchOn) QTest::mouseClick(p.Find("CheckBox1"), Qt::LeftButton);
    Retype(p.Edit("StartTimeH"), hour);
    Retype(p.Edit("StartTimeM"), minute);
    p.Read("worked-example.txt", "12", "12");
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(p.Slot(0, 1), startCell);
    QCOMPARE(p.Report().split(u'\n').value(2), runTime);
    QVERIFY2(p.FileBytes("ibutton.kor").contains("\r\n" + startLine + "\r\n"),
             p.FileBytes("ibutton.kor").constData());
    // The override stays for the next competitor.
    QCOMPARE(p.Text("StartTimeH"), hour);
    QCOMPARE(p.Text("StartTimeM"), minute);
  }

  // --- The earlier edition.

  void earlierEditionWithACurrentEventFile() {
    // [Control], [FoxNumber] and [SiNumber] mean nothing to it: start 0,
    // finish 31, no fox slot; the event date, hours and prefixes hold.
    ErrorBoxes boxes;
    Program p(Edition::Earlier, "event_full.ini");
    QVERIFY(p.Show());
    p.Read("worked-example.txt", "12", "12");
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(p.SlotColumn(0), SlotNames(0, 31));
    QCOMPARE(p.SlotColumn(1),
             TimeColumn({{0, "19/06/2012 10:00:00"}, {31, "19/06/2012 10:52:05"}}));
    // Labels cut to eight characters.
    QCOMPARE(p.Report(), Lines({"iButton fob No. 12", "Foxes Found - 0", "Run Time -  52:05",
                                "Fox   Split    Cumulative", "START (0", "FINISH (  52:05   52:05",
                                "", "KESTRIX timing system"}));
    QCOMPARE(p.FileBytes("cup2012.kor"), kKorHeader +
                                             "# -- Start No.12 Fob No:12 --\r\n"
                                             "254 12 10:52:05'00 19.06.12 0; 0; #begin\r\n"
                                             "253 12 10:00:00'00 19.06.12 0; #start\r\n"
                                             "248 12 10:52:05'00 19.06.12 0; #finish\r\n");
  }

  void earlierEditionWorkedExample() {
    ErrorBoxes boxes;
    Program p(Edition::Earlier, "worked_example.ini");
    QVERIFY(p.Show());
    // No proposal: the operator types both numbers.
    TypeInto(p.Edit("StartNum"), QStringLiteral("12"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("000"));
    p.Read("worked-example.txt", "12", "12");

    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(p.SlotColumn(0), SlotNames(0, 31));
    QCOMPARE(p.SlotColumn(1), kWorkedTimes);
    QCOMPARE(p.Report(), Lines({"iButton fob No. 12", "Foxes Found - 3", "Run Time -  52:05",
                                "Fox   Split    Cumulative", "S (0)   ", "F2 (2)    12:30   12:30",
                                "F1 (1)    12:40   25:10", "F3 (3)    14:50   40:00",
                                "Z (31)    12:05   52:05", "", "KESTRIX timing system"}));
    QCOMPARE(p.FileBytes("ibutton.log"), Expected("worked_example_earlier.log"));
    QCOMPARE(p.FileBytes("ibutton.kor"), Expected("worked_example_earlier.kor"));
    QCOMPARE(p.Text("StartNum"), QStringLiteral("0"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("000"));
    QCOMPARE(p.Colour("fobNum"), QColor(255, 255, 255));
    QCOMPARE(p.Focused(), QStringLiteral("StartNum"));
    QCOMPARE(p.pauses, 82);
    QCOMPARE(p.pausedMilliseconds, 182);
  }

  void earlierEditionReadWithErrorsClearsTheEntries() {
    ErrorBoxes boxes;
    Program p(Edition::Earlier, "worked_example.ini");
    QVERIFY(p.Show());
    p.Read("late-start-no-finish.txt", "7", "7");
    QCOMPARE(boxes.texts, QStringList());
    const QStringList report{"iButton fob No. 7",
                             "Foxes Found - 0",
                             "Run Time - 240:00",
                             "Fox   Split    Cumulative",
                             "S (1)   ",
                             "Z (31)   -25:10  -25:10",
                             "**Start Punch Error**",
                             "**No Finish Punch**",
                             ""};
    QCOMPARE(p.Report(), Lines(report + QStringList{"KESTRIX timing system"}));
    QCOMPARE(p.FileBytes("ibutton.log"),
             (report.join(QStringLiteral("\r\n")) + "\r\n\r\n-----------------------\r\n\r\n")
                 .toLatin1());
    QVERIFY(!p.Exists("ibutton.kor"));
    QCOMPARE(p.Text("StartNum"), QStringLiteral("0"));
    QCOMPARE(p.Text("fobNum"), QStringLiteral("000"));
    QCOMPARE(p.Colour("fobNum"), QColor(255, 255, 255));
    QCOMPARE(p.Focused(), QStringLiteral("StartNum"));

    // With "0" and "000" the next "Read" is refused until both are typed.
    QTest::mouseClick(p.Find<QPushButton>("Button1"), Qt::LeftButton);
    QCOMPARE(p.Report(), QStringLiteral("PLEASE ENTER A START & FOB NUMBER"));
  }
};

VINTOK_APP_TEST_MAIN(ReadWindowTest)
#include "read_window_test.moc"
