#include "app/main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextCursor>
#include <stdexcept>

#include "app/application.h"
#include "app/competitor_entry.h"
#include "app/controls.h"
#include "app/report_printer.h"
#include "config/config_loader.h"
#include "config/int_text.h"
#include "ibutton/driver_session.h"
#include "results/disk_file_system.h"
#include "results/read_handler.h"

namespace vintok::app {

QStringList BannerLines(Edition edition) {
  return {edition == Edition::Earlier ? QStringLiteral("Ibutton reader v0.51  10/2011")
                                      : QStringLiteral("Ibutton reader v1.01  12/2012"),
          QStringLiteral("Finish reader of the KESTRIX"), QStringLiteral("ARDF timing system,"),
          QStringLiteral("after the first fob reader.")};
}

namespace {

// Places of the controls, in pixels of the window's client area (designed at
// 96 pixels per inch). The two editions differ in a few of them.
struct Layout {
  QRect window, startTimeH, startTimeM, fobNum, exitButton, startNum, label4, label5, label6,
      label3;
  const char* label5Text;
};

Layout LayoutFor(Edition edition) {
  if (edition == Edition::Earlier) {
    return {QRect(610, 158, 654, 491),
            QRect(228, 424, 25, 24),
            QRect(259, 424, 25, 24),
            QRect(376, 424, 49, 24),
            QRect(8, 401, 70, 40),
            QRect(320, 424, 25, 24),
            QRect(96, 424, 126, 16),
            QRect(232, 408, 56, 16),
            QRect(312, 408, 56, 16),
            QRect(376, 408, 50, 16),
            "HH   MM"};
  }
  return {QRect(755, 280, 654, 515),
          QRect(220, 424, 25, 24),
          QRect(251, 424, 25, 24),
          QRect(384, 424, 49, 24),
          QRect(8, 417, 70, 40),
          QRect(328, 424, 41, 24),
          QRect(88, 408, 126, 16),
          QRect(224, 448, 52, 16),
          QRect(320, 408, 56, 16),
          QRect(384, 408, 50, 16),
          "HH  MM"};
}

QTableWidget* CreateGrid(QWidget* parent, const char* name, int columns, int rows) {
  auto* grid = new QTableWidget(rows, columns, parent);
  grid->setObjectName(QString::fromLatin1(name));
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab leaves the grid for the next control instead of walking its cells.
  grid->setTabKeyNavigation(false);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      grid->setItem(row, column, new QTableWidgetItem());
    }
  }
  return grid;
}

AutoSelectEdit* CreateEdit(QWidget* parent, const char* name, const QRect& place,
                           const QString& text) {
  auto* edit = new AutoSelectEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setGeometry(place);
  edit->setText(text);
  edit->SetBackgroundColour(kColourWindow);
  return edit;
}

QPushButton* CreateButton(QWidget* parent, const char* name, const QRect& place,
                          const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(place);
  // No button of the window answers Enter or Escape.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

void CreateLabel(QWidget* parent, const char* name, const QRect& place, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(place);
}

}  // namespace

MainWindow::MainWindow(MainWindowDeps deps, QWidget* parent)
    : QWidget(parent),
      deps_(std::move(deps)),
      disk_(std::make_unique<results::DiskFileSystem>()) {
  setObjectName(QStringLiteral("MirBaskMain"));
  setWindowTitle(QStringLiteral("KESTRIX"));
  setFont(SystemFont(13, false));
  const Layout layout = LayoutFor(deps_.edition);
  move(layout.window.topLeft());
  resize(layout.window.size());
  CreateControls();
  SetTabOrder();
  // Until the first activation moves it, the focus is on the first control.
  SG1->setFocus(Qt::OtherFocusReason);
}

MainWindow::~MainWindow() = default;

