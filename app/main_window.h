#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "config/clock.h"
#include "config/event_config.h"
#include "edition/edition.h"
#include "ibutton/onewire_driver.h"
#include "ibutton/punch_reader.h"
#include "results/append_file.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QTableWidget;

namespace vintok::app {

class AutoSelectEdit;
class SpinButton;

// What the main window works with. Everything outside the window that a test
// may want to replace comes in through here.
struct MainWindowDeps {
  Edition edition = Edition::Current;
  // The program's directory, ending in a path separator.
  QString exeDir;
  ibutton::OneWireDriver& driver;
  const config::Clock& clock;
  // The modal information box with an OK button ("Please set port first").
  // Empty: the platform's message box titled with ProgramTitle().
  std::function<void(const QString& text)> showMessage;
  // The system's default printer; nullptr when there is none.
  // Empty: OpenDefaultPrinter().
  std::function<std::unique_ptr<QPrinter>()> openDefaultPrinter;
  // The pauses the fob needs between bytes. Empty: real sleeps.
  ibutton::PauseFn pause;
  // Where the run log and the export file are written. Null: the disk.
  results::FileSystem* files = nullptr;
};

// The override inputs as the operator left them; the read applies them.
struct OverrideInputs {
  QString hourText;      // StartTimeH
  QString minuteText;    // StartTimeM
  bool checked = false;  // CheckBox1; the earlier edition has no check box: false
};

// The reader's one window, TMirBaskMain. All state of the program lives here
// for the life of the process.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowDeps deps, QWidget* parent = nullptr);
  ~MainWindow() override;

  Edition edition() const { return deps_.edition; }

  // Creation: asks the driver for its default port. False when there is none:
  // "Please set port first" has been shown and the program ends with code 0.
  bool FormCreate();

  // --- Handlers, bound to the controls' events.
  void FormActivate();
  void Button1Click();
  void Button2Click();
  void ExitButtonClick();
  void StartNumChange();
  void CheckBox1Click();
  void SpinButton1UpClick();
  void SpinButton1DownClick();
  void StartTimeEdit(bool later);

  // The read, run by "Read".
  void TouchMemoryList();

  // --- What the read and its evaluation work with.
  config::EventConfig& Config() { return config_; }
  const config::EventConfig& Config() const { return config_; }

  // Slot grid SG1 (column 0..1, row 0..31) and registration grid SG2
  // (column 0..7 of row 0).
  void SetSlotCell(int column, int row, const QString& text);
  QString SlotCell(int column, int row) const;
  void SetRomCell(int column, const QString& text);
  QString RomCell(int column) const;
  void SetRomNumber(const QString& text);  // ROMNum

  // Report area Memo1. Lines are the text's lines; a line break at the very
  // end does not start another line.
  void SetReportText(const QString& text);  // CR LF or LF line breaks
  void AppendReportLine(const QString& line);
  QStringList ReportLines() const;
  QString ReportText() const;  // with CR LF line breaks
  void RepaintReport();        // paints at once; the read blocks the window

  // Entry fields.
  QString StartNumText() const;
  void SetStartNumText(const QString& text);  // runs the change reaction where there is one
  QString FobNumText() const;
  void SetFobNumText(const QString& text);
  QColor FobNumColour() const;
  void SetFobNumColour(const QColor& colour);
  void FocusStartNum();
  OverrideInputs Override() const;

 protected:
  bool event(QEvent* event) override;

  // Reads vintok.ini into Config() and appends the summary to the report area.
  virtual void LoadConfiguration();

 private:
  void CreateControls();
  void RunHandler(void (MainWindow::*handler)());
  void SetTabOrder();
  void ShowMessage(const QString& text);
  ibutton::PunchMemoryReader& Reader();
  // Where the run log and the export file go: the test's seam or the disk.
  results::FileSystem& Files();

  MainWindowDeps deps_;
  std::unique_ptr<results::FileSystem> disk_;

  // Fields of the window; all start zeroed.
  int16_t PortNum = 0;
  int16_t PortType = 0;
  // Reads the fob on the default port; it keeps whether the port setup has
  // succeeded once (SetupDone). Made at the first read after creation.
  std::unique_ptr<ibutton::PunchMemoryReader> reader_;
  config::EventConfig config_;
  bool activated_ = false;

  QTableWidget* SG1 = nullptr;
  QTableWidget* SG2 = nullptr;
  AutoSelectEdit* ROMNum = nullptr;
  AutoSelectEdit* StartTimeH = nullptr;
  AutoSelectEdit* StartTimeM = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  AutoSelectEdit* fobNum = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* ExitButton = nullptr;
  AutoSelectEdit* StartNum = nullptr;
  SpinButton* SpinButton1 = nullptr;  // current edition only
  QCheckBox* CheckBox1 = nullptr;     // current edition only
};

// The four lines the report area shows at start-up.
QStringList BannerLines(Edition edition);

}  // namespace vintok::app
