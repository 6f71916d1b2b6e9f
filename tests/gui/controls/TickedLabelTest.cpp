#include "gui/controls/TickedLabel.h"

#include <QImage>
#include <QTest>

#include <vector>

using namespace tapwise;

namespace {

using Lines = std::vector<std::vector<QPoint>>;

const QColor Back(255, 255, 255);
const QColor Mark(200, 0, 0);

// A 15-pixel label drawn in the given state with a red mark on white.
QImage Draw(TTickedLabel::TState state, const std::string& caption = "") {
  TTickedLabel label;
  label.resize(120, 15);
  label.SetBackColour(Back);
  label.SetTickColour(Mark);
  label.SetCrossColour(Mark);
  label.SetProgressColour(Mark);
  label.SetCaption(caption);
  label.SetState(state);
  return label.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool IsMark(const QImage& image, int x, int y) {
  return QColor(image.pixel(x, y)) == Mark;
}

}  // namespace

class TickedLabelTest : public QObject {
  Q_OBJECT
 private slots:
  void Geometry_data() {
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("captionHeight");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("pen");
    QTest::addColumn<int>("captionY");
    QTest::newRow("15 high") << 15 << 13 << 2 << 2 << 1;
    QTest::newRow("small: pen at least 2") << 8 << 13 << 1 << 2 << -2;
    QTest::newRow("28 high") << 28 << 16 << 4 << 4 << 6;
    QTest::newRow("below one unit") << 3 << 0 << 0 << 2 << 1;
  }
  void Geometry() {
    QFETCH(int, height);
    QFETCH(int, captionHeight);
    QFETCH(int, unit);
    QFETCH(int, pen);
    QFETCH(int, captionY);
    const TickedLabelGeometry g = TickedLabelLayout(height, captionHeight);
    QCOMPARE(g.Unit, unit);
    QCOMPARE(g.PenWidth, pen);
    QCOMPARE(g.CaptionX, height);
    QCOMPARE(g.CaptionY, captionY);
  }

  void Marks_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<Lines>("lines");
    QTest::newRow("none") << int(TTickedLabel::sNone) << Lines{};
    QTest::newRow("ticked") << int(TTickedLabel::sTicked)
                            << Lines{{QPoint(4, 8), QPoint(8, 12), QPoint(12, 2)}};
    QTest::newRow("crossed") << int(TTickedLabel::sCrossed)
                             << Lines{{QPoint(4, 4), QPoint(12, 12)},
                                      {QPoint(4, 12), QPoint(12, 4)}};
    QTest::newRow("progress") << int(TTickedLabel::sProgress)
                              << Lines{{QPoint(12, 12), QPoint(8, 12), QPoint(4, 12), QPoint(4, 8),
                                        QPoint(4, 4)}};
  }
  void Marks() {
    QFETCH(int, state);
    QFETCH(Lines, lines);
    QCOMPARE(TickedLabelMark(static_cast<TTickedLabel::TState>(state), 2), lines);
  }

  void DrawsTheMarkOfEachState() {
    // Points on the mark's lines, and points well away from them.
    const QImage none = Draw(TTickedLabel::sNone);
    const QImage ticked = Draw(TTickedLabel::sTicked);
    const QImage crossed = Draw(TTickedLabel::sCrossed);
    const QImage progress = Draw(TTickedLabel::sProgress);
    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 15; ++x) QVERIFY(!IsMark(none, x, y));
    }
    QVERIFY(IsMark(ticked, 6, 10));   // on the short stroke
    QVERIFY(IsMark(ticked, 10, 7));   // on the long stroke
    QVERIFY(!IsMark(ticked, 4, 4));
    QVERIFY(IsMark(crossed, 8, 8));   // where the strokes cross
    QVERIFY(IsMark(crossed, 4, 12));
    QVERIFY(!IsMark(crossed, 8, 4));
    QVERIFY(IsMark(progress, 8, 12));  // the bottom of the half ring
    QVERIFY(IsMark(progress, 4, 6));   // its left side
    QVERIFY(!IsMark(progress, 12, 6));  // the right side is open
    QVERIFY(!IsMark(progress, 8, 4));   // and so is the top
    // The whole control is filled with the back colour.
    QCOMPARE(QColor(ticked.pixel(100, 0)), Back);
  }

  void CaptionStartsRightOfTheSquare() {
    const QImage image = Draw(TTickedLabel::sNone, "\\bCTS");
    int firstInk = image.width();
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (QColor(image.pixel(x, y)) != Back) firstInk = std::min(firstInk, x);
      }
    }
    QVERIFY2(firstInk >= 15 && firstInk <= 17, qPrintable(QString::number(firstInk)));
  }
};

QTEST_MAIN(TickedLabelTest)
#include "TickedLabelTest.moc"
