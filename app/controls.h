#pragma once

#include <QColor>
#include <QFont>
#include <QLineEdit>
#include <QPixmap>
#include <QWidget>

class QToolButton;

namespace vintok::app {

// Colours of the entry fields. They carry meaning for the operator (lime: the
// last read was clean, red: it found errors, yellow: the start-time override
// is on), so they are exact values and not taken from the desktop theme.
inline const QColor kColourWindow{0xFF, 0xFF, 0xFF};
inline const QColor kColourSilver{0xC0, 0xC0, 0xC0};
inline const QColor kColourYellow{0xFF, 0xFF, 0x00};
inline const QColor kColourLime{0x00, 0xFF, 0x00};
inline const QColor kColourRed{0xFF, 0x00, 0x00};

// The window font "System" at a pixel height; where no such font exists the
// desktop's sans-serif face stands in.
QFont SystemFont(int pixelHeight, bool bold);

// The report font: "Courier New" bold. The report's columns line up only in
// a fixed-pitch face, so any other fixed-pitch face stands in where it is
// missing (fontconfig maps the name to Liberation Mono on Debian).
QFont ReportFont(int pixelHeight);

// A single-line edit that selects its whole text when it gets the focus by
// keyboard or by the program, so that typing replaces the text; a mouse
// click places the cursor as usual.
class AutoSelectEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit AutoSelectEdit(QWidget* parent = nullptr);

  // Limits what the operator can type; the program may still set a longer
  // text (an opening hour of 100 shows as "100", not cut to "10").
  void SetTypingLimit(int characters);

  QColor BackgroundColour() const;
  void SetBackgroundColour(const QColor& colour);

 protected:
  void focusInEvent(QFocusEvent* event) override;
};

// Two stacked arrows. Holding an arrow repeats its click, first after 400 ms,
// then every 100 ms, as the operator expects from a spin button. Neither
// arrow takes the keyboard focus.
class SpinButton : public QWidget {
  Q_OBJECT

 public:
  explicit SpinButton(QWidget* parent = nullptr);

  QToolButton* UpArrow() const { return up_; }
  QToolButton* DownArrow() const { return down_; }

 signals:
  void UpClick();
  void DownClick();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* up_;
  QToolButton* down_;
};

// The iButton picture beside the registration number: a white letter i on a
// blue disc, with transparent corners, `size` pixels square.
QPixmap DrawIButtonLogo(int size);

}  // namespace vintok::app
