#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QPrinter>
#include <QTest>
#include <QWidget>
#include <cstring>
#include <functional>
#include <memory>

#include "app/application.h"
#include "app/controls.h"
#include "app/main_window.h"
#include "config/clock.h"
#include "ibutton/onewire_driver.h"

namespace vintok::test {

// A 1-Wire driver that only answers the start-up questions.
class FakeDriver : public ibutton::OneWireDriver {
 public:
  int16_t defaultPortResult = 1;
  int readDefaultPortCalls = 0;
  int getVersionCalls = 0;
  int sessionStarts = 0;

  int16_t TMReadDefaultPort(int16_t* portNum, int16_t* portType) override {
    ++readDefaultPortCalls;
    *portNum = 1;
    *portType = 6;
    return defaultPortResult;
  }
  int16_t Get_Version(char* buffer) override {
    ++getVersionCalls;
    // Fills the whole buffer the driver is promised, so the sanitizer run
    // catches a smaller one.
    std::memset(buffer, 'v', ibutton::kVersionBufferSize - 1);
    buffer[ibutton::kVersionBufferSize - 1] = '\0';
    return 1;
  }
  int32_t TMExtendedStartSession(int16_t, int16_t, void*) override {
    ++sessionStarts;
    return 0;
  }
  int16_t TMSetup(int32_t) override { return 0; }
  int16_t TMRom(int32_t, void*, int16_t*) override { return 0; }
  int16_t TMTouchReset(int32_t) override { return 0; }
  int16_t TMTouchByte(int32_t, int16_t byte) override { return byte; }
  int16_t TMEndSession(int32_t) override { return 0; }
};

class FixedClock : public config::Clock {
 public:
  double LocalNow() const override { return 41079.5; }  // 2012-06-19 12:00:00
  config::UtcTimeOfDay UtcNow() const override { return {10, 0, 0}; }
};

// The main window with its configuration loading replaced: `load` plays the
// part of the event file (sets FobOffset, OpenHour, or throws).
class TestWindow : public app::MainWindow {
 public:
  TestWindow(app::MainWindowDeps deps, std::function<void(app::MainWindow&)> load)
      : MainWindow(std::move(deps)), load_(std::move(load)) {}

  int loadings = 0;

 protected:
  void LoadConfiguration() override {
    ++loadings;
    if (load_) load_(*this);
  }

 private:
  std::function<void(app::MainWindow&)> load_;
};

// A window ready for the operator: created, port checked, shown, activated.
struct Harness {
  FakeDriver driver;
  FixedClock clock;
  std::unique_ptr<TestWindow> window;
  // The system's default printer as the window sees it; none unless a test
  // provides one.
  std::function<std::unique_ptr<QPrinter>()> printer;

  explicit Harness(Edition edition = Edition::Current,
                   std::function<void(app::MainWindow&)> load = {}) {
    window = std::make_unique<TestWindow>(
        app::MainWindowDeps{.edition = edition,
                            .exeDir = QString(),
                            .driver = driver,
                            .clock = clock,
                            .showMessage = {},
                            .openDefaultPrinter = [this]() -> std::unique_ptr<QPrinter> {
                              return printer ? printer() : nullptr;
                            },
                            .pause = {},
                            .files = nullptr},
        std::move(load));
    created = window->FormCreate();
  }

  bool created = false;

  // Shows the window and waits for its first activation.
  bool Show() {
    if (!created) return false;
    window->show();
    return QTest::qWaitForWindowActive(window.get());
  }

  template <typename T = QWidget>
  T* Find(const char* name) const {
    return window->findChild<T*>(QString::fromLatin1(name));
  }
  QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
  QColor Colour(const char* name) const {
    return static_cast<app::AutoSelectEdit*>(Edit(name))->BackgroundColour();
  }
};

// Gives the edit the focus as the Tab key would and types `text` over its
// selected content (an empty text erases it).
inline void TypeInto(QLineEdit* edit, const QString& text) {
  edit->setFocus(Qt::TabFocusReason);
  if (text.isEmpty()) {
    QTest::keyClick(edit, Qt::Key_Backspace);
  } else {
    QTest::keyClicks(edit, text);
  }
}

// What the error box would have shown.
struct ErrorBoxes {
  QStringList titles;
  QStringList texts;

  ErrorBoxes() {
    static_cast<app::VintokApplication*>(qApp)->SetErrorPresenter(
        [this](const QString& title, const QString& text) {
          titles << title;
          texts << text;
        });
  }
  ~ErrorBoxes() { static_cast<app::VintokApplication*>(qApp)->SetErrorPresenter({}); }
};

}  // namespace vintok::test

// The test program's main: the program's own application object, so that an
// error raised in a handler reaches the error box as in the program.
#define VINTOK_APP_TEST_MAIN(TestClass)                     \
  int main(int argc, char* argv[]) {                        \
    vintok::app::VintokApplication application(argc, argv); \
    TestClass test;                                         \
    return QTest::qExec(&test, argc, argv);                 \
  }
