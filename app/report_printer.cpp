#include "app/report_printer.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <stdexcept>

namespace vintok::app {

std::vector<int> ReportPageStarts(int lineCount, int lineHeight, int pageHeight) {
  const int usable = pageHeight - 2 * kTextOffset;
  const int perPage = lineHeight > 0 ? std::max(1, usable / lineHeight) : std::max(1, lineCount);
  std::vector<int> starts{0};
  for (int first = perPage; first < lineCount; first += perPage) starts.push_back(first);
  return starts;
}

namespace {

void DrawFrame(QPainter& painter, QSize page) {
  // Four one-unit strips rather than drawRect: the strips land on exactly the
  // units named, whatever the pen's rounding rules on the device.
  const int left = kFrameInset;
  const int top = kFrameInset;
  const int right = page.width() - kFrameInset;  // exclusive
  const int bottom = page.height() - kFrameInset;
  if (right <= left || bottom <= top) return;
  const QBrush black(Qt::black);
  painter.fillRect(left, top, right - left, 1, black);
  painter.fillRect(left, bottom - 1, right - left, 1, black);
  painter.fillRect(left, top, 1, bottom - top, black);
  painter.fillRect(right - 1, top, 1, bottom - top, black);
}

}  // namespace

void DrawReport(QPainter& painter, QSize page, const QStringList& lines, const QFont& font,
                const std::function<void()>& newPage) {
  painter.setFont(font);
  painter.setBackgroundMode(Qt::TransparentMode);
  painter.setPen(Qt::black);
  const QFontMetrics metrics(font, painter.device());
  const int height = metrics.height();
  const std::vector<int> starts = ReportPageStarts(int(lines.size()), height, page.height());
  for (size_t p = 0; p < starts.size(); ++p) {
    if (p > 0) newPage();
    const int first = starts[p];
    const int end = p + 1 < starts.size() ? starts[p + 1] : int(lines.size());
    for (int i = first; i < end; ++i) {
      if (lines[i].isEmpty()) continue;
      const int top = kTextOffset + (i - first) * height;
      painter.drawText(QPoint(kTextOffset, top + metrics.ascent()), lines[i]);
    }
    DrawFrame(painter, page);
  }
}

void PrintReport(QPagedPaintDevice& device, const QStringList& lines, const QFont& font) {
  QPainter painter;
  if (!painter.begin(&device))
    throw std::runtime_error("The printer could not start the print job");
  DrawReport(painter, QSize(device.width(), device.height()), lines, font,
             [&device] { device.newPage(); });
  painter.end();
}

QFont PrintFont(const QFont& screenFont, int screenDpi) {
  QFont font = screenFont;
  if (screenFont.pixelSize() > 0 && screenDpi > 0) {
    font.setPointSizeF(screenFont.pixelSize() * 72.0 / screenDpi);
  }
  return font;
}

std::unique_ptr<QPrinter> OpenDefaultPrinter() {
  const QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) return nullptr;
  return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

}  // namespace vintok::app
