// The find bar in the main window, offscreen, over real pseudo-terminals:
// Ctrl+F and the toolbar open it, what is typed into it stays there, it
// counts and goes round the matches, marks them, holds the display on the
// current one while capture goes on, and reaches past the ring's 999 lines
// into the history.

#include "gui/find/FindBar.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <string>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/config/ColourTable.h"
#include "core/session/MonitorSession.h"
#include "gui/controls/SystemColours.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/TWMain.h"
#include "support/PtyPorts.h"
#include "support/TestRecords.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

FindBar* BarOf(WindowRig& rig) { return rig.form->findChild<FindBar*>("FindBar"); }

// Packets straight into the capture queue, as the receive threads put them.
void Queue(WindowRig& rig, uint8_t port, const std::string& bytes) {
  rig.Comms().Queue().Append(MakeRecord(port, bytes));
}

QString CountText(FindBar* bar) { return bar->lCount->text(); }

// Whether row `row` of the display is inside the scroll area's view.
bool RowInView(DisplayPaintBox* display, int row) {
  const int top = display->ScrollBox()->verticalScrollBar()->value();
  const int y = display->Geometry().RowTop(row);
  return y >= top && y + display->LineHeight() <= top + display->ScrollBox()->viewport()->height();
}

}  // namespace

class FindBarTest : public QObject {
  Q_OBJECT
 private slots:
  void OpensAndWhatIsTypedStaysInTheBar() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    FindBar* bar = BarOf(rig);
    QVERIFY(bar);
    QVERIFY(!bar->isVisible());
    // Closed, F3 still sends user packet 3.
    std::vector<int> sent;
    rig.form->SetUserPacketSender([&sent](int packet, uint8_t) { sent.push_back(packet); });
    rig.Key(Qt::Key_F3);
    QCOMPARE(sent, std::vector<int>{3});

    rig.Key(Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    QTRY_VERIFY(bar->ePattern->hasFocus());
    for (char c : std::string("\"ab\"")) rig.Char(c);
    QCOMPARE(bar->ePattern->text(), QString("\"ab\""));
    // Neither Ctrl+F (a control code) nor the pattern went out on the port.
    QVERIFY(wire.ReadFor(1, std::chrono::milliseconds(200)).empty());
    // Open, F3 finds rather than sends; Esc closes the bar.
    rig.Key(Qt::Key_F3);
    QCOMPARE(sent, std::vector<int>{3});
    rig.Key(Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    // The toolbar button opens it too.
    rig.form->ToolBar()->bFind->click();
    QVERIFY(bar->isVisible());
  }

  void CountsAndGoesRoundTheMatches() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    Queue(rig, 3, CountingBytes(40));
    Queue(rig, 3, "xx AB AB");
    Queue(rig, 3, "AB");
    QVERIFY(rig.WaitForLines(5));
    FindBar* bar = BarOf(rig);
    bar->Open();
    // Over the boundary between a packet's first and second line.
    bar->ePattern->setText("0E 0F 10 11");
    QCOMPARE(CountText(bar), QString("1 of 1"));
    bar->ePattern->setText("\"AB\"");
    QCOMPARE(CountText(bar), QString("3 of 3"));
    struct Step {
      int Key;
      Qt::KeyboardModifiers Modifiers;
      const char* Text;
    };
    const std::vector<Step> steps = {
        {Qt::Key_F3, Qt::NoModifier, "1 of 3"},        {Qt::Key_Return, Qt::NoModifier, "2 of 3"},
        {Qt::Key_F3, Qt::ShiftModifier, "1 of 3"},     {Qt::Key_Return, Qt::ShiftModifier, "3 of 3"},
        {Qt::Key_F3, Qt::NoModifier, "1 of 3"},
    };
    for (const Step& step : steps) {
      rig.Key(step.Key, step.Modifiers);
      QCOMPARE(CountText(bar), QString(step.Text));
    }
    bar->bPrevious->click();
    QCOMPARE(CountText(bar), QString("3 of 3"));

    // The matches are marked in the display: the current one (row 4) stronger.
    DisplayPaintBox* display = rig.form->Display();
    const QImage image = display->grab().toImage();
    auto cellColour = [&](int row, int column) {
      return image.pixelColor(display->Geometry().TextWidth(column) + 1, display->Geometry().RowTop(row) + 1);
    };
    QCOMPARE(cellColour(4, 64), QColor(255, 170, 60));
    QCOMPARE(cellColour(3, 67), QColor(255, 240, 120));
    QCOMPARE(cellColour(3, 70), QColor(255, 240, 120));
    QVERIFY(cellColour(3, 69) != QColor(255, 240, 120));
  }

