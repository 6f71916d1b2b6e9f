// The display paint box on its own, offscreen: whatever font it is given is
// spaced out to whole cells and measured when it arrives, every byte takes
// exactly one cell, and a new palette reaches the colours it draws with.

#include "gui/mainwindow/DisplayPaintBox.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <cmath>

#include "core/config/ColourTable.h"
#include "core/session/MonitorSession.h"
#include "support/TestRecords.h"

using namespace tapwise;

namespace {

// A paint box over a session's drain, in a host that owns its scroll area.
struct BoxOnHost {
  MonitorSession session;
  QWidget host;
  DisplayPaintBox* box;

  BoxOnHost() : box(new DisplayPaintBox(session.Drain(), &host)) { box->ApplyDisplayFont("FixedSys", 9); }

  void AddHex(std::string_view bytes) {
    HandTo(session.Drain(), *MakeRecord(1, bytes));
    box->LinesChanged();
  }
  void AddAscii(std::string_view bytes) {
    session.Drain().SetHexDisplay(false);
    HandTo(session.Drain(), *MakeRecord(1, bytes));
    box->LinesChanged();
  }
  QImage Picture() const { return box->grab().toImage(); }
};

}  // namespace

class DisplayPaintBoxTest : public QObject {
  Q_OBJECT
 private slots:
  void FontsAreSpacedToWholeCells_data();
  void FontsAreSpacedToWholeCells();
  void EveryByteTakesOneCell();
  void NewPaletteReachesTheColours();
};

void DisplayPaintBoxTest::FontsAreSpacedToWholeCells_data() {
  QTest::addColumn<QString>("family");
  QTest::addColumn<int>("pointSize");
  QTest::addColumn<bool>("straight");  // setFont on the widget, not ApplyDisplayFont
  QTest::newRow("FixedSys (not installed) 9") << "FixedSys" << 9 << false;
  QTest::newRow("Liberation Mono 10") << "Liberation Mono" << 10 << false;
  QTest::newRow("DejaVu Sans Mono 11") << "DejaVu Sans Mono" << 11 << false;
  QTest::newRow("Liberation Mono 13 set on the widget") << "Liberation Mono" << 13 << true;
  QTest::newRow("DejaVu Sans Mono 15 set on the widget") << "DejaVu Sans Mono" << 15 << true;
}

void DisplayPaintBoxTest::FontsAreSpacedToWholeCells() {
  QFETCH(QString, family);
  QFETCH(int, pointSize);
  QFETCH(bool, straight);
  BoxOnHost display;
  display.AddHex(CountingBytes(40));  // three lines
  if (straight) {
    display.box->setFont(QFont(family, pointSize));
  } else {
    display.box->ApplyDisplayFont(family, pointSize);
  }
  DisplayPaintBox& box = *display.box;
  const int cell = box.CharWidth();
  // The cell is the font's own advance rounded up to a whole pixel, and
  // with the spacing a line of 80 characters is exactly 80 cells.
  QFont plain = box.font();
  plain.setLetterSpacing(QFont::AbsoluteSpacing, 0);
  const qreal advance = QFontMetricsF(plain).horizontalAdvance('W');
  QVERIFY2(advance <= cell && advance > cell - 1, qPrintable(QString::number(advance)));
  QVERIFY(std::abs(QFontMetricsF(box.font()).horizontalAdvance(QString(80, 'W')) - 80 * cell) < 0.01);
  QCOMPARE(box.LineHeight(), QFontMetrics(box.font()).height() + 2);
  QCOMPARE(box.Geometry().Ascent(), QFontMetrics(box.font()).ascent());
  QCOMPARE(box.width(), 80 * cell);
  QCOMPARE(box.height(), 3 * box.LineHeight());
  QCOMPARE(box.ScrollBox()->verticalScrollBar()->singleStep(), box.LineHeight());
  QCOMPARE(box.ScrollBox()->horizontalScrollBar()->singleStep(), cell);
}

// "X", the byte, "X" on a line of its own for every byte that can be shown:
// the second X lands exactly two cells on, where it looks like the first.
// A byte drawn narrower or wider than a cell (the soft hyphen is drawn as
// nothing at all by default) would move it.
void DisplayPaintBoxTest::EveryByteTakesOneCell() {
  BoxOnHost display;
  std::string text;
  for (int byte = 32; byte < 256; ++byte) text += {'X', static_cast<char>(byte), 'X', '\r'};
  display.AddAscii(text);
  const QImage image = display.Picture();
  const DisplayGeometry& cells = display.box->Geometry();
  // These lines, written without the drain's counter, all carry packet 0,
  // which is the selection at start: the frame's left edge and its dotted
  // top are left out of the comparison.
  const int cell = cells.CharWidth();
  for (int byte = 32; byte < 256; ++byte) {
    const int y = cells.RowTop(byte - 32) + 1;
    const QImage first = image.copy(1, y, cell - 1, cells.TextHeight() - 1);
    const QImage second = image.copy(2 * cell + 1, y, cell - 1, cells.TextHeight() - 1);
    QVERIFY2(first == second, qPrintable(QString("byte %1").arg(byte)));
  }
}

void DisplayPaintBoxTest::NewPaletteReachesTheColours() {
  const QPalette original = QApplication::palette();
  BoxOnHost display;
  ColourTable colours;
  colours[1] = ColourTable::SystemColour(ColourTable::SystemWindowText);
  display.box->SetColours(colours);
  display.AddHex("A");  // one received line in hex
  const QColor text(200, 100, 50), window(10, 20, 30), button(60, 120, 180);
  QPalette changed = original;
  changed.setColor(QPalette::Text, text);
  changed.setColor(QPalette::Base, window);
  changed.setColor(QPalette::Button, button);
  // Qt hands a new application palette on to the widgets from the event loop.
  QApplication::setPalette(changed);
  QTRY_COMPARE(display.box->PortColour(1), text);
  const QImage image = display.Picture();
  const DisplayGeometry& cells = display.box->Geometry();
  const int middle = cells.LineHeight() / 2;
  // A received line lies on the window colour; the separators are drawn in
  // the scroll-bar shade of the button face.
  QCOMPARE(image.pixelColor(cells.ColumnMiddle(30), middle), window);
  QCOMPARE(image.pixelColor(cells.ColumnMiddle(12), middle), button.darker(120));

  QApplication::setPalette(original);
  QTRY_COMPARE(display.box->PortColour(1), original.color(QPalette::Text));
}

QTEST_MAIN(DisplayPaintBoxTest)
#include "DisplayPaintBoxTest.moc"
