#include "app/controls.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QValidator>

namespace vintok::app {

QFont SystemFont(int pixelHeight, bool bold) {
  QFont font(QStringLiteral("System"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelHeight);
  font.setBold(bold);
  return font;
}

QFont ReportFont(int pixelHeight) {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(pixelHeight);
  font.setBold(true);
  return font;
}

namespace {

// Refuses typed input that would make the text longer than the limit; unlike
// QLineEdit::setMaxLength it leaves texts set by the program alone.
class TypingLimit : public QValidator {
 public:
  TypingLimit(int characters, QObject* parent) : QValidator(parent), characters_(characters) {}

  State validate(QString& input, int&) const override {
    return input.size() > characters_ ? Invalid : Acceptable;
  }

 private:
  int characters_;
};

}  // namespace

AutoSelectEdit::AutoSelectEdit(QWidget* parent) : QLineEdit(parent) {}

void AutoSelectEdit::SetTypingLimit(int characters) {
  setValidator(new TypingLimit(characters, this));
}

QColor AutoSelectEdit::BackgroundColour() const { return palette().color(QPalette::Base); }

void AutoSelectEdit::SetBackgroundColour(const QColor& colour) {
  QPalette colours = palette();
  colours.setColor(QPalette::Base, colour);
  setPalette(colours);
}

void AutoSelectEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  // A mouse click places the cursor; coming back to the window or closing a
  // popup menu keeps the selection the operator had.
  switch (event->reason()) {
    case Qt::MouseFocusReason:
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
      break;
    default:
      selectAll();
      break;
  }
}

SpinButton::SpinButton(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  setFocusPolicy(Qt::NoFocus);
  const struct {
    QToolButton* arrow;
    Qt::ArrowType type;
    const char* name;
  } arrows[] = {{up_, Qt::UpArrow, "SpinButton1Up"}, {down_, Qt::DownArrow, "SpinButton1Down"}};
  for (const auto& [arrow, type, name] : arrows) {
    arrow->setObjectName(QString::fromLatin1(name));
    arrow->setArrowType(type);
    arrow->setIconSize(QSize(9, 6));
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setAutoRepeat(true);
    arrow->setAutoRepeatDelay(400);
    arrow->setAutoRepeatInterval(100);
  }
  connect(up_, &QToolButton::clicked, this, &SpinButton::UpClick);
  connect(down_, &QToolButton::clicked, this, &SpinButton::DownClick);
}

void SpinButton::resizeEvent(QResizeEvent*) {
  const int upper = height() / 2;
  up_->setGeometry(0, 0, width(), upper);
  down_->setGeometry(0, upper, width(), height() - upper);
}

QPixmap DrawIButtonLogo(int size) {
  QPixmap picture(size, size);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x00, 0x33, 0xCC));
  painter.drawEllipse(QRectF(0.5, 0.5, s - 1.0, s - 1.0));
  painter.setBrush(Qt::white);
  // The dot and the stem of the letter i.
  painter.drawEllipse(QRectF(s * 0.42, s * 0.16, s * 0.16, s * 0.16));
  QPainterPath stem;
  stem.addRoundedRect(QRectF(s * 0.43, s * 0.38, s * 0.14, s * 0.44), s * 0.03, s * 0.03);
  painter.drawPath(stem);
  return picture;
}

}  // namespace vintok::app
