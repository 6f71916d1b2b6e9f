// The label: line breaks of a caption become the new-line escape, AutoSize
// follows caption, gap and font, alignment places the text, and the border
// hugs the text block at the top-left whatever the alignment.

#include "gui/controls/NiceLabel.h"

#include <QImage>
#include <QtTest>

#include "gui/controls/WindowsLib.h"
#include "gui/markup/Markup.h"

using namespace tapwise;

namespace {

const QColor Ground(200, 220, 240);

QFont LabelFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  return font;
}

// A label on a plainly filled parent, as the parent would show it.
struct LabelOnHost {
  QWidget Host;
  TNiceLabel* Label;

  LabelOnHost() : Label(new TNiceLabel(&Host)) {
    Host.resize(300, 100);
    QPalette colours = Host.palette();
    colours.setColor(QPalette::Window, Ground);
    colours.setColor(QPalette::WindowText, Qt::black);
    Host.setPalette(colours);
    Host.setAutoFillBackground(true);
    Label->setFont(LabelFont());
    Label->setGeometry(10, 10, 200, 60);
  }

  QImage Picture() {
    return Host.grab().toImage().copy(Label->geometry()).convertToFormat(QImage::Format_RGB32);
  }
};

}  // namespace

class NiceLabelTest : public QObject {
  Q_OBJECT
 private slots:
  void LineBreaksBecomeEscapes_data();
  void LineBreaksBecomeEscapes();
  void TextLeft_data();
  void TextLeft();
  void AutoSizeFollowsCaptionGapAndFont();
  void BorderHugsTheText_data();
  void BorderHugsTheText();
};

void NiceLabelTest::LineBreaksBecomeEscapes_data() {
  QTest::addColumn<QString>("given");
  QTest::addColumn<QString>("stored");
  QTest::newRow("no break") << "Packet Terminator" << "Packet Terminator";
  QTest::newRow("CR LF pair") << "Packet Terminator\r\n(RAW)" << "Packet Terminator\\n(RAW)";
  // A line feed alone must not eat the character before it.
  QTest::newRow("lone LF keeps the last letter") << "ab\ncd" << "ab\\ncd";
  QTest::newRow("LF first") << "\nab" << "\\nab";
  QTest::newRow("two breaks") << "a\r\n\r\nb\nc" << "a\\n\\nb\\nc";
  QTest::newRow("CR alone is text") << "a\rb" << "a\rb";
  QTest::newRow("escape already there") << "a\\nb" << "a\\nb";
}

void NiceLabelTest::LineBreaksBecomeEscapes() {
  QFETCH(QString, given);
  QFETCH(QString, stored);
  TNiceLabel label;
  label.SetCaption(given.toStdString());
  QCOMPARE(QString::fromStdString(label.Caption()), stored);
}

void NiceLabelTest::TextLeft_data() {
  QTest::addColumn<int>("alignment");
  QTest::addColumn<int>("clientWidth");
  QTest::addColumn<int>("extentRight");
  QTest::addColumn<int>("left");
  QTest::newRow("left") << int(taLeftJustify) << 100 << 40 << 0;
  QTest::newRow("right") << int(taRightJustify) << 100 << 40 << 60;
  QTest::newRow("centre rounds down") << int(taCenter) << 100 << 41 << 29;
  QTest::newRow("right, text too wide") << int(taRightJustify) << 30 << 41 << 0;
  QTest::newRow("centre, text too wide") << int(taCenter) << 30 << 41 << 0;
  QTest::newRow("left, text too wide") << int(taLeftJustify) << 30 << 41 << 0;
}

void NiceLabelTest::TextLeft() {
  QFETCH(int, alignment);
  QFETCH(int, clientWidth);
  QFETCH(int, extentRight);
  QFETCH(int, left);
  QCOMPARE(TNiceLabel::TextLeft(static_cast<TAlignment>(alignment), clientWidth, extentRight),
           left);
}

