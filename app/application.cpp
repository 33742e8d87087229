#include "app/application.h"

#include <QFileInfo>
#include <QMessageBox>

#include <exception>

#include "app/main_window.h"

namespace vintok::app {

QString ProgramTitle() {
  const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  if (name.isEmpty()) return name;
  return name.left(1) + name.mid(1).toLower();
}

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
  presenter_ = std::move(presenter);
}

int RunProgram(int argc, char* argv[], Edition edition) {
  VintokApplication application(argc, argv);
  MainWindow window(edition, QCoreApplication::applicationDirPath() + u'/');
  window.show();
  application.exec();
  return 0;
}

}  // namespace vintok::app
