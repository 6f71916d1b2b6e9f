// The message box: its layout arithmetic by numbers, the button words and
// glyphs, and real boxes run modally and answered with real key presses and
// clicks.

#include "gui/messagebox/MessageBox.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QtTest>

#include <functional>

#include "gui/controls/Box.h"
#include "gui/controls/BtnTransparent.h"
#include "gui/controls/WindowDialogs.h"
#include "gui/controls/WindowsLib.h"
#include "gui/markup/Markup.h"
#include "gui/messagebox/MessageGlyphs.h"

using namespace tapwise;

namespace {

constexpr int Frame = TMessageBoxForm::FrameWidth;

// Acts on the box as soon as MsgBox has it shown modally. Should the action
// leave the box open by mistake, it is closed a while later with a result no
// test expects, so a fault fails the test instead of hanging it.
void WhenBoxShows(std::function<void(TMessageBoxForm&)> action) {
  auto* poll = new QTimer(qApp);
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, action] {
    auto* box = qobject_cast<TMessageBoxForm*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    // Owned by the box, so it goes with the box when the test passes.
    auto* fallback = new QTimer(box);
    fallback->setSingleShot(true);
    QObject::connect(fallback, &QTimer::timeout, box, [box] { box->done(QDialog::Rejected); });
    fallback->start(5000);
    action(*box);
  });
  poll->start();
}

std::vector<int> Ints(const QList<int>& list) {
  return std::vector<int>(list.begin(), list.end());
}

QRgb Rgb(const QColor& colour) {
  return colour.rgb();
}

}  // namespace

class MessageBoxTest : public QObject {
  Q_OBJECT
 private slots:
  void Layout_data();
  void Layout();
  void SplitButtonWords_data();
  void SplitButtonWords();
  void GlyphByWord_data();
  void GlyphByWord();
  void KeepOnScreen_data();
  void KeepOnScreen();
  void GlyphPictures();
  void BuiltBoxMinimumSizes();
  void PaintedBoxMatchesItsLayout();
  void Keys_data();
  void Keys();
  void OtherCharacterKeepsTheBoxOpen();
  void ButtonClicks();
  void YesNo();
  void ShortFormsOfAWindowsDialogs();
  void DraggedByItsBody();
  void PulledBackOntoTheScreen();
};

void MessageBoxTest::Layout_data() {
  QTest::addColumn<int>("measuredRight");
  QTest::addColumn<int>("measuredBottom");
  QTest::addColumn<int>("buttons");
  QTest::addColumn<int>("textRight");
  QTest::addColumn<int>("textBottom");
  QTest::addColumn<int>("clientWidth");
  QTest::addColumn<int>("clientHeight");
  QTest::addColumn<QList<int>>("lefts");
  // 60 + 4 + 42 + 4: a 42-pixel text is still the minimum width.
  QTest::newRow("short text, one button")
      << 110 << 30 << 1 << 110 << 57 << 118 << 97 << QList<int>{4};
  QTest::newRow("one pixel wider") << 111 << 30 << 1 << 111 << 57 << 119 << 97 << QList<int>{4};
  QTest::newRow("three buttons widen") << 100 << 80 << 3 << 110 << 80 << 256 << 120
                                       << QList<int>{4, 88, 172};
  QTest::newRow("wide text") << 300 << 57 << 2 << 300 << 57 << 308 << 97 << QList<int>{4, 88};
  QTest::newRow("no buttons") << 50 << 20 << 0 << 110 << 57 << 118 << 97 << QList<int>{};
}

void MessageBoxTest::Layout() {
  QFETCH(int, measuredRight);
  QFETCH(int, measuredBottom);
  QFETCH(int, buttons);
  QFETCH(int, textRight);
  QFETCH(int, textBottom);
  QFETCH(int, clientWidth);
  QFETCH(int, clientHeight);
  QFETCH(QList<int>, lefts);
  const MessageBoxLayout layout =
      LayoutMessageBox({measuredRight, measuredBottom}, static_cast<size_t>(buttons));
  QCOMPARE(layout.TextRight, textRight);
  QCOMPARE(layout.TextBottom, textBottom);
  QCOMPARE(layout.StripTop, textBottom + 8);
  QCOMPARE(layout.ClientWidth, clientWidth);
  QCOMPARE(layout.ClientHeight, clientHeight);
  QCOMPARE(layout.ButtonLefts, Ints(lefts));
}

