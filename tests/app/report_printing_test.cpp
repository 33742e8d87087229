#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <vector>

#include "app/report_printer.h"
#include "test_support.h"

using vintok::Edition;
using vintok::test::ErrorBoxes;
using vintok::test::Harness;
namespace app = vintok::app;

namespace {

QStringList WorkedExampleLines() {
  QFile file(QStringLiteral(VINTOK_TEST_DATA_DIR "/report_worked_example.txt"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
  lines.removeLast();  // after the last line break
  return lines;
}

// The report font as the printer gets it, on a 96 dpi image: 13 pixels.
QFont PrinterFont() { return app::PrintFont(app::ReportFont(13), 96); }

bool IsInk(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }

// Bounding box of the ink inside the frame (the frame itself left out).
QRect InkInside(const QImage& image, int top, int bottom) {
  QRect box;
  for (int y = std::max(top, 7); y < std::min(bottom, image.height() - 7); ++y) {
    for (int x = 7; x < image.width() - 7; ++x) {
      if (IsInk(image, x, y)) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

QImage BlankPage(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

// Draws the report and keeps a picture of every page.
std::vector<QImage> DrawPages(const QStringList& lines, QSize size) {
  std::vector<QImage> pages;
  QImage image = BlankPage(size);
  QPainter painter(&image);
  app::DrawReport(painter, size, lines, PrinterFont(), [&] {
    pages.push_back(image.copy());
    painter.fillRect(image.rect(), Qt::white);
  });
  painter.end();
  pages.push_back(image);
  return pages;
}

// Checks the one-unit frame 5 units in from the edges, alone on its lines.
void VerifyFrame(const QImage& page) {
  const int right = page.width() - 6;
  const int bottom = page.height() - 6;
  for (int x = 5; x <= right; ++x) {
    QVERIFY2(IsInk(page, x, 5) && IsInk(page, x, bottom), qPrintable(QString::number(x)));
    QVERIFY(!IsInk(page, x, 4) && !IsInk(page, x, bottom + 1));
    if (x > 5 && x < right) QVERIFY(!IsInk(page, x, 6) && !IsInk(page, x, bottom - 1));
  }
  for (int y = 5; y <= bottom; ++y) {
    QVERIFY2(IsInk(page, 5, y) && IsInk(page, right, y), qPrintable(QString::number(y)));
    QVERIFY(!IsInk(page, 4, y) && !IsInk(page, right + 1, y));
  }
  QVERIFY(!IsInk(page, 6, 6));
}

// Checks that line i of `lines` stands in the band from 15 + i * h.
void VerifyLines(const QImage& page, const QStringList& lines) {
  const QFontMetrics metrics(PrinterFont(), &page);
  const int h = metrics.height();
  QCOMPARE(h, QFontMetrics(PrinterFont()).height());
  for (int i = 0; i < lines.size(); ++i) {
    const QRect ink = InkInside(page, 15 + i * h, 15 + (i + 1) * h);
    if (lines[i].trimmed().isEmpty()) {
      QVERIFY2(ink.isNull(), qPrintable(QString::number(i)));
      continue;
    }
    QVERIFY2(!ink.isNull(), qPrintable(lines[i]));
    QVERIFY2(ink.left() >= 15 && ink.left() <= 17, qPrintable(QString::number(ink.left())));
    const int width = metrics.horizontalAdvance(lines[i].trimmed());
    QVERIFY2(qAbs(ink.width() - width) <= 4, qPrintable(lines[i]));
  }
  // Nothing below the last line.
  QVERIFY(InkInside(page, 15 + int(lines.size()) * h, page.height()).isNull());
  QVERIFY(InkInside(page, 0, 15).isNull());
}

int PdfPageCount(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  const QByteArray pdf = file.readAll();
  const auto match = QRegularExpression(QStringLiteral("/Type /Pages[^>]*/Count (\\d+)"))
                         .match(QString::fromLatin1(pdf));
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

}  // namespace

class ReportPrintingTest : public QObject {
  Q_OBJECT

 private slots:
  void workedExampleLinesStandOneUnderTheOther() {
    const QStringList lines = WorkedExampleLines();
    QCOMPARE(lines.size(), 11);
    QCOMPARE(lines.last(), QStringLiteral("KESTRIX timing system"));
    const std::vector<QImage> pages = DrawPages(lines, QSize(600, 800));
    QCOMPARE(pages.size(), size_t(1));
    VerifyFrame(pages[0]);
    VerifyLines(pages[0], lines);
  }

  void emptyReportPrintsTheFrameOnly() {
    const std::vector<QImage> pages = DrawPages({}, QSize(300, 200));
    QCOMPARE(pages.size(), size_t(1));
    VerifyFrame(pages[0]);
    QVERIFY(InkInside(pages[0], 0, 200).isNull());
  }

  void longReportContinuesOnTheNextPages() {
    // Lines of different lengths, so each can be told from its neighbours.
    QStringList lines;
    for (int i = 0; i < 60; ++i) lines << QString(i % 17 + 1, u'X');
    const QSize size(400, 300);
    const int h = QFontMetrics(PrinterFont()).height();
    const int perPage = (300 - 30) / h;
    const std::vector<QImage> pages = DrawPages(lines, size);
    QCOMPARE(int(pages.size()), (60 + perPage - 1) / perPage);
    for (size_t p = 0; p < pages.size(); ++p) {
      VerifyFrame(pages[p]);
      VerifyLines(pages[p], lines.mid(int(p) * perPage, perPage));
      // The text keeps the same margin from the bottom as from the top.
      QVERIFY(InkInside(pages[p], 300 - 15, 300).isNull());
    }
  }

  void pageStarts_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("lineHeight");
    QTest::addColumn<int>("pageHeight");
    QTest::addColumn<std::vector<int>>("starts");
    QTest::newRow("empty") << 0 << 13 << 1000 << std::vector<int>{0};
    QTest::newRow("fits") << 11 << 13 << 1000 << std::vector<int>{0};
    QTest::newRow("exactly one page") << 20 << 10 << 230 << std::vector<int>{0};
    QTest::newRow("one more") << 21 << 10 << 230 << std::vector<int>{0, 20};
    QTest::newRow("five pages") << 100 << 10 << 230 << std::vector<int>{0, 20, 40, 60, 80};
    QTest::newRow("tiny page") << 3 << 50 << 40 << std::vector<int>{0, 1, 2};
  }

  void pageStarts() {
    QFETCH(int, lines);
    QFETCH(int, lineHeight);
    QFETCH(int, pageHeight);
    QFETCH(std::vector<int>, starts);
    QCOMPARE(app::ReportPageStarts(lines, lineHeight, pageHeight), starts);
  }

  void printFontKeepsTheScreenPointSize() {
    const QFont font = app::PrintFont(app::ReportFont(13), 96);
    QCOMPARE(font.pointSizeF(), 9.75);
    QVERIFY(font.bold());
    QCOMPARE(font.family(), app::ReportFont(13).family());
  }

  void pdfGetsEveryPage() {
    QTemporaryDir dir;
    const QString shortReport = dir.filePath(QStringLiteral("short.pdf"));
    {
      QPdfWriter writer(shortReport);
      app::PrintReport(writer, WorkedExampleLines(), PrinterFont());
    }
    QCOMPARE(PdfPageCount(shortReport), 1);

    QStringList lines;
    for (int i = 0; i < 200; ++i) lines << QStringLiteral("line %1").arg(i);
    const QString longReport = dir.filePath(QStringLiteral("long.pdf"));
    QPdfWriter writer(longReport);
    writer.setResolution(300);
    const int h = QFontMetrics(PrinterFont(), &writer).height();
    const int perPage = (writer.height() - 30) / h;
    app::PrintReport(writer, lines, PrinterFont());
    QVERIFY(perPage < 200);
    QCOMPARE(PdfPageCount(longReport), (200 + perPage - 1) / perPage);
  }

  void printButtonPrintsTheReportArea() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("print.pdf"));
    ErrorBoxes boxes;
    Harness h;
    h.printer = [&] {
      auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(path);
      return printer;
    };
    QVERIFY(h.Show());
    // Before any read: the banner.
    QTest::mouseClick(h.Find("Button2"), Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(PdfPageCount(path), 1);
  }

  void noDefaultPrinterShowsTheErrorAndGoesOn() {
    ErrorBoxes boxes;
    Harness h;
    QVERIFY(h.Show());
    h.window->SetReportText(QStringLiteral("kept"));
    QTest::mouseClick(h.Find("Button2"), Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList({"There is no default printer currently selected."}));
    QCOMPARE(boxes.titles, QStringList({app::ProgramTitle()}));
    QCOMPARE(h.window->ReportLines(), QStringList({"kept"}));
    // The window still answers.
    QTest::keyClicks(h.Edit("StartNum"), "3");
    QCOMPARE(h.Edit("fobNum")->text(), QStringLiteral("3"));
  }
};

VINTOK_APP_TEST_MAIN(ReportPrintingTest)
#include "report_printing_test.moc"
