#pragma once

#include <QApplication>
#include <QString>
#include <functional>

#include "edition/edition.h"

namespace vintok::app {

struct MainWindowDeps;

// Title of the program's message and error boxes: the program file's name
// without extension, its first letter in upper case and every letter after
// it in lower case ("vintok32" -> "Vintok32").
QString ProgramTitle();
QString ProgramTitleFromPath(const QString& programPath);

// The error box text: the message with a full stop appended when its last
// character's code lies above that of the full stop.
QString ErrorBoxText(const QString& message);

// The application object. Every event the program handles passes through
// notify(); an exception that a handler raises and does not handle ends that
// handler there, is shown in the error box, and the program goes on.
class VintokApplication : public QApplication {
 public:
  using ErrorPresenter = std::function<void(const QString& title, const QString& text)>;

  VintokApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Shows the error box for a message (stop icon, program title).
  void ShowError(const QString& message);

  // Tests replace the modal box to see what the operator would see; an empty
  // presenter brings the modal box back.
  void SetErrorPresenter(ErrorPresenter presenter);

 private:
  ErrorPresenter presenter_;
};

// The error box for code that catches an error itself: through the running
// VintokApplication (and so its presenter) when there is one.
void ShowErrorBox(const QString& message);

// The modal information box with an OK button, titled ProgramTitle().
void ShowMessageBox(const QString& text);

// Start-up after the application object exists: creates the main window,
// whose port check may end the program before the window is shown, then runs
// the event loop until the window is closed or "Exit" is pressed. Returns the
// exit code, 0.
int RunMainWindow(const MainWindowDeps& deps);

// The whole program: application object, 1-Wire driver, main window, event
// loop. Returns the exit code.
int RunProgram(int argc, char* argv[], Edition edition);

}  // namespace vintok::app