void MessageBoxTest::SplitButtonWords_data() {
  QTest::addColumn<QString>("buttons");
  QTest::addColumn<QStringList>("words");
  QTest::newRow("one") << "OK" << QStringList{"OK"};
  QTest::newRow("two") << "Yes,No" << QStringList{"Yes", "No"};
  QTest::newRow("blank kept") << "Yes, No" << QStringList{"Yes", " No"};
  QTest::newRow("empty word between") << "A,,B" << QStringList{"A", "", "B"};
  QTest::newRow("only commas") << ",," << QStringList{"", ""};
  QTest::newRow("trailing comma") << "Yes," << QStringList{"Yes"};
  QTest::newRow("leading comma") << ",OK" << QStringList{"", "OK"};
  QTest::newRow("nothing") << "" << QStringList{};
}

void MessageBoxTest::SplitButtonWords() {
  QFETCH(QString, buttons);
  QFETCH(QStringList, words);
  QStringList actual;
  for (const std::string& word : tapwise::SplitButtonWords(buttons.toStdString())) {
    actual << QString::fromStdString(word);
  }
  QCOMPARE(actual, words);
}

void MessageBoxTest::GlyphByWord_data() {
  QTest::addColumn<QString>("word");
  QTest::addColumn<int>("glyph");
  QTest::newRow("Yes") << "Yes" << 0;
  QTest::newRow("ok lower case") << "ok" << 0;
  QTest::newRow("No") << "No" << 1;
  QTest::newRow("No with a leading blank") << " No" << 1;
  QTest::newRow("Cancel") << "Cancel" << 1;
  QTest::newRow("Delete") << "Delete" << 1;
  QTest::newRow("Save") << "Save" << 2;
  QTest::newRow("Save Now: NO is tried first") << "Save Now" << 1;
  QTest::newRow("Don't Save has no NO") << "Don't Save" << 2;
  QTest::newRow("Copy") << "Copy" << 4;
  QTest::newRow("Remove contains MOVE") << "Remove" << 5;
  QTest::newRow("Unknown contains NO") << "Unknown" << 1;
  QTest::newRow("empty word") << "" << -1;
}

void MessageBoxTest::GlyphByWord() {
  QFETCH(QString, word);
  QFETCH(int, glyph);
  QCOMPARE(ButtonGlyphIndex(word.toStdString()), glyph);
}

void MessageBoxTest::KeepOnScreen_data() {
  QTest::addColumn<QRect>("window");
  QTest::addColumn<QPoint>("place");
  QTest::newRow("exactly at the bottom stays") << QRect(100, 671, 118, 97) << QPoint(100, 671);
  QTest::newRow("past the bottom") << QRect(100, 700, 118, 97) << QPoint(100, 768 - 97 - 1);
  QTest::newRow("past the right") << QRect(950, 10, 118, 97) << QPoint(1024 - 118 - 1, 10);
}

void MessageBoxTest::KeepOnScreen() {
  QFETCH(QRect, window);
  QFETCH(QPoint, place);
  QCOMPARE(tapwise::KeepOnScreen(window, QRect(0, 0, 1024, 768)), place);
}

void MessageBoxTest::GlyphPictures() {
  for (int i = 0; i < ButtonGlyphCount; ++i) {
    const QImage glyph = ButtonGlyph(i).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(glyph.size(), QSize(16, 16));
    // The bottom-left pixel is the see-through colour: it must be clear, and
    // the picture must have something solid on it.
    QCOMPARE(qAlpha(glyph.pixel(0, 15)), 0);
    int solid = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) solid += qAlpha(glyph.pixel(x, y)) >= 128;
    }
    QVERIFY2(solid > 12, qPrintable(QStringLiteral("glyph %1").arg(i)));
  }
}

void MessageBoxTest::BuiltBoxMinimumSizes() {
  auto box = BuildMessageBox(mkInformation, "Hi", "OK");
  QCOMPARE(box->Layout().ClientWidth, 118);
  QCOMPARE(box->size(), QSize(118 + 2 * Frame, box->Layout().ClientHeight + 2 * Frame));
  QCOMPARE(box->Buttons()[0]->geometry(),
           QRect(Frame + 4, Frame + box->Layout().StripTop + 4, 80, 26));

  box = BuildMessageBox(mkQuestion, "Hi", "Yes,No,Cancel");
  QVERIFY(box->Layout().ClientWidth >= 256);
  QCOMPARE(box->Strip()->geometry(),
           QRect(Frame, Frame + box->Layout().StripTop, box->Layout().ClientWidth, 32));

  // The layout follows the text measured in the box's own font.
  const std::string text = "\\b\\1Configuration has changed\\nSave Changes?\\n\\]Big";
  box = BuildMessageBox(mkQuestion, text, "Yes,No");
  const MarkupExtent measured = MeasureMarkup(box->font(), 60, 8, text, 4);
  QCOMPARE(box->Layout().TextRight, std::max(measured.Right, 110));
  QCOMPARE(box->Layout().TextBottom, std::max(measured.Bottom, 57));
}

