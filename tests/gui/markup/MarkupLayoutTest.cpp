// The markup layout checked by numbers with a fixed font: every character is
// Size - 1 pixels wide (one more in bold) and a line is 2 Size - 3 high. At
// the start size 8 that is 7 px per character, a text height of 13, so
// H0 = 14 and a tab stop every 56 px.

#include "gui/markup/MarkupLayout.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include "gui/markup/Markup.h"

using namespace tapwise;

namespace {

constexpr int StartSize = 8;

class FixedMetrics final : public MarkupMetrics {
 public:
  int TextWidth(std::string_view text, const MarkupFont& font) const override {
    return static_cast<int>(text.size()) * (font.Size - 1 + (font.Bold ? 1 : 0));
  }
  int TextHeight(const MarkupFont& font) const override { return 2 * font.Size - 3; }
};

MarkupLayout Layout(std::string_view text, int x = 0, int y = 0, int gap = 0) {
  return LayoutMarkup(FixedMetrics(), StartSize, x, y, text, gap);
}

std::vector<MarkupRun> Runs(const MarkupLayout& layout) {
  std::vector<MarkupRun> runs;
  for (const MarkupItem& item : layout.Items) {
    if (const auto* run = std::get_if<MarkupRun>(&item)) runs.push_back(*run);
  }
  return runs;
}

// "x,y text" per run, joined with "; ": a whole layout in one comparable line.
QString Describe(const MarkupLayout& layout) {
  QStringList parts;
  for (const MarkupRun& run : Runs(layout)) {
    parts << QStringLiteral("%1,%2 %3").arg(run.X).arg(run.Y).arg(QString::fromStdString(run.Text));
  }
  return parts.join(QStringLiteral("; "));
}

int CountColour(const QImage& image, QColor colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) == colour) ++count;
    }
  }
  return count;
}

QFont PixelFont(int pixels) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixels);
  return font;
}

}  // namespace

class MarkupLayoutTest : public QObject {
  Q_OBJECT
 private slots:
  void Positions_data();
  void Positions();
  void StylesToggleAndEndPlain();
  void SizesAreRelativeToTheStartSize();
  void ColoursAndHighlight();
  void DeltaSign();
  void DrawAndMeasureAgree_data();
  void DrawAndMeasureAgree();
  void DrawStartsPlainAndRestoresPenAndSize();
  void DrawPaintsColoursHighlightAndDelta();
};

void MarkupLayoutTest::Positions_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("x");
  QTest::addColumn<int>("y");
  QTest::addColumn<int>("gap");
  QTest::addColumn<QString>("runs");
  QTest::addColumn<int>("right");
  QTest::addColumn<int>("bottom");

  QTest::newRow("empty text: no width, one line")
      << "" << 0 << 10 << 4 << "" << 0 << 10 + 8 + 14;
  QTest::newRow("empty text at the origin") << "" << 0 << 0 << 0 << "" << 0 << 14;
  QTest::newRow("plain text") << "abc" << 0 << 0 << 0 << "0,0 abc" << 21 << 14;
  QTest::newRow("offset and gap") << "ab" << 5 << 6 << 2 << "7,8 ab" << 23 << 24;
  QTest::newRow("two backslashes draw nothing")
      << "a\\\\b" << 0 << 0 << 0 << "0,0 a; 7,0 b" << 14 << 14;
  QTest::newRow("unknown escape vanishes") << "a\\xb" << 0 << 0 << 0 << "0,0 a; 7,0 b" << 14 << 14;
  QTest::newRow("escape past the palette vanishes")
      << "a\\@b" << 0 << 0 << 0 << "0,0 a; 7,0 b" << 14 << 14;
  QTest::newRow("trailing backslash dropped") << "ab\\" << 0 << 0 << 0 << "0,0 ab" << 14 << 14;
  QTest::newRow("lone backslash") << "\\" << 0 << 0 << 3 << "" << 6 << 20;
  QTest::newRow("tab to the first stop") << "ab\\tc" << 0 << 0 << 0 << "0,0 ab; 56,0 c" << 63 << 14;
  QTest::newRow("two tabs, second stop") << "\\t\\tc" << 0 << 0 << 0 << "112,0 c" << 119 << 14;
  QTest::newRow("text wider than the stop is overdrawn")
      << "abcdefghij\\tk" << 0 << 0 << 0 << "0,0 abcdefghij; 56,0 k" << 70 << 14;
  QTest::newRow("stops count from the line start")
      << "a\\tb\\nc\\td" << 0 << 0 << 0 << "0,0 a; 56,0 b; 0,14 c; 56,14 d" << 63 << 28;
  QTest::newRow("stops are offset by x and gap") << "\\ta" << 10 << 0 << 4 << "70,4 a" << 81 << 22;
  QTest::newRow("trailing tab does not widen") << "ab\\t" << 0 << 0 << 0 << "0,0 ab" << 14 << 14;
  QTest::newRow("trailing delta does not widen") << "ab\\d" << 0 << 0 << 0 << "0,0 ab" << 14 << 14;
  QTest::newRow("new line only") << "\\n" << 0 << 0 << 4 << "" << 8 << 4 + 14 + 14 + 4;
  QTest::newRow("double size line is taller")
      << "a\\]b\\[\\nc" << 0 << 0 << 0 << "0,0 a; 7,0 b; 0,29 c" << 22 << 29 + 14;
  QTest::newRow("a size stays in force on the next line")
      << "\\]a\\nb" << 0 << 0 << 0 << "0,0 a; 0,29 b" << 15 << 29 + 29;
  QTest::newRow("two-thirds line is still H0")
      << "\\^a\\nb" << 0 << 0 << 0 << "0,0 a; 0,14 b" << 4 << 28;
  QTest::newRow("size change without text keeps H0")
      << "\\]\\na" << 0 << 0 << 0 << "0,14 a" << 15 << 14 + 29;
  QTest::newRow("size back to start") << "\\]a\\[b" << 0 << 0 << 0 << "0,0 a; 15,0 b" << 22 << 29;
  QTest::newRow("one and a half size") << "\\|a" << 0 << 0 << 0 << "0,0 a" << 11 << 21;
  QTest::newRow("delta moves the pen") << "\\dx" << 0 << 0 << 0 << "11,0 x" << 18 << 14;
}

