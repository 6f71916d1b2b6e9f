// The display's geometry without a widget: which rows a band of pixel rows
// meets (the rows a paint draws), which row a y falls in (the row a click
// selects), and the size of the paint box for a line count.

#include "gui/mainwindow/DisplayGeometry.h"

#include <QtTest>

#include <limits>

using namespace tapwise;

namespace {
constexpr int IntMax = std::numeric_limits<int>::max();
}

class DisplayGeometryTest : public QObject {
  Q_OBJECT
 private slots:
  void RowsInBand_data();
  void RowsInBand();
  void RowAt_data();
  void RowAt();
  void BoxSize_data();
  void BoxSize();
};

void DisplayGeometryTest::RowsInBand_data() {
  QTest::addColumn<int>("textHeight");  // the line height is two more
  QTest::addColumn<int>("top");
  QTest::addColumn<int>("bottom");
  QTest::addColumn<int>("lineCount");
  QTest::addColumn<int>("first");
  QTest::addColumn<int>("end");
  QTest::newRow("y 0 only") << 14 << 0 << 0 << 10 << 0 << 1;
  QTest::newRow("first row whole") << 14 << 0 << 15 << 10 << 0 << 1;
  QTest::newRow("band ends on the last pixel of a row") << 14 << 0 << 31 << 10 << 0 << 2;
  QTest::newRow("band ends on the first pixel of a row") << 14 << 0 << 32 << 10 << 0 << 3;
  QTest::newRow("band starts on the last pixel of a row") << 14 << 15 << 16 << 10 << 0 << 2;
  QTest::newRow("band starts on a row boundary") << 14 << 16 << 47 << 10 << 1 << 3;
  QTest::newRow("inside one row") << 14 << 20 << 25 << 10 << 1 << 2;
  QTest::newRow("reaches past the last line") << 14 << 150 << 300 << 10 << 9 << 10;
  QTest::newRow("wholly past the last line") << 14 << 160 << 300 << 10 << 10 << 10;
  QTest::newRow("empty display") << 14 << 0 << 500 << 0 << 0 << 0;
  QTest::newRow("bottom above top") << 14 << 50 << 40 << 10 << 0 << 0;
  QTest::newRow("wholly above the box") << 14 << -40 << -1 << 10 << 0 << 0;
  QTest::newRow("from above into row 0") << 14 << -40 << 0 << 10 << 0 << 1;
  QTest::newRow("odd line height, last pixel") << 17 << 0 << 37 << 5 << 0 << 2;
  QTest::newRow("odd line height, next row") << 17 << 0 << 38 << 5 << 0 << 3;
  QTest::newRow("last line of a full ring") << 14 << 999 * 16 << 999 * 16 + 100 << 1000 << 999 << 1000;
  QTest::newRow("whole full ring") << 14 << 0 << 1000 * 16 - 1 << 1000 << 0 << 1000;
  QTest::newRow("y near the int limit") << 14 << IntMax - 100 << IntMax << IntMax << 134217721 << 134217728;
  QTest::newRow("height below 1 counts as 1") << -5 << 0 << 5 << 10 << 0 << 2;
}

void DisplayGeometryTest::RowsInBand() {
  QFETCH(int, textHeight);
  QFETCH(int, top);
  QFETCH(int, bottom);
  QFETCH(int, lineCount);
  QFETCH(int, first);
  QFETCH(int, end);
  const auto rows = DisplayGeometry(8, textHeight, 11).RowsInBand(top, bottom, lineCount);
  QCOMPARE(rows.first, first);
  QCOMPARE(rows.second, end);
}

void DisplayGeometryTest::RowAt_data() {
  QTest::addColumn<int>("y");
  QTest::addColumn<int>("row");
  QTest::addColumn<int>("rowTop");
  // Line height 16.
  QTest::newRow("0") << 0 << 0 << 0;
  QTest::newRow("last pixel of row 0") << 15 << 0 << 0;
  QTest::newRow("boundary to row 1") << 16 << 1 << 16;
  QTest::newRow("last pixel of row 1") << 31 << 1 << 16;
  QTest::newRow("last pixel of a full ring") << 15999 << 999 << 15984;
  QTest::newRow("past the last line of a full ring") << 16000 << 1000 << 16000;
  QTest::newRow("just above the box") << -1 << -1 << -16;
  QTest::newRow("a row above the box") << -16 << -1 << -16;
  QTest::newRow("more than a row above") << -17 << -2 << -32;
  QTest::newRow("int limit") << IntMax << 134217727 << 2147483632;
}

void DisplayGeometryTest::RowAt() {
  QFETCH(int, y);
  QFETCH(int, row);
  QFETCH(int, rowTop);
  const DisplayGeometry geometry(8, 14, 11);
  QCOMPARE(geometry.RowAt(y), row);
  QCOMPARE(geometry.RowTop(row), rowTop);
}

void DisplayGeometryTest::BoxSize_data() {
  QTest::addColumn<int>("charWidth");
  QTest::addColumn<int>("textHeight");
  QTest::addColumn<int>("lineCount");
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  QTest::addColumn<int>("hexSeparator");   // through column 12
  QTest::addColumn<int>("textSeparator");  // through column 63
  QTest::newRow("empty display") << 8 << 14 << 0 << 640 << 0 << 100 << 508;
  QTest::newRow("one line") << 8 << 14 << 1 << 640 << 16 << 100 << 508;
  QTest::newRow("full ring") << 8 << 14 << 1000 << 640 << 16000 << 100 << 508;
  QTest::newRow("odd cells") << 11 << 17 << 1000 << 880 << 19000 << 137 << 698;
  QTest::newRow("count below 0") << 8 << 14 << -5 << 640 << 0 << 100 << 508;
  QTest::newRow("held at the int limit") << 8 << 14 << IntMax << 640 << IntMax << 100 << 508;
  QTest::newRow("sizes below 1 count as 1") << 0 << 0 << 10 << 80 << 30 << 12 << 63;
}

void DisplayGeometryTest::BoxSize() {
  QFETCH(int, charWidth);
  QFETCH(int, textHeight);
  QFETCH(int, lineCount);
  QFETCH(int, width);
  QFETCH(int, height);
  QFETCH(int, hexSeparator);
  QFETCH(int, textSeparator);
  const DisplayGeometry geometry(charWidth, textHeight, 11);
  QCOMPARE(geometry.BoxWidth(), width);
  QCOMPARE(geometry.BoxHeight(lineCount), height);
  QCOMPARE(geometry.ColumnMiddle(12), hexSeparator);
  QCOMPARE(geometry.ColumnMiddle(63), textSeparator);
}

QTEST_APPLESS_MAIN(DisplayGeometryTest)
#include "DisplayGeometryTest.moc"
