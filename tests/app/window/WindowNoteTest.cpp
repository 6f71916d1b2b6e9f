// The window's word about options it did not know: in the status bar once
// start-up is over, in front of what start-up put there, over real
// pseudo-terminals, offscreen.

#include <QTest>

#include <string>
#include <vector>

#include "app/WindowProgram.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/mainwindow/TWMain.h"
#include "support/TempDir.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

// A window over a virtual pair, started as the program starts it: shown,
// with start-up queued from the show.
struct Window : WindowRig {
  explicit Window(MonitorOptions options) {
    options.PortOptions = {"-pair:1,2"};
    Make(options);
  }
  QString Status() const { return form->StatusBar()->StatusText(); }
};

}  // namespace

class WindowNoteTest : public QObject {
  Q_OBJECT

 private slots:
  void NotedAfterStartUpInFrontOfItsState_data() {
    QTest::addColumn<QStringList>("unknown");
    QTest::addColumn<bool>("playing");
    QTest::addColumn<QString>("note");
    QTest::newRow("one, nothing else to say") << QStringList{"-recrod:/tmp/x.DAT"} << false
                                              << "Unknown option -recrod:/tmp/x.DAT, ignored";
    QTest::newRow("two, while a file plays")
        << QStringList{"-frob", "--recrod:x"} << true << "Unknown options -frob --recrod:x, ignored";
    QTest::newRow("none") << QStringList{} << false << "";
  }

  void NotedAfterStartUpInFrontOfItsState() {
    QFETCH(QStringList, unknown);
    QFETCH(bool, playing);
    QFETCH(QString, note);
    TempDir dir;
    MonitorOptions options;
    if (playing) {
      // Long enough apart that it is still playing when looked at.
      TempDir::WriteFile(dir / "p.hex", "41\r\n--\r\n42\r\n");
      options.PlayFormat = RecorderState::PlayHex;
      options.PlayPath = dir / "p.hex";
      options.PlayGap = 100;
      options.PlayGapGiven = true;
      options.Repeat = true;
    }
    Window window(options);
    std::vector<std::string> typed;
    for (const QString& option : unknown) typed.push_back(option.toStdString());
    window.form->show();
    NoteUnknownOptions(*window.form, typed);
    QTRY_VERIFY_WITH_TIMEOUT(window.form->PortControlTab()->count() == 2, 3000);
    QTest::qWait(50);
    const QString startState =
        playing ? QString::fromStdString(window.session->GetRecorder().StatusText()) : QString();
    if (playing) QVERIFY(startState.startsWith("Playing"));
    if (note.isEmpty()) {
      QCOMPARE(window.Status(), startState);
    } else {
      QCOMPARE(window.Status(), startState.isEmpty() ? note : note + "; " + startState);
      QCOMPARE(window.form->StatusBar()->StatusColour(), QColor(128, 0, 0));
    }
    window.form->close();
  }
};

QTEST_MAIN(WindowNoteTest)
#include "WindowNoteTest.moc"
