#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "gui/controls/Box.h"
#include "gui/controls/BtnTransparent.h"
#include "gui/controls/CheckBoxTransparent.h"
#include "gui/controls/PanelTransparent.h"
#include "gui/controls/WindowsLib.h"

using namespace tapwise;

namespace {

const QRgb Backdrop = qRgb(10, 200, 30);

// Draws the control over a backdrop of a colour no control uses, so what the
// control itself painted stands out.
QImage Render(QWidget& control) {
  QImage image(control.size(), QImage::Format_RGB32);
  image.fill(Backdrop);
  control.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

QList<int> RowsWithColour(const QImage& image, int x, QRgb colour) {
  QList<int> rows;
  for (int y = 0; y < image.height(); ++y) {
    if (image.pixel(x, y) == colour) rows.append(y);
  }
  return rows;
}

}  // namespace

class MinorControlsTest : public QObject {
  Q_OBJECT
 private slots:
  void GroupedButtonsReleaseEachOther() {
    QWidget parent;
    TBtnTransparent buttons[3] = {TBtnTransparent(&parent), TBtnTransparent(&parent),
                                  TBtnTransparent(&parent)};
    for (int i = 0; i < 3; ++i) {
      buttons[i].SetGroupIndex(1);
      buttons[i].setGeometry(i * 90, 0, 80, 26);
    }
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QSignalSpy clicks(&buttons[1], &TBtnTransparent::clicked);

    buttons[0].SetDown(true);
    QTest::mouseClick(&buttons[1], Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    QVERIFY(!buttons[0].Down());
    QVERIFY(buttons[1].Down());
    QVERIFY(!buttons[2].Down());

    // A second click on the down button pops it up: the whole group is up.
    QTest::mouseClick(&buttons[1], Qt::LeftButton);
    QCOMPARE(clicks.count(), 2);
    for (const auto& b : buttons) QVERIFY(!b.Down());
  }

  void UngroupedButtonIsDownOnlyWhileHeld() {
    QWidget parent;
    TBtnTransparent button(&parent);
    button.setGeometry(0, 0, 80, 26);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QSignalSpy clicks(&button, &TBtnTransparent::clicked);
    QTest::mousePress(&button, Qt::LeftButton);
    QVERIFY(button.Down());
    QTest::mouseRelease(&button, Qt::LeftButton);
    QVERIFY(!button.Down());
    QCOMPARE(clicks.count(), 1);
    // The right button does nothing; a release outside is no click.
    QTest::mouseClick(&button, Qt::RightButton);
    QVERIFY(!button.Down());
    QTest::mousePress(&button, Qt::LeftButton);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 200));
    QCOMPARE(clicks.count(), 1);
  }

  void BevelDrawsNestedFrames() {
    const QRgb highlight = ButtonHighlightColour().rgb();
    const QRgb shadow = ButtonShadowColour().rgb();
    const struct {
      int bevel;
      bool down;
      int frames;
    } cases[] = {{-1, false, 0}, {0, false, 1}, {2, false, 3}, {1, true, 2}};
    for (const auto& c : cases) {
      TBtnTransparent button;
      button.resize(40, 20);
      button.SetBevel(c.bevel);
      button.SetDown(c.down);
      const QImage image = Render(button);
      const QRgb upper = c.down ? shadow : highlight;
      const QRgb lower = c.down ? highlight : shadow;
      for (int i = 0; i < c.frames; ++i) {
        QCOMPARE(image.pixel(20, i), upper);
        QCOMPARE(image.pixel(i, 10), upper);
        QCOMPARE(image.pixel(20, 19 - i), lower);
        QCOMPARE(image.pixel(39 - i, 10), lower);
      }
      QCOMPARE(image.pixel(20, c.frames), Backdrop);
      QCOMPARE(image.pixel(c.frames, 10), Backdrop);
    }
  }

  void ButtonCentresGlyphAndCaption() {
    QPixmap glyph(16, 16);
    glyph.fill(Qt::white);
    {
      QPainter p(&glyph);
      p.fillRect(4, 4, 8, 8, Qt::red);
    }
    TBtnTransparent button;
    button.resize(80, 26);
    button.SetBevel(-1);
    button.SetGlyph(glyph);
    // The glyph alone is centred, its backdrop-coloured corners see-through.
    QImage image = Render(button);
    QCOMPARE(image.pixel(32 + 4, 5 + 4), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(32 + 11, 5 + 11), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(32, 5), Backdrop);
    QCOMPARE(image.pixel(32 + 3, 5 + 4), Backdrop);

    // With a caption, glyph + 4 + caption are centred together.
    button.SetCaption("OK");
    const int tw = QFontMetrics(button.font()).horizontalAdvance("OK");
    const int x = (80 - (tw + 4 + 16)) / 2;
    image = Render(button);
    QCOMPARE(image.pixel(x + 4, 5 + 4), qRgb(255, 0, 0));
  }

  void BoxBottomLineSitsOnTheLastTwoRows() {
    TBox box;
    box.resize(30, 5);
    box.SetLineTop(false);
    box.SetLineLeft(false);
    box.SetLineRight(false);
    const QImage image = Render(box);
    QCOMPARE(RowsWithColour(image, 10, ButtonShadowColour().rgb()), QList<int>{3});
    QCOMPARE(RowsWithColour(image, 10, ButtonHighlightColour().rgb()), QList<int>{4});
    QCOMPARE(image.pixel(10, 0), Backdrop);
  }

  void BoxEdgesAreEtched() {
    TBox box;
    box.resize(30, 20);
    const QImage image = Render(box);
    const QRgb shadow = ButtonShadowColour().rgb();
    const QRgb highlight = ButtonHighlightColour().rgb();
    QCOMPARE(image.pixel(10, 0), shadow);
    QCOMPARE(image.pixel(10, 1), highlight);
    QCOMPARE(image.pixel(0, 10), shadow);
    QCOMPARE(image.pixel(1, 10), highlight);
    QCOMPARE(image.pixel(28, 10), shadow);
    QCOMPARE(image.pixel(29, 10), highlight);
    QCOMPARE(image.pixel(10, 10), Backdrop);
  }

  void PanelFrames() {
    const QRgb shadow = ButtonShadowColour().rgb();
    const QRgb highlight = ButtonHighlightColour().rgb();
    const struct {
      bool raised, lowered;
      QRgb upper, lower;
    } cases[] = {{true, false, highlight, shadow},
                 {false, true, shadow, highlight},
                 {true, true, highlight, highlight}};
    for (const auto& c : cases) {
      TPanelTransparent panel;
      panel.resize(30, 20);
      panel.SetRaised(c.raised);
      panel.SetLowered(c.lowered);
      const QImage image = Render(panel);
      for (int i = 0; i < 2; ++i) {
        QCOMPARE(image.pixel(10, i), c.upper);
        QCOMPARE(image.pixel(i, 10), c.upper);
        QCOMPARE(image.pixel(10, 19 - i), c.lower);
        QCOMPARE(image.pixel(29 - i, 10), c.lower);
      }
      QCOMPARE(image.pixel(10, 2), Backdrop);
    }
  }

  void PlainPanelAndCheckBoxLetTheParentShowThrough() {
    TPanelTransparent panel;
    panel.resize(30, 20);
    const QImage image = Render(panel);
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 30; ++x) QCOMPARE(image.pixel(x, y), Backdrop);
    }
    TCheckBoxTransparent check("x");
    check.resize(60, 20);
    QCOMPARE(Render(check).pixel(59, 0), Backdrop);
  }
};

QTEST_MAIN(MinorControlsTest)
#include "MinorControlsTest.moc"