  void APatternThatDoesNotCompileShowsTheMessageAndChangesNothing() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    Queue(rig, 3, "PING");
    QVERIFY(rig.WaitForLines(1));
    FindBar* bar = BarOf(rig);
    bar->Open();
    bar->ePattern->setText("\"PING\"");
    QCOMPARE(CountText(bar), QString("1 of 1"));
    bar->ePattern->setText("02 G1");
    QCOMPARE(CountText(bar), QString("Not a pattern: 'G' at character 4 is neither a hex byte nor quoted text"));
    QCOMPARE(bar->ePattern->palette().color(QPalette::Base),
             ResolveColour(rig.appearance.Colours()[ColourTable::Errors]));
    // The matches of the last good pattern stay.
    QCOMPARE(bar->Find().Count(), size_t{1});
    QCOMPARE(bar->Find().Pattern().Text(), std::string("\"PING\""));
    bar->ePattern->setText("50");
    QCOMPARE(CountText(bar), QString("1 of 1"));
    QVERIFY(bar->ePattern->palette().color(QPalette::Base) !=
            ResolveColour(rig.appearance.Colours()[ColourTable::Errors]));
  }

  void ReachesPastTheRingAndHoldsTheViewWhileCaptureGoesOn() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    for (int i = 0; i < 1500; ++i) Queue(rig, 3, i == 4 ? std::string("NEEDLE") : "packet " + std::to_string(i));
    QVERIFY(rig.WaitForLines(999));
    DisplayPaintBox* display = rig.form->Display();
    QTRY_COMPARE(display->Rows().Count(), 1500);
    QCOMPARE(display->Rows().OlderCount(), 501);
    // The view follows the newest line, and can scroll back to the first.
    QScrollBar* bar = display->ScrollBox()->verticalScrollBar();
    QTRY_VERIFY(RowInView(display, 1499));

    FindBar* find = BarOf(rig);
    find->Open();
    find->ePattern->setText("\"NEEDLE\"");
    QCOMPARE(CountText(find), QString("1 of 1"));
    QVERIFY(RowInView(display, 4));
    QCOMPARE(display->Rows().Row(4).Text.substr(64, 6), std::string("NEEDLE"));
    const int held = bar->value();

    // Capture goes on: new packets are counted and searched, the view stays.
    for (int i = 0; i < 20; ++i) Queue(rig, 3, "NEEDLE again");
    QTRY_COMPARE(display->Rows().Count(), 1520);
    QTRY_COMPARE(CountText(find), QString("1 of 21"));
    QCOMPARE(bar->value(), held);
    QVERIFY(RowInView(display, 4));

    // Closed, the display goes back to the newest line and follows it.
    rig.Key(Qt::Key_Escape);
    QVERIFY(RowInView(display, 1519));
    Queue(rig, 3, "one more");
    QTRY_VERIFY(RowInView(display, 1520));

    // Scrolled up by hand into the history, the view stays put as well.
    bar->setValue(0);
    Queue(rig, 3, "and another");
    QTRY_COMPARE(display->Rows().Count(), 1522);
    QCOMPARE(bar->value(), 0);
  }

  void ClearEmptiesTheHistoryToo() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    for (int i = 0; i < 1200; ++i) Queue(rig, 3, "p");
    QTRY_COMPARE(rig.form->Display()->Rows().Count(), 1200);
    rig.form->ToolBar()->bClear->click();
    QCOMPARE(rig.form->Display()->Rows().Count(), 0);
    FindBar* find = BarOf(rig);
    find->Open();
    find->ePattern->setText("\"p\"");
    QCOMPARE(CountText(find), QString("No matches"));
  }
};

QTEST_MAIN(FindBarTest)
#include "FindBarTest.moc"