void MarkupLayoutTest::Positions() {
  QFETCH(QString, text);
  QFETCH(int, x);
  QFETCH(int, y);
  QFETCH(int, gap);
  QFETCH(QString, runs);
  QFETCH(int, right);
  QFETCH(int, bottom);
  const MarkupLayout layout = Layout(text.toStdString(), x, y, gap);
  QCOMPARE(Describe(layout), runs);
  QCOMPARE(layout.Right, right);
  QCOMPARE(layout.Bottom, bottom);
}

void MarkupLayoutTest::StylesToggleAndEndPlain() {
  // A capital B is the same escape; a second one turns bold off again.
  const auto runs = Runs(Layout("\\Bab\\bcd\\Ie\\iF\\ug"));
  QCOMPARE(runs.size(), size_t(5));
  QVERIFY(runs[0].Font.Bold && !runs[0].Font.Italic);
  QCOMPARE(runs[0].Width, 16);
  QVERIFY(!runs[1].Font.Bold);
  QCOMPARE(runs[1].X, 16);
  QVERIFY(runs[2].Font.Italic);
  QVERIFY(!runs[3].Font.Italic);
  QVERIFY(runs[4].Font.Underline);

  const MarkupLayout ended = Layout("\\b\\]x");
  QVERIFY(ended.EndFont.Bold);
  QCOMPARE(ended.EndFont.Size, StartSize);
}

void MarkupLayoutTest::SizesAreRelativeToTheStartSize() {
  const auto runs = Runs(Layout("\\]a\\]b\\^c\\|d\\[e"));
  QCOMPARE(runs.size(), size_t(5));
  // Twice the start, not twice the current size; two thirds rounded down.
  const int sizes[] = {16, 16, 5, 12, 8};
  for (size_t i = 0; i < runs.size(); ++i) QCOMPARE(runs[i].Font.Size, sizes[i]);
  // A tiny start size never makes an undrawable size of 0.
  QCOMPARE(Runs(LayoutMarkup(FixedMetrics(), 1, 0, 0, "\\^a", 0))[0].Font.Size, 1);
}

void MarkupLayoutTest::ColoursAndHighlight() {
  const auto runs = Runs(Layout("\\1a\\0b\\?c\\;d\\he\\hf"));
  QCOMPARE(runs.size(), size_t(6));
  QCOMPARE(runs[0].Colour, 1);
  QCOMPARE(runs[1].Colour, MarkupStartColour);
  QCOMPARE(runs[2].Colour, 15);
  QCOMPARE(runs[3].Colour, 11);
  QVERIFY(!runs[3].Highlight);
  QVERIFY(runs[4].Highlight);
  QCOMPARE(runs[4].Height, 13);  // the text height, not H0
  QCOMPARE(runs[4].Width, 7);
  QVERIFY(!runs[5].Highlight);
}