void NiceLabelTest::AutoSizeFollowsCaptionGapAndFont() {
  const std::string caption = "Packet Terminator\\n\\1(RAW files only)";
  TNiceLabel label;
  label.setFont(LabelFont());
  label.resize(7, 9);
  label.SetCaption(caption);
  QCOMPARE(label.size(), QSize(7, 9));  // without AutoSize the size stays

  label.SetAutoSize(true);
  MarkupExtent extent = MeasureMarkup(LabelFont(), 0, 0, caption, 0);
  QCOMPARE(label.size(), QSize(extent.Right, extent.Bottom));

  label.SetGap(5);
  QCOMPARE(label.size(), QSize(extent.Right + 10, extent.Bottom + 10));

  QFont bigger = LabelFont();
  bigger.setPixelSize(20);
  label.setFont(bigger);
  extent = MeasureMarkup(bigger, 0, 0, caption, 5);
  QCOMPARE(label.size(), QSize(extent.Right, extent.Bottom));

  // An empty caption is 0 wide: the label keeps at least 4 x 4.
  label.SetGap(0);
  label.SetCaption("");
  QCOMPARE(label.width(), 4);
  QCOMPARE(label.height(), MeasureMarkup(bigger, 0, 0, "", 0).Bottom);
}

void NiceLabelTest::BorderHugsTheText_data() {
  QTest::addColumn<int>("border");
  QTest::addColumn<int>("alignment");
  QTest::newRow("none") << int(bNone) << int(taLeftJustify);
  QTest::newRow("lowered, left") << int(bLowered) << int(taLeftJustify);
  QTest::newRow("raised, left") << int(bRaised) << int(taLeftJustify);
  QTest::newRow("lowered, right") << int(bLowered) << int(taRightJustify);
  QTest::newRow("raised, centre") << int(bRaised) << int(taCenter);
}

void NiceLabelTest::BorderHugsTheText() {
  QFETCH(int, border);
  QFETCH(int, alignment);
  LabelOnHost scene;
  const std::string caption = "Hi\\nthere";
  scene.Label->SetGap(3);
  scene.Label->SetBorder(static_cast<TBorder>(border));
  scene.Label->SetAlignment(static_cast<TAlignment>(alignment));
  scene.Label->SetCaption(caption);
  const MarkupExtent extent = MeasureMarkup(LabelFont(), 0, 0, caption, 3);
  // The frame goes with the text, wherever the alignment puts it.
  const int left = TNiceLabel::TextLeft(static_cast<TAlignment>(alignment), 200, extent.Right);
  const int r = left + extent.Right - 1;
  const int b = extent.Bottom - 1;
  const QImage picture = scene.Picture();

  QColor first = Ground;
  QColor second = Ground;
  if (border == bLowered) {
    first = ButtonShadowColour();
    second = WindowColour();
  } else if (border == bRaised) {
    first = WindowColour();
    second = ButtonShadowColour();
  }
  // Left and top edges in the first colour, right and bottom in the second;
  // the corners where the path turns belong to the line that starts there.
  QCOMPARE(picture.pixel(left, 0), first.rgb());
  QCOMPARE(picture.pixel(left, b), first.rgb());
  QCOMPARE(picture.pixel((left + r) / 2, 0), first.rgb());
  QCOMPARE(picture.pixel(r, 0), second.rgb());
  QCOMPARE(picture.pixel(r, b), second.rgb());
  QCOMPARE(picture.pixel((left + r) / 2, b), second.rgb());
  if (r + 1 < picture.width()) QCOMPARE(picture.pixel(r + 1, b + 1), Ground.rgb());
  if (left > 0) QCOMPARE(picture.pixel(left - 1, 0), Ground.rgb());

  // The text sits where the alignment puts it.
  bool inked = false;
  for (int y = 3; y < b - 2 && !inked; ++y) {
    for (int x = left + 3; x < left + extent.Right - 3 && !inked; ++x) {
      inked = qGray(picture.pixel(x, y)) < 100;
    }
  }
  QVERIFY(inked);
  if (left > extent.Right) {
    QCOMPARE(picture.pixel(5, 8), Ground.rgb());
  }
}

QTEST_MAIN(NiceLabelTest)
#include "NiceLabelTest.moc"
