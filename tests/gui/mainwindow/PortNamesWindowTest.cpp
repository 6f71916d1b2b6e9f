// The names the user gave the ports, and the selected port's settings, where
// the window shows them: the tab captions (also after a project is read),
// the selected port's panel of the status bar, and the interfaces of a
// pcapng file recorded from the window. Real pseudo-terminals, offscreen.

#include <QComboBox>
#include <QTest>

#include "core/capture/TWComms.h"
#include "core/config/ProjectState.h"
#include "core/session/MonitorSession.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/PortSetupPanel.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/mainwindow/TWMain.h"
#include "support/PtyPorts.h"
#include "support/TempDir.h"
#include "support/Tshark.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

QString Dot() { return QString::fromUtf8(" \u00B7 "); }

// Pseudo-terminal ports 3 and 7 with their paths known, named on the command line.
struct NamedRig : PtyPorts, WindowRig {
  NamedRig() : WindowRig(&opener) {
    for (uint8_t n : {uint8_t{3}, uint8_t{7}}) opener.SetPath(n, AddPort(n).SlavePath());
  }
  static MonitorOptions Named() {
    MonitorOptions options;
    options.Names = {{3, "Meter"}};
    options.LineOptions = {{7, *ParseLineSpec("250000,8N2").Line, "-line:7=250000,8N2"}};
    return options;
  }
};

}  // namespace

class PortNamesWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void TheStatusBarNamesTheSelectedPortAndItsSettings() {
    NamedRig rig;
    QVERIFY(rig.Start(NamedRig::Named()));
    StatusPanels* status = rig.form->StatusBar();
    TTabControlSmart* tabs = rig.form->PortControlTab();
    QCOMPARE(tabs->tabText(0), QString("COM3 Meter"));
    QCOMPARE(status->PortText(), "COM3 Meter" + Dot() + "9600,8N1");
    // A rate outside the baud list, which the list cannot show.
    tabs->setCurrentIndex(1);
    QCOMPARE(status->PortText(), "COM7" + Dot() + "250000,8N2");
    tabs->setCurrentIndex(0);
    rig.form->PortSetup()->BaudComboBox->setCurrentText("115k2 baud");
    QCOMPARE(status->PortText(), "COM3 Meter" + Dot() + "115200,8N1");
    // The status text keeps its own panel.
    QCOMPARE(status->StatusLine(), QString());
    // In the port's colour, as its tab.
    QCOMPARE(status->PortColour(), rig.form->Display()->PortColour(3));
    rig.appearance.SetColour(3, ColourTable::Rgb(0, 90, 200));
    QCOMPARE(status->PortColour(), QColor(0, 90, 200));
  }

  void ReadingAProjectBringsItsNamesToTheTabs() {
    TempDir dir;
    ProjectData data;
    data.Names[7] = "Scale";
    ProjectState writer;
    QVERIFY(writer.WriteProject(dir / "named.TW", data));
    NamedRig rig;
    QVERIFY(rig.Start(NamedRig::Named()));
    rig.form->ReadProject(false, dir / "named.TW");
    TTabControlSmart* tabs = rig.form->PortControlTab();
    // The project names its ports: COM3 has no name there.
    QCOMPARE(tabs->tabText(0), QString("COM3"));
    QCOMPARE(tabs->tabText(1), QString("COM7 Scale"));
    QVERIFY(tabs->tabToolTip(1).contains("\"Scale\""));
    QCOMPARE(rig.form->StatusBar()->PortText(), "COM3" + Dot() + "9600,8N1");
  }

  void APcapngRecordedFromTheWindowDescribesThePortWithItsName() {
    if (TsharkPath().empty()) QSKIP("tshark is not installed (scripts/setup installs it)");
    TempDir dir;
    NamedRig rig;
    Pty& wire = *rig.ptys[0];
    QVERIFY(rig.Start(NamedRig::Named()));
    rig.dialogs.fileAnswer = FileDialogResult{dir / "capture.pcapng", 3};
    QTest::mouseClick(rig.form->ToolBar()->bRecord, Qt::LeftButton);
    QCOMPARE(rig.session->GetRecorder().State(), RecorderState::RecordPcapng);
    QVERIFY(wire.WriteAll({'N', 'M'}));
    QVERIFY(rig.WaitForLines(1));
    QTest::mouseClick(rig.form->ToolBar()->bStop, Qt::LeftButton);
    const TsharkRun run = RunTsharkFields(dir / "capture.pcapng", {"frame.interface_name", "frame.interface_description"});
    QCOMPARE(run.Status, 0);
    const auto rows = FieldRows(run.Out);
    QCOMPARE(rows.size(), size_t{1});
    QCOMPARE(QString::fromStdString(rows[0][0]), QString("COM3"));
    QCOMPARE(QString::fromStdString(rows[0][1]), QString::fromStdString(wire.SlavePath() + " \"Meter\""));
  }
};

QTEST_MAIN(PortNamesWindowTest)
#include "PortNamesWindowTest.moc"
