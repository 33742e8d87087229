#include "app/main_window.h"

#include <QPushButton>

namespace vintok::app {

MainWindow::MainWindow(Edition edition, QString exeDir, QWidget* parent)
    : QWidget(parent), edition_(edition), exeDir_(std::move(exeDir)) {
  setObjectName("MirBaskMain");
  setWindowTitle("KESTRIX");
}

}  // namespace vintok::app
