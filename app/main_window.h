#pragma once

#include <QWidget>

#include "edition/edition.h"

class QPushButton;

namespace vintok::app {

// The reader's one window, TMirBaskMain.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  MainWindow(Edition edition, QString exeDir, QWidget* parent = nullptr);

 private:
  Edition edition_;
  QString exeDir_;
};

}  // namespace vintok::app