void MarkupLayoutTest::DeltaSign() {
  // At the start size Hc = H0 = 14: s = 3 * 14 / 8 = 5, base = 4 * 14 / 5 = 11.
  MarkupLayout layout = Layout("\\2\\d");
  QCOMPARE(layout.Items.size(), size_t(1));
  auto triangle = std::get<MarkupTriangle>(layout.Items[0]);
  QCOMPARE(triangle.Left, 0);
  QCOMPARE(triangle.Base, 11);
  QCOMPARE(triangle.Half, 5);
  QCOMPARE(triangle.Colour, 2);
  QCOMPARE(layout.Right, 0);

  // After \] the size height is 29: s = 10, base = pen y + 23.
  layout = Layout("ab\\n\\]\\d", 0, 0, 0);
  triangle = std::get<MarkupTriangle>(layout.Items.back());
  QCOMPARE(triangle.Left, 0);
  QCOMPARE(triangle.Base, 14 + 23);
  QCOMPARE(triangle.Half, 10);
}

void MarkupLayoutTest::DrawAndMeasureAgree_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("pointSized");
  QTest::newRow("message") << "\\b\\1Configuration has changed\\nSave Changes?" << false;
  QTest::newRow("sizes and tabs") << "a\\tb\\n\\]Big\\[x\\^small\\|mid\\d\\h hi \\h" << false;
  QTest::newRow("point size") << "Packet Terminator\\n\\1(RAW files only)\\]x" << true;
  QTest::newRow("empty") << "" << true;
}

void MarkupLayoutTest::DrawAndMeasureAgree() {
  QFETCH(QString, text);
  QFETCH(bool, pointSized);
  QFont font = PixelFont(11);
  if (pointSized) font.setPointSize(9);
  QWidget widget;
  widget.resize(400, 200);
  widget.setFont(font);
  QImage image(400, 200, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter canvas(&image);
  canvas.setFont(font);
  const std::string markup = text.toStdString();
  const MarkupExtent drawn = DrawMarkup(canvas, 3, 5, markup, 4);
  const MarkupExtent measured = MeasureMarkup(widget.font(), 3, 5, markup, 4);
  QCOMPARE(drawn.Right, measured.Right);
  QCOMPARE(drawn.Bottom, measured.Bottom);
}

void MarkupLayoutTest::DrawStartsPlainAndRestoresPenAndSize() {
  QFont bold = PixelFont(12);
  bold.setBold(true);
  bold.setItalic(true);
  const MarkupExtent plainExtent = MeasureMarkup(PixelFont(12), 0, 0, "Wide text", 0);
  QCOMPARE(MeasureMarkup(bold, 0, 0, "Wide text", 0).Right, plainExtent.Right);

  QImage image(200, 80, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter canvas(&image);
  canvas.setFont(bold);
  canvas.setPen(QPen(QColor(0, 0, 200), 1));
  const MarkupExtent drawn = DrawMarkup(canvas, 0, 0, "Wide text\\9\\]\\b", 0);
  QCOMPARE(drawn.Right, plainExtent.Right);
  QCOMPARE(canvas.pen().color(), QColor(0, 0, 200));
  QCOMPARE(canvas.font().pixelSize(), 12);
  QVERIFY(!canvas.font().italic());  // the style stays as the text ended: plain ...
  QVERIFY(canvas.font().bold());     // ... then bold
}

void MarkupLayoutTest::DrawPaintsColoursHighlightAndDelta() {
  QImage image(300, 60, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter canvas(&image);
  // Without smoothing every letter pixel is exactly the text colour.
  QFont font = PixelFont(14);
  font.setStyleStrategy(QFont::NoAntialias);
  canvas.setFont(font);
  canvas.setPen(QColor(0, 0, 255));
  canvas.setBrush(QColor(255, 255, 0));
  DrawMarkup(canvas, 0, 0, "\\1MMM\\0MMM\\n\\hMMM\\h \\9\\d", 0);
  canvas.end();
  QVERIFY(CountColour(image, QColor(128, 0, 0)) > 10);  // maroon letters
  QVERIFY(CountColour(image, QColor(0, 0, 255)) > 10);  // back to the start colour
  // The highlighted run: a box in the text colour with the letters in the
  // brush colour on it.
  const int boxTop = QFontMetrics(font).height() + 1;
  QCOMPARE(image.pixelColor(1, boxTop + 1), QColor(0, 0, 255));
  QVERIFY(CountColour(image.copy(0, boxTop, 60, 20), QColor(255, 255, 0)) > 10);
  QVERIFY(CountColour(image, QColor(255, 0, 0)) > 5);  // the red delta sign
}

QTEST_MAIN(MarkupLayoutTest)
#include "MarkupLayoutTest.moc"
