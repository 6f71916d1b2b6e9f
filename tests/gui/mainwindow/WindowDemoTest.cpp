// The window over the shipped demo, offscreen, as `tapwise -demo` starts it,
// beside a pseudo-terminal standing for the machine's own COM1: the demo
// plays out of COM97 and leaves COM1 alone, and the toolbar's Alt keys leave
// the playback that start-up began playing.

#include <QApplication>
#include <QKeySequence>
#include <QTest>

#include <chrono>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/DemoOption.h"
#include "core/capture/TWComms.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/mainwindow/TWMain.h"
#include "support/Pty.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

// The demo's window with COM1 mapped to a pseudo-terminal the test holds.
struct Com1 {
  Pty com1;
};

// A base before the rig, so that COM1's far end outlives the session.
struct DemoWindow : Com1, WindowRig {
  bool Start() {
    if (!com1.Ok()) return false;
    const std::string folder = DemoFolder();
    if (folder.empty()) return false;
    return WindowRig::Start(
        ParseCommandLine(ExpandDemoOption({"-nosplash", "-demo", "-port:1=" + com1.SlavePath()}, folder, false)));
  }

  // Whether the display holds a packet of the port in that direction.
  bool Shows(uint8_t port, uint8_t origin) {
    const DisplayBuffer& lines = Lines();
    for (int index = 0; index < lines.LineCount(); ++index) {
      if (lines.Line(index).Port == port && lines.Line(index).Origin == origin) return true;
    }
    return false;
  }
};

}  // namespace

class WindowDemoTest : public QObject {
  Q_OBJECT
 private slots:
  void TheDemoPlaysOutOfCom97AndNothingGoesToCom1() {
    DemoWindow demo;
    QVERIFY(demo.Start());
    QCOMPARE(demo.session->SelectedPort.load(), uint8_t{97});
    TTabControlSmart* tabs = demo.form->PortControlTab();
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QString("COM97"));
    QVERIFY(demo.form->TabPort(0) == 1);
    // The polls go out of COM97 and COM98 answers them.
    QTRY_VERIFY_WITH_TIMEOUT(demo.Shows(97, OriginTransmitted), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(demo.Shows(98, OriginTransmitted), 5000);
    QVERIFY(!demo.Shows(1, OriginTransmitted));
    QVERIFY(demo.com1.ReadFor(1, std::chrono::milliseconds(300)).empty());
    QVERIFY(demo.dialogs.shown.empty());
  }

  // Every Alt key of the toolbar but Stop, Pause and close, and Alt alone.
  void AltKeysLeaveTheStartUpPlaybackPlaying() {
    DemoWindow demo;
    QVERIFY(demo.Start());
    MainToolBar* bar = demo.form->ToolBar();
    QVERIFY(IsPlayingState(demo.session->GetRecorder().State()));
    QVERIFY(bar->bPlay->isChecked());
    QVERIFY(!bar->bStop->isChecked());
    QVERIFY(demo.form->StatusBar()->StatusText().startsWith("Playing"));
    const std::vector<Qt::Key> keys = {Qt::Key_Alt, Qt::Key_F, Qt::Key_F, Qt::Key_C, Qt::Key_P,
                                       Qt::Key_R,   Qt::Key_U, Qt::Key_O, Qt::Key_H};
    for (Qt::Key key : keys) {
      demo.Key(key, Qt::AltModifier);
      QVERIFY2(IsPlayingState(demo.session->GetRecorder().State()), qPrintable(QKeySequence(key).toString()));
      QVERIFY(bar->bPlay->isChecked());
      // A tool window the key opened takes the keyboard; the next key is
      // typed into the main window again.
      for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != demo.form.get() && window->isVisible()) window->hide();
      }
      demo.form->activateWindow();
      QTRY_VERIFY(demo.form->isActiveWindow());
    }
    QVERIFY(!demo.session->Drain().Frozen());
    // Alt+C emptied the display; the polls go on filling it.
    QTRY_VERIFY_WITH_TIMEOUT(demo.Shows(97, OriginTransmitted), 5000);
    QVERIFY(demo.dialogs.shown.empty());
    QVERIFY(demo.form->StatusBar()->StatusText().startsWith("Playing"));

    // Stop does stop it, and the buttons say so.
    demo.Key(Qt::Key_S, Qt::AltModifier);
    QCOMPARE(demo.session->GetRecorder().State(), RecorderState::Idle);
    QVERIFY(bar->bStop->isChecked());
  }
};

QTEST_MAIN(WindowDemoTest)
#include "WindowDemoTest.moc"