void MainWindow::CreateControls() {
  const Layout layout = LayoutFor(deps_.edition);
  const bool current = deps_.edition == Edition::Current;

  // Created in tab order; SetTabOrder() states it once more.
  SG1 = CreateGrid(this, "SG1", 2, 32);
  SG1->setGeometry(10, 8, 327, 377);
  SG1->setFont(SystemFont(11, true));
  SG1->horizontalHeader()->setDefaultSectionSize(150);
  SG1->verticalHeader()->setMinimumSectionSize(1);
  SG1->verticalHeader()->setDefaultSectionSize(20);
  SG1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  SG2 = CreateGrid(this, "SG2", 8, 1);
  SG2->setGeometry(392, 5, 173, 26);
  SG2->horizontalHeader()->setMinimumSectionSize(1);
  SG2->horizontalHeader()->setDefaultSectionSize(20);
  SG2->verticalHeader()->setDefaultSectionSize(24);
  SG2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Two hex digits fill a 20-pixel column; the style's cell padding would
  // elide them to dots.
  SG2->setTextElideMode(Qt::ElideNone);
  SG2->setStyleSheet(QStringLiteral("QTableWidget::item { padding: 0px; }"));

  ROMNum = CreateEdit(this, "ROMNum", QRect(392, 37, 173, 24), QString());

  const QColor overrideColour = current ? kColourSilver : kColourWindow;
  StartTimeH = CreateEdit(this, "StartTimeH", layout.startTimeH, QStringLiteral("00"));
  StartTimeH->SetTypingLimit(2);
  StartTimeH->SetBackgroundColour(overrideColour);
  StartTimeM = CreateEdit(this, "StartTimeM", layout.startTimeM, QStringLiteral("00"));
  StartTimeM->SetTypingLimit(2);
  StartTimeM->SetBackgroundColour(overrideColour);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(352, 80, 281, 313);
  Memo1->setFont(ReportFont(13));
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setTabChangesFocus(true);
  Memo1->setPlainText(BannerLines(deps_.edition).join(u'\n') + u'\n');

  fobNum = CreateEdit(this, "fobNum", layout.fobNum, QStringLiteral("000"));
  fobNum->setFont(SystemFont(19, true));

  Button1 = CreateButton(this, "Button1", QRect(448, 408, 80, 41), QStringLiteral("Read"));
  Button2 = CreateButton(this, "Button2", QRect(544, 408, 80, 41), QStringLiteral("Print"));
  ExitButton = CreateButton(this, "ExitButton", layout.exitButton, QStringLiteral("Exit"));

  StartNum = CreateEdit(this, "StartNum", layout.startNum, QStringLiteral("0"));
  StartNum->setFont(SystemFont(19, true));

  if (current) {
    SpinButton1 = new SpinButton(this);
    SpinButton1->setObjectName(QStringLiteral("SpinButton1"));
    SpinButton1->setGeometry(288, 416, 25, 49);

    CheckBox1 = new QCheckBox(QStringLiteral("CheckBox1"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    // The caption lies outside the 17 pixels: only the box shows.
    CheckBox1->setGeometry(200, 424, 17, 17);
  }

  CreateLabel(this, "Label2", QRect(352, 7, 32, 16), QStringLiteral("ROM"));
  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image1"));
  image->setGeometry(584, 8, 41, 41);
  image->setAlignment(Qt::AlignCenter);
  image->setPixmap(
      DrawIButtonLogo(75).scaled(41, 41, Qt::KeepAspectRatio, Qt::SmoothTransformation));
  CreateLabel(this, "Label1", QRect(584, 47, 46, 16), QStringLiteral("iButton"));
  CreateLabel(this, "Label4", layout.label4, QStringLiteral("Start Time Override"));
  CreateLabel(this, "Label5", layout.label5, QString::fromLatin1(layout.label5Text));
  CreateLabel(this, "Label6", layout.label6, QStringLiteral("Start No."));
  CreateLabel(this, "Label3", layout.label3, QStringLiteral("Fob No."));

  const auto bind = [this](auto* source, auto signal, void (MainWindow::*handler)()) {
    connect(source, signal, this, [this, handler] { RunHandler(handler); });
  };
  bind(Button1, &QPushButton::clicked, &MainWindow::Button1Click);
  bind(Button2, &QPushButton::clicked, &MainWindow::Button2Click);
  bind(ExitButton, &QPushButton::clicked, &MainWindow::ExitButtonClick);
  if (current) {
    bind(StartNum, &QLineEdit::textChanged, &MainWindow::StartNumChange);
    bind(SpinButton1, &SpinButton::UpClick, &MainWindow::SpinButton1UpClick);
    bind(SpinButton1, &SpinButton::DownClick, &MainWindow::SpinButton1DownClick);
    bind(CheckBox1, &QCheckBox::toggled, &MainWindow::CheckBox1Click);
  }
}

void MainWindow::RunHandler(void (MainWindow::*handler)()) {
  // An error a handler raises ends that handler and is shown in the error
  // box; the program goes on. It is caught here, before it reaches the Qt
  // frames that delivered the event: they are built without exception
  // support and would leak what they hold.
  try {
    (this->*handler)();
  } catch (const std::exception& error) {
    ShowErrorBox(QString::fromLocal8Bit(error.what()));
  }
}

void MainWindow::SetTabOrder() {
  QList<QWidget*> order{SG1,    SG2,     ROMNum,  StartTimeH, StartTimeM, Memo1,
                        fobNum, Button1, Button2, ExitButton, StartNum};
  if (CheckBox1 != nullptr) order.append(CheckBox1);
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void MainWindow::ShowMessage(const QString& text) {
  if (deps_.showMessage) {
    deps_.showMessage(text);
  } else {
    ShowMessageBox(text);
  }
}

bool MainWindow::FormCreate() {
  reader_.reset();  // a new reader has not set up the port yet
  if (deps_.driver.TMReadDefaultPort(&PortNum, &PortType) < 1) {
    ShowMessage(QStringLiteral("Please set port first"));
    return false;
  }
  char version[ibutton::kVersionBufferSize] = {};
  deps_.driver.Get_Version(version);
  return true;
}

bool MainWindow::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // The configuration is loaded once per run, when the window is first
  // activated; message boxes, error boxes and other applications taking the
  // focus for a while do not load it again.
  if (event->type() == QEvent::WindowActivate && !activated_) {
    activated_ = true;
    RunHandler(&MainWindow::FormActivate);
  }
  return handled;
}

void MainWindow::FormActivate() {
  SG1->setColumnWidth(0, 100);
  SG1->setColumnWidth(1, 300);
  LoadConfiguration();
  SetStartNumText(QStringLiteral("0"));
  SetFobNumText(QStringLiteral("000"));
  FocusStartNum();
}

void MainWindow::LoadConfiguration() {
  const std::vector<std::string> summary = config::LoadEventConfig(
      config_, deps_.exeDir.toLocal8Bit().toStdString(), deps_.clock, deps_.edition);
  for (const std::string& line : summary) AppendReportLine(QString::fromLocal8Bit(line));
  // A block the previous run was stopped in the middle of writing goes
  // before the results software reads the files again.
  const std::string base = config_.ExeDir + config_.FileBase;
  results::RecoverInterruptedAppend(Files(), base + ".log");
  results::RecoverInterruptedAppend(Files(), base + ".kor");
}

void MainWindow::Button1Click() { TouchMemoryList(); }

void MainWindow::Button2Click() {
  std::unique_ptr<QPrinter> printer =
      deps_.openDefaultPrinter ? deps_.openDefaultPrinter() : OpenDefaultPrinter();
  if (!printer) throw std::runtime_error("There is no default printer currently selected");
  PrintReport(*printer, ReportLines(), PrintFont(Memo1->font(), Memo1->logicalDpiY()));
}

void MainWindow::ExitButtonClick() { QCoreApplication::exit(0); }

void MainWindow::StartNumChange() {
  fobNum->setText(QString::number(ProposedFobNumber(StartNum->text(), config_.FobOffset)));
  fobNum->SetBackgroundColour(kColourWindow);
}

void MainWindow::CheckBox1Click() {
  if (CheckBox1->isChecked()) {
    if (config::StrToIntDef(StartTimeH->text().toLocal8Bit().toStdString(), 0) == 0) {
      StartTimeH->setText(TwoDigitText(config_.OpenHour));
    }
    StartTimeH->SetBackgroundColour(kColourYellow);
    StartTimeM->SetBackgroundColour(kColourYellow);
  } else {
    StartTimeH->SetBackgroundColour(kColourSilver);
    StartTimeM->SetBackgroundColour(kColourSilver);
  }
}

void MainWindow::SpinButton1UpClick() { StartTimeEdit(true); }

void MainWindow::SpinButton1DownClick() { StartTimeEdit(false); }

void MainWindow::StartTimeEdit(bool later) {
  const OverrideTime next =
      StepOverrideTime(StartTimeH->text(), StartTimeM->text(), config_.OpenHour, later);
  StartTimeM->setText(next.minute);
  StartTimeH->setText(next.hour);
}

namespace {

std::string Local8Bit(const QString& text) { return text.toLocal8Bit().toStdString(); }
QString FromLocal8Bit(const std::string& text) { return QString::fromLocal8Bit(text); }

// The window's controls as the read handler sees them.
class WindowReadView : public results::ReadView {
 public:
  explicit WindowReadView(MainWindow& window) : window_(window) {}

  std::string FobNumText() const override { return Local8Bit(window_.FobNumText()); }
  std::string StartNumText() const override { return Local8Bit(window_.StartNumText()); }
  results::OverrideInput Override() const override {
    const OverrideInputs inputs = window_.Override();
    return {Local8Bit(inputs.hourText), Local8Bit(inputs.minuteText), inputs.checked};
  }
  void SetReportText(const std::string& text) override {
    window_.SetReportText(FromLocal8Bit(text));
    window_.RepaintReport();
  }
  void AddReportLine(const std::string& line) override {
    window_.AppendReportLine(FromLocal8Bit(line));
  }
  void ShowRegistrationNumber(const ibutton::RegistrationNumber& rom) override {
    for (int column = 0; column < 8; ++column)
      window_.SetRomCell(column, FromLocal8Bit(rom.cells[column]));
    window_.SetRomNumber(FromLocal8Bit(rom.text));
  }
  void ShowSlotGrid(
      const std::array<std::array<std::string, 2>, results::kSlotCount>& cells) override {
    for (int row = 0; row < results::kSlotCount; ++row)
      for (int column = 0; column < 2; ++column)
        window_.SetSlotCell(column, row, FromLocal8Bit(cells[row][column]));
  }
  void SetStartNumText(const std::string& text) override {
    window_.SetStartNumText(FromLocal8Bit(text));
  }
  void SetFobNumText(const std::string& text) override {
    window_.SetFobNumText(FromLocal8Bit(text));
  }
  void SetFobNumColour(results::FobFieldColour colour) override {
    window_.SetFobNumColour(colour == results::FobFieldColour::Lime ? kColourLime : kColourRed);
  }
  void FocusStartNum() override { window_.FocusStartNum(); }

 private:
  MainWindow& window_;
};

}  // namespace

results::FileSystem& MainWindow::Files() { return deps_.files ? *deps_.files : *disk_; }

ibutton::PunchMemoryReader& MainWindow::Reader() {
  if (!reader_)
    reader_ = std::make_unique<ibutton::PunchMemoryReader>(
        deps_.driver, ibutton::ProcessDriverSession(),
        deps_.pause ? deps_.pause : ibutton::RealPause(), deps_.edition, PortNum, PortType);
  return *reader_;
}

void MainWindow::TouchMemoryList() {
  results::ReadHandler handler(Reader(), Files(), deps_.edition);
  WindowReadView view(*this);
  handler.TouchMemoryList(view, config_);
}

void MainWindow::SetSlotCell(int column, int row, const QString& text) {
  SG1->item(row, column)->setText(text);
}

QString MainWindow::SlotCell(int column, int row) const { return SG1->item(row, column)->text(); }

void MainWindow::SetRomCell(int column, const QString& text) {
  SG2->item(0, column)->setText(text);
}

QString MainWindow::RomCell(int column) const { return SG2->item(0, column)->text(); }

void MainWindow::SetRomNumber(const QString& text) { ROMNum->setText(text); }

namespace {
QString WithLineFeeds(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
}  // namespace

void MainWindow::SetReportText(const QString& text) { Memo1->setPlainText(WithLineFeeds(text)); }

void MainWindow::AppendReportLine(const QString& line) {
  // Exactly one more line: the text always ends in a line break afterwards,
  // as the report area's text does after each line the program adds.
  const QString text = Memo1->toPlainText();
  QString addition = WithLineFeeds(line) + u'\n';
  if (!text.isEmpty() && !text.endsWith(u'\n')) addition.prepend(u'\n');
  QTextCursor cursor(Memo1->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(addition);
}

QStringList MainWindow::ReportLines() const {
  const QString text = Memo1->toPlainText();
  if (text.isEmpty()) return {};
  QStringList lines = text.split(u'\n');
  if (lines.size() > 1 && lines.back().isEmpty()) lines.removeLast();
  return lines;
}

QString MainWindow::ReportText() const {
  return Memo1->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
}

void MainWindow::RepaintReport() { Memo1->viewport()->repaint(); }

QString MainWindow::StartNumText() const { return StartNum->text(); }

void MainWindow::SetStartNumText(const QString& text) { StartNum->setText(text); }

QString MainWindow::FobNumText() const { return fobNum->text(); }

void MainWindow::SetFobNumText(const QString& text) { fobNum->setText(text); }

QColor MainWindow::FobNumColour() const { return fobNum->BackgroundColour(); }

void MainWindow::SetFobNumColour(const QColor& colour) { fobNum->SetBackgroundColour(colour); }

void MainWindow::FocusStartNum() { StartNum->setFocus(Qt::OtherFocusReason); }

OverrideInputs MainWindow::Override() const {
  return {StartTimeH->text(), StartTimeM->text(), CheckBox1 != nullptr && CheckBox1->isChecked()};
}

}  // namespace vintok::app