void MessageBoxTest::PaintedBoxMatchesItsLayout() {
  struct Case {
    const char* Text;
    const char* Buttons;
  };
  // A tall text (the frame's bottom comes from the text, not the icon) and a
  // short one in a box widened by its buttons (the frame follows the width).
  const Case cases[] = {
      {"Line one\\nLine two\\n\\]Large line\\n\\b\\1Last line", "OK"},
      {"Hi", "Yes,No,Cancel"},
  };
  for (const Case& c : cases) {
    auto box = BuildMessageBox(mkInformation, c.Text, c.Buttons);
    const MessageBoxLayout& layout = box->Layout();
    const QImage picture = box->grab().toImage();
    const int right = layout.ClientWidth - 7;  // the frame's right edge
    const int bottom = layout.StripTop - 9;    // the frame's bottom edge
    auto at = [&](int x, int y) { return picture.pixel(Frame + x, Frame + y); };
    QCOMPARE(at(60, 8), Rgb(ButtonShadowColour()));
    QCOMPARE(at(60, bottom), Rgb(ButtonShadowColour()));
    QCOMPARE(at(right, 8), Rgb(WindowColour()));
    QCOMPARE(at(right, bottom), Rgb(WindowColour()));
    QCOMPARE(at(right + 1, 20), Rgb(ButtonFaceColour()));
    QCOMPARE(at(70, bottom + 1), Rgb(ButtonFaceColour()));
    // The strip: the etched line on top, the gradient's last band at the bottom.
    const int stripBottom = layout.StripTop + 31;
    QCOMPARE(at(layout.ClientWidth - 3, layout.StripTop), Rgb(ButtonShadowColour()));
    const auto bands = GradientBands(layout.StripTop, layout.StripTop + 32, ButtonFaceColour(),
                                     ScrollBarColour());
    QCOMPARE(at(layout.ClientWidth - 2, stripBottom), Rgb(bands.back().Colour));
  }
}

void MessageBoxTest::Keys_data() {
  QTest::addColumn<QString>("buttons");
  QTest::addColumn<int>("key");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("result");
  QTest::newRow("Enter") << "Yes,No" << int(Qt::Key_Return) << "\r" << 0;
  QTest::newRow("Space") << "Yes,No" << int(Qt::Key_Space) << " " << 0;
  QTest::newRow("Esc") << "Yes,No" << int(Qt::Key_Escape) << "\x1b" << -1;
  QTest::newRow("2") << "Yes,No" << int(Qt::Key_2) << "2" << 1;
  QTest::newRow("5 with no fifth button") << "Yes,No" << int(Qt::Key_5) << "5" << 4;
  QTest::newRow("9") << "OK" << int(Qt::Key_9) << "9" << 8;
  QTest::newRow("Enter with no buttons") << "" << int(Qt::Key_Return) << "\r" << 0;
}

void MessageBoxTest::Keys() {
  QFETCH(QString, buttons);
  QFETCH(int, key);
  QFETCH(QString, text);
  QFETCH(int, result);
  WhenBoxShows([key, text](TMessageBoxForm& box) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(&box, &press);
  });
  QCOMPARE(MsgBox(mkQuestion, "Choose", buttons.toStdString()), result);
}

void MessageBoxTest::OtherCharacterKeepsTheBoxOpen() {
  bool openAfterX = false;
  bool openAfterShift = false;
  WhenBoxShows([&](TMessageBoxForm& box) {
    QTest::keyClick(&box, 'x');
    openAfterX = box.isVisible() && box.Result() == -1;
    QTest::keyClick(&box, Qt::Key_Shift);
    openAfterShift = box.isVisible();
    QTest::keyClick(&box, Qt::Key_2);
  });
  QCOMPARE(MsgBox(mkInformation, "Press", "A,B,C"), 1);
  QVERIFY(openAfterX);
  QVERIFY(openAfterShift);
}

