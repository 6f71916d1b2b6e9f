// The Statistics window over a real session with pseudo-terminal ports,
// offscreen: opened by Alt+T, the toolbar and the display's popup menu, a
// row per port with the figures of known traffic, refreshed each second
// while shown, Reset, its place kept under its name, and the port tab's
// hint with the port's figures.

#include "gui/statistics/StatisticsForm.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "core/capture/TWComms.h"
#include "core/config/INIUnit.h"
#include "core/session/MonitorSession.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/PortTabHint.h"
#include "gui/mainwindow/TWMain.h"
#include "gui/mainwindow/ToolWindows.h"
#include "support/PtyPorts.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

struct Rig : PtyPorts, WindowRig {
  TStatisticsForm* statistics = nullptr;
  Rig() : WindowRig(&opener) {}
  bool Start() {
    const bool started = WindowRig::Start();
    statistics = &form->Tools().Statistics();
    return started;
  }
  QString Cell(int row, int column) const {
    const QTableWidgetItem* item = statistics->Grid->item(row, column);
    return item ? item->text() : QString();
  }
};

}  // namespace

class StatisticsFormTest : public QObject {
  Q_OBJECT
 private slots:
  void ARowPerPortWithTheFiguresOfKnownTrafficRefreshedWhileShown() {
    Rig rig;
    Pty& three = rig.AddPort(3);
    rig.AddPort(5);
    QVERIFY(rig.Start());
    rig.form->activateWindow();
    QTest::keyClick(rig.form.get(), Qt::Key_T, Qt::AltModifier);
    QVERIFY(rig.statistics->isVisible());
    QVERIFY(rig.statistics->Refreshing());
    QCOMPARE(rig.statistics->Grid->rowCount(), 2);
    QCOMPARE(rig.Cell(0, TStatisticsForm::ColPort), QString("COM3"));
    QCOMPARE(rig.Cell(1, TStatisticsForm::ColPort), QString("COM5"));
    QCOMPARE(rig.Cell(0, TStatisticsForm::ColBytesIn), QString("0"));

    // A frozen display shows nothing new; the figures count all the same.
    rig.form->ToolBar()->bDisableAll->click();
    QVERIFY(three.WriteAll({'h', 'e', 'l', 'l', 'o'}));
    const std::string sent = "reply";
    rig.Comms().WritePacket(5, reinterpret_cast<const uint8_t*>(sent.data()), 5);
    // Within a second or so the window's own timer has them.
    QTRY_COMPARE_WITH_TIMEOUT(rig.Cell(0, TStatisticsForm::ColBytesIn), QString("5"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.Cell(1, TStatisticsForm::ColBytesOut), QString("5"), 5000);
    QCOMPARE(rig.Cell(0, TStatisticsForm::ColPacketsIn), QString("1"));
    QCOMPARE(rig.Cell(1, TStatisticsForm::ColPacketsOut), QString("1"));
    QCOMPARE(rig.Cell(0, TStatisticsForm::ColFraming), QString("0"));
    QCOMPARE(rig.Cell(0, TStatisticsForm::ColLoad).right(1), QString("%"));
    QCOMPARE(rig.Lines().LineCount(), 0);

    // Reset starts them again at once.
    QTest::mouseClick(rig.statistics->bReset, Qt::LeftButton);
    QCOMPARE(rig.Cell(0, TStatisticsForm::ColBytesIn), QString("0"));
    QCOMPARE(rig.Cell(1, TStatisticsForm::ColPacketsOut), QString("0"));
    QCOMPARE(rig.Cell(0, TStatisticsForm::ColPeak), QString("0"));

    // Hidden, it reads nothing.
    QTest::keyClick(rig.statistics, Qt::Key_Escape);
    QVERIFY(!rig.statistics->isVisible());
    QVERIFY(!rig.statistics->Refreshing());
  }

  void TheToolbarAndTheDisplaysMenuOpenItAndItsPlaceIsKept() {
    Rig rig;
    rig.settings.WriteInteger("WinStatisticsFormLeft", 210);
    rig.settings.WriteInteger("WinStatisticsFormTop", 120);
    rig.settings.WriteInteger("WinStatisticsFormWidth", 640);
    rig.settings.WriteInteger("WinStatisticsFormHeight", 200);
    rig.AddPort(3);
    QVERIFY(rig.Start());
    QCOMPARE(rig.statistics->pos(), QPoint(210, 120));
    QCOMPARE(rig.statistics->size(), QSize(640, 200));
    MainToolBar* bar = rig.form->ToolBar();
    QVERIFY(bar->bStatistics->isEnabled());
    QTest::mouseClick(bar->bStatistics, Qt::LeftButton);
    QVERIFY(rig.statistics->isVisible());
    rig.statistics->hide();
    QAction* item = rig.form->Display()->ContextMenu()->findChild<QAction*>("mStatistics");
    QVERIFY(item);
    item->trigger();
    QVERIFY(rig.statistics->isVisible());
    rig.statistics->move(230, 140);
    rig.form->close();
    QCOMPARE(rig.settings.ReadInteger("WinStatisticsFormLeft", 0), 230);
    QCOMPARE(rig.settings.ReadInteger("WinStatisticsFormTop", 0), 140);
    QVERIFY(rig.settings.ReadInteger("StatisticsFormGrid1", 0) > 0);
  }

  void ThePortTabsHintHasThePortsFigures() {
    Rig rig;
    Pty& three = rig.AddPort(3);
    rig.opener.SetPath(3, "/dev/ttyUSB9");
    QVERIFY(rig.Start());
    QVERIFY(three.WriteAll({1, 2, 3, 4}));
    QVERIFY(rig.WaitForLines(1));
    auto* hint = rig.form->PortControlTab()->findChild<PortTabHint*>();
    QVERIFY(hint);
    const QString text = hint->HintOf(0);
    // The tab's own hint first, then the figures.
    QVERIFY2(text.startsWith("/dev/ttyUSB9\nReceived 4 bytes"), qPrintable(text));
    QVERIFY2(text.contains("Received 4 bytes in 1 packets\nSent 0 bytes in 0 packets\n"), qPrintable(text));
    QVERIFY2(text.contains("Errors: framing 0, parity 0, overrun 0, break 0"), qPrintable(text));
  }
};

QTEST_MAIN(StatisticsFormTest)
#include "StatisticsFormTest.moc"
