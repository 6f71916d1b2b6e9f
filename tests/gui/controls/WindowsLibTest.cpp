#include "gui/controls/WindowsLib.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTest>

#include "gui/controls/AnsiText.h"

using namespace tapwise;

class WindowsLibTest : public QObject {
  Q_OBJECT
 private:
  // Rows of the image that hold any pixel other than the background.
  static QList<int> InkedRows(const QImage& image, QRgb background) {
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) != background) {
          rows.append(y);
          break;
        }
      }
    }
    return rows;
  }

 private slots:
  void GradientBandsCoverRowsTopToBottomExclusive() {
    const QColor face(240, 240, 240);
    const QColor bar(200, 200, 200);
    const auto bands = GradientBands(10, 41, face, bar);
    QVERIFY(!bands.empty());
    QCOMPARE(bands.front().FirstRow, 10);
    QCOMPARE(bands.back().EndRow, 41);
    for (size_t i = 1; i < bands.size(); ++i) {
      QCOMPARE(bands[i].FirstRow, bands[i - 1].EndRow);
      QVERIFY(bands[i].Colour != bands[i - 1].Colour);
    }
    // Each band carries the colour of the row that ends it: the last one is
    // the bottom row's colour, which for a falling channel stops one short of
    // the end colour (the half step is added before truncating toward zero).
    QCOMPARE(bands.back().Colour, QColor(201, 201, 201));
    QCOMPARE(GradientBands(0, 31, bar, face).back().Colour, face);
  }

  void GradientBandsDegenerateRectangles() {
    QVERIFY(GradientBands(5, 5, Qt::red, Qt::blue).empty());
    QVERIFY(GradientBands(5, 4, Qt::red, Qt::blue).empty());
    const auto one = GradientBands(0, 31, QColor(1, 2, 3), QColor(1, 2, 3));
    QCOMPARE(one.size(), size_t{1});
    QCOMPARE(one[0].FirstRow, 0);
    QCOMPARE(one[0].EndRow, 31);
    QCOMPARE(one[0].Colour, QColor(1, 2, 3));
  }

  void GradientBandsStepDownwardsWithRounding() {
    // 0 → 255 over n = 255 rows: every row is its own band, colour k + 1 ...
    const auto bands = GradientBands(0, 255, QColor(0, 0, 0), QColor(255, 0, 0));
    QCOMPARE(bands.size(), size_t{255});
    QCOMPARE(bands[0].Colour.red(), 1);
    // ... and falling colours round the same way.
    const auto down = GradientBands(0, 2, QColor(10, 0, 0), QColor(0, 0, 0));
    QCOMPARE(down.size(), size_t{2});
    QCOMPARE(down[0].Colour.red(), 6);
    QCOMPARE(down[1].Colour.red(), 1);
  }

  void GradientFillPaintsExactlyTheRowsAboveBottom() {
    QImage image(20, 50, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter canvas(&image);
      GradientFill(canvas, 2, 10, 12, 41, QColor(240, 240, 240), QColor(200, 200, 200));
    }
    const QList<int> rows = InkedRows(image, qRgb(255, 255, 255));
    QCOMPARE(rows.size(), 31);
    QCOMPARE(rows.front(), 10);
    QCOMPARE(rows.back(), 40);
    QCOMPARE(image.pixel(1, 20), qRgb(255, 255, 255));
    QVERIFY(image.pixel(2, 20) != qRgb(255, 255, 255));
    QCOMPARE(image.pixel(12, 20), qRgb(255, 255, 255));
  }

  void PlaceAtMouseKeepsTheWindowOnTheDesktop() {
    const struct {
      QPoint mouse;
      QSize window;
      QPoint expected;
    } cases[] = {
        {{100, 100}, {200, 150}, {100, 100}},  // fits where the pointer is
        {{1820, 100}, {200, 150}, {1720, 100}},  // 100 from the right edge: ends flush
        {{1720, 100}, {200, 150}, {1720, 100}},  // exactly flush already moves to itself
        {{100, 1000}, {200, 150}, {100, 898}},  // would reach the bottom band
        {{1900, 1070}, {200, 150}, {1720, 898}},  // the corner: both
    };
    for (const auto& c : cases) {
      QCOMPARE(PlaceAtMousePosition(c.mouse, c.window, 1920, 1080), c.expected);
    }
  }

  void PlaceAtMouseMovesARealWindow() {
    QWidget window;
    window.resize(120, 80);
    QCursor::setPos(10, 10);
    PlaceAtMouse(window);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(window.x() + 120 <= screen.width());
    QVERIFY(window.y() + 80 <= screen.height() - 32);
  }

  void DrawTextLinesCutsAtBars() {
    QImage image(200, 120, QImage::Format_RGB32);
    image.fill(Qt::white);
    int lineHeight = 0;
    {
      QPainter canvas(&image);
      QFont font("DejaVu Sans");
      font.setPixelSize(12);
      canvas.setFont(font);
      canvas.setPen(Qt::black);
      lineHeight = QFontMetrics(font).height();
      DrawTextLines(canvas, 4, 190, "Ag|Ag|Ag", 0, 2);
    }
    // Three blocks of ink, each one line height below the last.
    const QList<int> rows = InkedRows(image, qRgb(255, 255, 255));
    QVERIFY(!rows.isEmpty());
    int blocks = 1;
    for (int i = 1; i < rows.size(); ++i) {
      if (rows[i] != rows[i - 1] + 1) ++blocks;
    }
    QCOMPARE(blocks, 3);
    QVERIFY(rows.back() < 2 + 3 * lineHeight);
    QVERIFY(rows.back() >= 2 + 2 * lineHeight);
  }

  void DrawStyledTextClipsAndRestoresTheStyle() {
    QImage image(200, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter canvas(&image);
    canvas.setFont(QFont("DejaVu Sans", 10));
    canvas.setPen(Qt::black);
    DrawStyledText(canvas, 0, 10, "WWWWWWWW", fsBold | fsUnderline, 0);
    QVERIFY(!canvas.font().bold());
    QVERIFY(!canvas.font().underline());
    canvas.end();
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 10; x < image.width(); ++x) QCOMPARE(image.pixel(x, y), qRgb(255, 255, 255));
    }
  }

  void LineToLeavesOutTheEndPoint() {
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter canvas(&image);
      canvas.setPen(Qt::black);
      LineToExclusive(canvas, {1, 1}, {5, 1});
      LineToExclusive(canvas, {8, 8}, {8, 4});
    }
    QCOMPARE(image.pixel(1, 1), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(4, 1), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(5, 1), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(8, 5), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(8, 4), qRgb(255, 255, 255));
  }

  void AnsiTextRoundTripsEveryByte() {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const QString text = AnsiToQString(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0xB7), QChar(0x00B7));
    QCOMPARE(QStringToAnsi(text), all);
    QCOMPARE(QStringToAnsi(QString::fromUtf8("a\u4E2Db")), std::string("a?b"));
  }

  void VersionHasFourNumbers() {
    const QString version = QString::fromStdString(FileVersionString());
    QVERIFY2(QRegularExpression("^\\d+\\.\\d+\\.\\d+\\.\\d+$").match(version).hasMatch(),
             qPrintable(version));
  }

  void OpenDocumentRefusesAnEmptyText() {
    QVERIFY(!OpenDocument(nullptr, ""));
  }
};

QTEST_MAIN(WindowsLibTest)
#include "WindowsLibTest.moc"
