#include "app/application.h"

#include <QFileInfo>
#include <QMessageBox>
#include <exception>
#include <memory>

#include "app/main_window.h"
#include "ibutton/default_port.h"

namespace vintok::app {

QString ProgramTitleFromPath(const QString& programPath) {
  const QString name = QFileInfo(programPath).completeBaseName();
  if (name.isEmpty()) return name;
  return name.left(1) + name.mid(1).toLower();
}

QString ProgramTitle() { return ProgramTitleFromPath(QCoreApplication::applicationFilePath()); }

QString ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

namespace {
void ShowModalErrorBox(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
  box.exec();
}
}  // namespace

VintokApplication::VintokApplication(int& argc, char** argv)
    : QApplication(argc, argv), presenter_(ShowModalErrorBox) {}

bool VintokApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowError(QString::fromLocal8Bit(error.what()));
  }
  return true;
}

void VintokApplication::ShowError(const QString& message) {
  presenter_(ProgramTitle(), ErrorBoxText(message));
}

void VintokApplication::SetErrorPresenter(ErrorPresenter presenter) {
  presenter_ = presenter ? std::move(presenter) : ErrorPresenter(ShowModalErrorBox);
}

void ShowErrorBox(const QString& message) {
  if (auto* application = dynamic_cast<VintokApplication*>(QCoreApplication::instance())) {
    application->ShowError(message);
  } else {
    ShowModalErrorBox(ProgramTitle(), ErrorBoxText(message));
  }
}

void ShowMessageBox(const QString& text) {
  QMessageBox box(QMessageBox::Information, ProgramTitle(), text, QMessageBox::Ok);
  box.exec();
}

int RunMainWindow(const MainWindowDeps& deps) {
  MainWindow window(deps);
  if (!window.FormCreate()) return 0;
  window.show();
  QApplication::exec();
  return 0;
}


int RunProgram(int argc, char* argv[], Edition edition) {
  VintokApplication application(argc, argv);
  std::unique_ptr<ibutton::OneWireDriver> driver;
  try {
    driver = ibutton::CreateDefaultDriver();
  } catch (const std::exception& error) {
    // The Windows binding cannot load the vendor driver library.
    application.ShowError(QString::fromLocal8Bit(error.what()));
    return 0;
  }
  const config::SystemClock clock;
  return RunMainWindow(MainWindowDeps{.edition = edition,
                                      .exeDir = QCoreApplication::applicationDirPath() + u'/',
                                      .driver = *driver,
                                      .clock = clock,
                                      .showMessage = {},
                                      .openDefaultPrinter = {},
                                      .pause = {},
                                      .files = nullptr});
}

}  // namespace vintok::app
