#pragma once

#include <QFont>
#include <QSize>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPrinter;

namespace vintok::app {

// Where the printed report goes, in device units of the printable area.
inline constexpr int kFrameInset = 5;   // the frame runs this far in from every edge
inline constexpr int kTextOffset = 15;  // first line's left and top edge

// First line of each page. A page takes the lines from kTextOffset down to
// kTextOffset above the page's bottom edge (the same margin as at the top),
// and at least one line, so every line is printed; an empty report is one
// page with the frame only.
std::vector<int> ReportPageStarts(int lineCount, int lineHeight, int pageHeight);

// Draws the report on `painter`, whose device's printable area is `page`:
// each page gets a one-unit black frame kFrameInset in from the edges and its
// lines one under the other from (kTextOffset, kTextOffset), without a
// background; empty lines keep their place. `newPage` is called between pages.
void DrawReport(QPainter& painter, QSize page, const QStringList& lines, const QFont& font,
                const std::function<void()>& newPage);

// Prints the report on a printer or into a PDF writer. Throws
// std::runtime_error when the device refuses to start a job.
void PrintReport(QPagedPaintDevice& device, const QStringList& lines, const QFont& font);

// The report font for a printer: the same family and weight at the point size
// that the screen font has on a screen of `screenDpi` pixels per inch.
QFont PrintFont(const QFont& screenFont, int screenDpi);

// The system's default printer with its current settings; nullptr when there
// is none.
std::unique_ptr<QPrinter> OpenDefaultPrinter();

}  // namespace vintok::app
