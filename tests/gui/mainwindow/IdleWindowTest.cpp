// The main window of an idle monitor sleeps, offscreen over a real
// pseudo-terminal: its timer drops to a pass a second once nothing has
// happened for a second, the first packet after that wakes it and is
// shown, and a key or click brings back the quick pace. No wall-clock
// limits: the waits are generous and only the order of things is checked.

#include <QTest>

#include "core/session/MonitorSession.h"
#include "gui/mainwindow/TWMain.h"
#include "gui/mainwindow/TickPacer.h"
#include "support/PtyPorts.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

class IdleWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void AfterFallingAsleepThePacketThatComesWakesTheWindowAndShows() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(2);
    QVERIFY(rig.Start());
    TickPacer& pacer = rig.form->Pacer();
    QVERIFY(pacer.Running());
    QVERIFY(!pacer.Asleep());
    QTRY_VERIFY_WITH_TIMEOUT(pacer.Asleep(), 10000);
    QVERIFY(rig.session->Asleep());
    const uint64_t wakeUps = pacer.WakeUps();
    for (int burst = 1; burst <= 2; ++burst) {
      QVERIFY(wire.WriteAll({'h', 'i', static_cast<uint8_t>('0' + burst)}));
      QVERIFY(rig.WaitForLines(burst, std::chrono::milliseconds(5000)));
      // Brought by the wake-up, not by the next once-a-second pass.
      QCOMPARE(pacer.WakeUps(), wakeUps + static_cast<uint64_t>(burst));
      QVERIFY(!pacer.Asleep());
      QTRY_VERIFY_WITH_TIMEOUT(pacer.Asleep(), 10000);
    }
  }

  void AKeyWakesTheWindow() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(2);
    QVERIFY(rig.Start());
    TickPacer& pacer = rig.form->Pacer();
    QTRY_VERIFY_WITH_TIMEOUT(pacer.Asleep(), 10000);
    rig.Key(Qt::Key_PageUp);
    QVERIFY(!pacer.Asleep());
    QVERIFY(!rig.session->Asleep());
  }
};

QTEST_MAIN(IdleWindowTest)
#include "IdleWindowTest.moc"