void MessageBoxTest::ButtonClicks() {
  for (int i = 0; i < 3; ++i) {
    WhenBoxShows([i](TMessageBoxForm& box) {
      QTest::mouseClick(box.Buttons().at(static_cast<size_t>(i)), Qt::LeftButton);
    });
    QCOMPARE(MsgBox(mkError, "Click", "Yes,No,Cancel"), i);
  }
}

void MessageBoxTest::YesNo() {
  QString shown;
  WhenBoxShows([&shown](TMessageBoxForm& box) {
    shown = QStringLiteral("%1 %2").arg(box.Kind()).arg(box.Buttons().at(1)->Caption());
    QTest::keyClick(&box, Qt::Key_Return);
  });
  QVERIFY(MsgYesNo("\\b\\1Configuration has changed\\nSave Changes?"));
  QCOMPARE(shown, QStringLiteral("2 No"));
  WhenBoxShows([](TMessageBoxForm& box) { QTest::keyClick(&box, '5'); });
  QVERIFY(!MsgYesNo("Save?"));
}

// A window's dialogs: the short forms ask with the kind and buttons the
// message box would get, and Yes is the first button only.
void MessageBoxTest::ShortFormsOfAWindowsDialogs() {
  struct Recording : WindowDialogs {
    struct Shown {
      TMessageKind Kind;
      std::string Text;
      std::string Buttons;
    };
    std::vector<Shown> shown;
    int32_t answer = 0;
    int32_t MsgBox(TMessageKind kind, std::string_view text, std::string_view buttons) override {
      shown.push_back({kind, std::string(text), std::string(buttons)});
      return answer;
    }
    std::optional<FileDialogResult> AskForFile(QWidget*, const FileDialogRequest&) override { return {}; }
  } dialogs;
  QVERIFY(dialogs.MsgYesNo("Save?"));
  dialogs.answer = 1;
  QVERIFY(!dialogs.MsgYesNo("Save?"));
  dialogs.answer = -1;
  QVERIFY(!dialogs.MsgYesNo("Save?"));
  dialogs.MsgError("\\1Error: Invalid Packet Data file");
  dialogs.MsgInfo("Help");

  QCOMPARE(dialogs.shown.size(), size_t(5));
  QCOMPARE(dialogs.shown[0].Kind, mkQuestion);
  QCOMPARE(dialogs.shown[0].Buttons, std::string("Yes,No"));
  QCOMPARE(dialogs.shown[3].Kind, mkError);
  QCOMPARE(dialogs.shown[3].Text, std::string("\\1Error: Invalid Packet Data file"));
  QCOMPARE(dialogs.shown[4].Kind, mkInformation);
  QCOMPARE(dialogs.shown[4].Buttons, std::string("OK"));
}

void MessageBoxTest::DraggedByItsBody() {
  auto box = BuildMessageBox(mkInformation, "Drag me", "OK");
  box->show();
  QVERIFY(QTest::qWaitForWindowExposed(box.get()));
  QCOMPARE(box->Result(), -1);
  box->move(100, 100);
  const QPoint start = box->pos();

  auto drag = [&](QPoint local, QPoint by) {
    const QPoint global = box->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(box.get(), &press);
    QMouseEvent move(QEvent::MouseMove, local + by, global + by, Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(box.get(), &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + by, global + by, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(box.get(), &release);
  };
  drag(QPoint(Frame + 30, Frame + 30), QPoint(40, 25));
  QCOMPARE(box->pos(), start + QPoint(40, 25));
  // The strip is not a handle.
  drag(QPoint(Frame + 100, Frame + box->Layout().StripTop + 2), QPoint(-30, -30));
  QCOMPARE(box->pos(), start + QPoint(40, 25));
}

void MessageBoxTest::PulledBackOntoTheScreen() {
  if (QGuiApplication::screens().size() != 1) QSKIP("needs exactly one screen");
  auto box = BuildMessageBox(mkError, "Low", "OK");
  box->show();
  QVERIFY(QTest::qWaitForWindowExposed(box.get()));
  const QRect screen = box->screen()->geometry();
  box->move(20, screen.bottom() - 10);
  box->repaint();
  QTRY_COMPARE(box->frameGeometry().bottom(), screen.bottom() - 1);
  QCOMPARE(box->x(), 20);
}

QTEST_MAIN(MessageBoxTest)
#include "MessageBoxTest.moc"
