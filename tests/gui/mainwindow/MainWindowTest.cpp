// The main window end to end over real pseudo-terminals, offscreen: keys
// typed into the window go out on the selected port and show as transmitted
// packets, bytes on the wire show as received packets, the setup controls
// reach the device, and the keys and tabs behave as the user expects.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <unistd.h>

#include <vector>

#include "core/capture/TWComms.h"
#include "core/config/INIUnit.h"
#include "core/config/ProjectState.h"
#include "core/platform/PosixSerialDevice.h"
#include "core/platform/Termios2.h"
#include "core/session/MonitorSession.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/PortSetupPanel.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/mainwindow/TWMain.h"
#include "support/PcapngBlocks.h"
#include "support/PtyPorts.h"
#include "support/TempDir.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

// Writes data to a project file in the temporary folder; its path, or "" when it cannot be written.
std::string WriteTempProject(const char* stem, const ProjectData& data) {
  const std::string path =
      (QDir::tempPath() + "/tapwise-" + stem + "-" + QString::number(getpid()) + ".TW").toStdString();
  ProjectState writer;
  return writer.WriteProject(path, data) ? path : std::string();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void TwoPortsGiveTwoTabsInAscendingOrder() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(7);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    TTabControlSmart* tabs = rig.form->PortControlTab();
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->tabText(0), QString("COM3"));
    QCOMPARE(tabs->tabText(1), QString("COM7"));
    QCOMPARE(rig.session->SelectedPort.load(), uint8_t{3});
    tabs->SetTabIndex(1);
    QCOMPARE(rig.session->SelectedPort.load(), uint8_t{7});
  }

  void DraggedTabKeepsItsPortAndSettings() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    ports.AddPort(7);
    QVERIFY(rig.Start());
    PortSettings fast = rig.Comms().GetPortSettings(7);
    fast.BaudRate = 57600;
    rig.Comms().SetPortSettings(7, fast);
    TTabControlSmart* tabs = rig.form->PortControlTab();
    const QPoint from = tabs->tabRect(1).center();
    const QPoint to = tabs->tabRect(0).center();
    QTest::mousePress(tabs, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 5; ++i) QTest::mouseMove(tabs, from + (to - from) * i / 5);
    QTest::mouseRelease(tabs, Qt::LeftButton, {}, to);
    QCOMPARE(tabs->tabText(0), QString("COM7"));
    QCOMPARE(rig.form->TabPort(0), uint8_t{7});
    QCOMPARE(rig.form->TabPort(1), uint8_t{3});
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(rig.session->SelectedPort.load(), uint8_t{7});
    QCOMPARE(rig.form->PortSetup()->BaudComboBox->currentText(), QString("57k6 baud"));
    tabs->SetTabIndex(1);
    QCOMPARE(rig.session->SelectedPort.load(), uint8_t{3});
    QCOMPARE(rig.form->PortSetup()->BaudComboBox->currentText(), QString("9600 baud"));
  }

  void TypedKeyGoesOutAndShowsAsOneByteTransmission() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    rig.Char('a');
    QCOMPARE(wire.ReadFor(1), Pty::Bytes{'a'});
    QVERIFY(rig.WaitForLines(1));
    const DisplayLine& line = rig.Lines().Line(0);
    QCOMPARE(line.Origin, uint8_t{OriginTransmitted});
    QCOMPARE(line.Port, uint8_t{3});
    QCOMPARE(QString::fromStdString(line.Text.substr(0, 5)), QString("COM3*"));
    QCOMPARE(QString::fromStdString(line.Text.substr(12, 3)), QString(" 61"));

    // With a setup list focused, typed characters still go to the port.
    rig.form->PortSetup()->ParityComboBox->setFocus();
    QTRY_VERIFY(rig.form->PortSetup()->ParityComboBox->hasFocus());
    rig.Key(Qt::Key_Return);
    QCOMPARE(wire.ReadFor(1), Pty::Bytes{'\r'});
    QCOMPARE(rig.form->PortSetup()->ParityComboBox->currentIndex(), 0);
  }

  void BytesOnTheWireShowAsReceivedPacketInThePortColour() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    QVERIFY(wire.WriteAll({'P', 'I', 'N', 'G', '\r', '\n'}));
    QVERIFY(rig.WaitForLines(1));
    const DisplayLine& line = rig.Lines().Line(0);
    QCOMPARE(line.Origin, uint8_t{OriginReceived});
    QCOMPARE(line.Port, uint8_t{3});
    QVERIFY(line.Text.find("50 49 4E 47  0D 0A") != std::string::npos);

    // COM3's text is maroon on the window colour.
    DisplayPaintBox* display = rig.form->Display();
    QCOMPARE(display->PortColour(3), QColor(128, 0, 0));
    const QImage image = display->grab().toImage();
    int maroon = 0;
    for (int y = 0; y < display->LineHeight(); ++y) {
      for (int x = 0; x < image.width(); ++x) maroon += image.pixelColor(x, y) == QColor(128, 0, 0);
    }
    QVERIFY(maroon > 20);
  }

  void BaudListReachesTheDevice() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    QComboBox* baud = rig.form->PortSetup()->BaudComboBox;
    QCOMPARE(baud->currentText(), QString("9600 baud"));
    baud->setCurrentIndex(baud->findText("115k2 baud"));
    QCOMPARE(rig.Comms().GetPortSettings(3).BaudRate, 115200u);
    const auto rates = ReadLineRates(RealSysCalls(), wire.MasterFd());
    QVERIFY(rates.has_value());
    QCOMPARE(rates->Output, 115200u);
  }

  void ChangingTabsLoadsWithoutWriting() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    ports.AddPort(7);
    QVERIFY(rig.Start());
    PortSettings odd = rig.Comms().GetPortSettings(7);
    odd.BaudRate = 12345;  // not in the list
    odd.Parity = ParityEven;
    rig.Comms().SetPortSettings(7, odd);
    rig.form->PortSetup()->BaudComboBox->setCurrentIndex(2);  // COM3: 600 baud
    rig.form->PortControlTab()->SetTabIndex(1);
    QCOMPARE(rig.Comms().GetPortSettings(7), odd);
    // The list keeps showing the rate it showed before.
    QCOMPARE(rig.form->PortSetup()->BaudComboBox->currentText(), QString("600 baud"));
    QCOMPARE(rig.form->PortSetup()->ParityComboBox->currentText(), QString("Even Parity"));
    QCOMPARE(rig.Comms().GetPortSettings(3).BaudRate, 600u);
  }

  void DisablingAPortReleasesIt() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    QToolButton* disable = rig.form->PortSetup()->bDisable;
    QTest::mouseClick(disable, Qt::LeftButton);
    QVERIFY(disable->isChecked());
    QVERIFY(!rig.Comms().IsPortEnabled(3));
    OpenResult other;
    QTRY_VERIFY_WITH_TIMEOUT((other = PosixSerialDevice::Open(wire.SlavePath())).Status == OpenStatus::Opened, 3000);
  }

  void FunctionKeysSendUserPacketsByModifier() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    std::vector<std::pair<int, uint8_t>> sent;
    rig.form->SetUserPacketSender([&sent](int packet, uint8_t port) { sent.emplace_back(packet, port); });
    rig.Key(Qt::Key_F1);
    rig.Key(Qt::Key_F3, Qt::ControlModifier);
    rig.Key(Qt::Key_F1, Qt::ShiftModifier);
    rig.Key(Qt::Key_F12, Qt::ControlModifier | Qt::ShiftModifier);
    rig.Key(Qt::Key_F5, Qt::AltModifier);
    const std::vector<std::pair<int, uint8_t>> expected = {{1, 3}, {15, 3}, {25, 3}, {48, 3}};
    QCOMPARE(sent, expected);
  }

  void AltKeysWorkTheToolbar() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    rig.Key(Qt::Key_F, Qt::AltModifier);
    QVERIFY(rig.form->ToolBar()->bDisableAll->isChecked());
    QVERIFY(rig.session->Drain().Frozen());
    rig.Key(Qt::Key_F, Qt::AltModifier);
    QVERIFY(!rig.session->Drain().Frozen());

    QVERIFY(wire.WriteAll({'x'}));
    QVERIFY(rig.WaitForLines(1));
    rig.Key(Qt::Key_C, Qt::AltModifier);
    QCOMPARE(rig.Lines().LineCount(), 0);
    // Alt letters never reach the port; Play is not there to press yet.
    rig.Key(Qt::Key_P, Qt::AltModifier);
    QVERIFY(!rig.form->ToolBar()->bPlay->isChecked());
    QVERIFY(wire.ReadFor(1, std::chrono::milliseconds(200)).empty());

    rig.Key(Qt::Key_F4, Qt::AltModifier);
    QTRY_VERIFY(!rig.form->isVisible());
  }

  void ArrowsScrollTheDisplayWhateverHasTheFocus() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    Pty::Bytes many(16 * 60, 'z');
    QVERIFY(wire.WriteAll(many));
    QTRY_VERIFY_WITH_TIMEOUT(rig.Lines().LineCount() >= 60, 3000);
    QTest::qWait(200);
    QScrollBar* bar = rig.form->Display()->ScrollBox()->verticalScrollBar();
    QTRY_VERIFY(bar->value() > 0);
    const int end = bar->value();
    rig.form->PortSetup()->StopComboBox->setFocus();
    QTRY_VERIFY(rig.form->PortSetup()->StopComboBox->hasFocus());
    rig.Key(Qt::Key_Up);
    QCOMPARE(bar->value(), end - rig.form->Display()->LineHeight());
    QCOMPARE(rig.form->PortSetup()->StopComboBox->currentIndex(), 0);
    rig.Key(Qt::Key_PageUp);
    QCOMPARE(bar->value(), std::max(0, end - rig.form->Display()->LineHeight() -
                                           rig.form->Display()->ScrollBox()->viewport()->height()));
    QVERIFY(wire.ReadFor(1, std::chrono::milliseconds(100)).empty());
  }

  void ClickSelectsEveryLineOfThePacket() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    Pty::Bytes forty(40);
    for (size_t i = 0; i < forty.size(); ++i) forty[i] = static_cast<uint8_t>(i);
    QVERIFY(wire.WriteAll(forty));
    QVERIFY(rig.WaitForLines(3));
    DisplayPaintBox* display = rig.form->Display();
    QTest::mouseClick(display, Qt::LeftButton, {}, QPoint(30, display->LineHeight() + 2));
    const std::string& text = display->Selection().SelectedPacketText();
    QCOMPARE(QString::fromStdString(text.substr(0, 14)), QString("00 01 02 03  0"));
    QCOMPARE(std::count(text.begin(), text.end(), '\n'), 3);
  }

  void NoPortsIsReported() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    QVERIFY(!rig.Start());
    QCOMPARE(rig.dialogs.shown.size(), size_t{1});
    QVERIFY(rig.dialogs.shown[0].find("No COM Ports are Available") == 0);
  }

  void RecordingThroughTheButtons() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    MainToolBar* bar = rig.form->ToolBar();
    // A cancelled dialog leaves the program idle with Stop down.
    QTest::mouseClick(bar->bRecord, Qt::LeftButton);
    QCOMPARE(rig.dialogs.asked.size(), size_t{1});
    QCOMPARE(QString::fromStdString(rig.dialogs.asked[0].Title), QString("Record: Select File"));
    QVERIFY(bar->bStop->isChecked());
    QVERIFY(bar->bPlay->isEnabled() && bar->bRecord->isEnabled());

    const QString dir = QDir::tempPath() + "/tapwise-window-" + QString::number(getpid());
    QDir().mkpath(dir);
    // A file that cannot be created: the error box, whatever the reason,
    // and the program stays idle.
    rig.dialogs.fileAnswer = FileDialogResult{(dir + "/no-such-folder/capture").toStdString(), 1};
    QTest::mouseClick(bar->bRecord, Qt::LeftButton);
    QCOMPARE(rig.dialogs.shown.size(), size_t{1});
    QCOMPARE(QString::fromStdString(rig.dialogs.shown[0]), QString("\\1Error: File could not be opened"));
    QCOMPARE(rig.session->GetRecorder().State(), RecorderState::Idle);
    QVERIFY(bar->bStop->isChecked());

    rig.dialogs.fileAnswer = FileDialogResult{(dir + "/capture").toStdString(), 1};
    QTest::mouseClick(bar->bRecord, Qt::LeftButton);
    QCOMPARE(rig.session->GetRecorder().State(), RecorderState::RecordPacketData);
    QCOMPARE(rig.form->StatusBar()->StatusText(), QString("Recording capture.DAT"));
    QCOMPARE(rig.form->StatusBar()->StatusColour(), QColor(128, 0, 0));
    QVERIFY(!bar->bPlay->isEnabled());
    QVERIFY(wire.WriteAll({'R', 'E', 'C'}));
    QVERIFY(rig.WaitForLines(1));
    QTest::mouseClick(bar->bStop, Qt::LeftButton);
    QCOMPARE(rig.session->GetRecorder().State(), RecorderState::Idle);
    QFile file(dir + "/capture.DAT");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QCOMPARE(content.size(), 82);
    QVERIFY(content.contains("52 45 43"));
    QDir(dir).removeRecursively();
  }

  void RecordingPcapngThroughTheThirdFileType() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    MonitorOptions commandLine;
    commandLine.LinkType = 148;
    QVERIFY(rig.Start(commandLine));
    const QString dir = QDir::tempPath() + "/tapwise-pcapng-" + QString::number(getpid());
    QDir().mkpath(dir);
    rig.dialogs.fileAnswer = FileDialogResult{(dir + "/capture.DAT").toStdString(), 3};
    QTest::mouseClick(rig.form->ToolBar()->bRecord, Qt::LeftButton);
    QCOMPARE(rig.dialogs.asked.size(), size_t{1});
    QVERIFY(rig.dialogs.asked[0].Filter.find("|pcapng Files (*.pcapng)|*.pcapng") != std::string::npos);
    QCOMPARE(rig.session->GetRecorder().State(), RecorderState::RecordPcapng);
    QCOMPARE(rig.form->StatusBar()->StatusText(), QString("Recording capture.pcapng"));
    QCOMPARE(rig.form->StatusBar()->StatusColour(), QColor(128, 0, 0));
    QVERIFY(!rig.form->ToolBar()->bPlay->isEnabled());
    QVERIFY(wire.WriteAll({'R', 'E', 'C'}));
    QVERIFY(rig.WaitForLines(1));
    QTest::mouseClick(rig.form->ToolBar()->bStop, Qt::LeftButton);
    QCOMPARE(rig.form->StatusBar()->StatusText(), QString(""));
    QFile file(dir + "/capture.pcapng");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    const PcapngFile read = ReadPcapngBlocks(std::string_view(content.constData(), content.size()));
    QCOMPARE(QString::fromStdString(read.Error), QString());
    QCOMPARE(read.Blocks.size(), size_t{3});
    QCOMPARE(read.Blocks[1].LinkType, uint16_t{148});
    QCOMPARE(QString::fromStdString(read.Blocks[1].Option(2)), QString("COM3"));
    QCOMPARE(QString::fromStdString(read.Blocks[2].Data), QString("REC"));
    QDir(dir).removeRecursively();
  }

  void PlayingOneShotSendsOnePacketPerReleaseOfPause() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    const QString path = QDir::tempPath() + "/tapwise-play-" + QString::number(getpid()) + ".txt";
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("01 02\r\nnot hex\r\n03\r\n");
    }
    MainToolBar* bar = rig.form->ToolBar();
    rig.dialogs.fileAnswer = FileDialogResult{path.toStdString(), 2};
    QTest::mouseClick(bar->bPlay, Qt::LeftButton);
    QCOMPARE(rig.session->GetRecorder().State(), RecorderState::PlayHex);
    QVERIFY(bar->bPause->isChecked());
    QVERIFY(!bar->bRecord->isEnabled());
    QVERIFY(wire.ReadFor(1, std::chrono::milliseconds(200)).empty());
    QTest::mouseClick(bar->bPause, Qt::LeftButton);  // release: one packet
    QCOMPARE(wire.ReadFor(2), (Pty::Bytes{1, 2}));
    QTRY_VERIFY(bar->bPause->isChecked());
    QVERIFY(wire.ReadFor(1, std::chrono::milliseconds(200)).empty());
    rig.Key(Qt::Key_A, Qt::AltModifier);  // Alt+A releases it as a click does
    QCOMPARE(wire.ReadFor(1), Pty::Bytes{3});
    // The file has ended: playing stops by itself.
    QTRY_COMPARE_WITH_TIMEOUT(rig.session->GetRecorder().State(), RecorderState::Idle, 3000);
    QVERIFY(bar->bStop->isChecked());
    QFile::remove(path);
  }

  // The Play button plays a file that does not open as an empty one: no
  // box, and once Pause is released playing ends by itself.
  void PlayingAFileThatDoesNotOpenPlaysItEmpty() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    MainToolBar* bar = rig.form->ToolBar();
    const QString path = QDir::tempPath() + "/tapwise-no-such-file-" + QString::number(getpid()) + ".txt";
    rig.dialogs.fileAnswer = FileDialogResult{path.toStdString(), 2};
    QTest::mouseClick(bar->bPlay, Qt::LeftButton);
    QCOMPARE(rig.session->GetRecorder().State(), RecorderState::PlayHex);
    QVERIFY(bar->bPause->isChecked());
    QVERIFY(rig.dialogs.shown.empty());
    QTest::mouseClick(bar->bPause, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(rig.session->GetRecorder().State(), RecorderState::Idle, 3000);
    QVERIFY(bar->bStop->isChecked());
    QVERIFY(rig.dialogs.shown.empty());
  }

  // A file named at start (as -demo names its recording) plays from the
  // start, without a click, when the play settings are continuous.
  void AFileNamedAtStartPlaysAtOnce() {
    const QString path = QDir::tempPath() + "/tapwise-start-" + QString::number(getpid()) + ".txt";
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("01 02\r\nnot hex\r\n03\r\n");
    }
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    MonitorOptions options;
    options.PlayFormat = RecorderState::PlayHex;
    options.PlayPath = path.toStdString();
    options.PlayGap = 0;
    options.PlayGapGiven = true;
    options.ContinuousPlay = true;
    QVERIFY(rig.Start(options));
    QCOMPARE(rig.form->StatusBar()->StatusText().left(7), QString("Playing"));
    QVERIFY(!rig.form->ToolBar()->bRecord->isEnabled());
    QCOMPARE(wire.ReadFor(3), (Pty::Bytes{1, 2, 3}));
    QTRY_COMPARE_WITH_TIMEOUT(rig.session->GetRecorder().State(), RecorderState::Idle, 3000);
    QVERIFY(rig.form->ToolBar()->bStop->isChecked());
    QFile::remove(path);
  }

  // A recording the command line started has Record down, so the Alt keys,
  // which apply the buttons to the recorder, leave it recording.
  void AltKeysLeaveTheStartUpRecordingRecording() {
    const QString path = QDir::tempPath() + "/tapwise-start-record-" + QString::number(getpid()) + ".DAT";
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    MonitorOptions options;
    options.RecordFormat = RecorderState::RecordPacketData;
    options.RecordPath = path.toStdString();
    QVERIFY(rig.Start(options));
    MainToolBar* bar = rig.form->ToolBar();
    QVERIFY(bar->bRecord->isChecked());
    QVERIFY(!bar->bStop->isChecked());
    for (Qt::Key key : {Qt::Key_Alt, Qt::Key_P, Qt::Key_R, Qt::Key_C, Qt::Key_Q}) {
      rig.Key(key, Qt::AltModifier);
      QCOMPARE(rig.session->GetRecorder().State(), RecorderState::RecordPacketData);
    }
    QVERIFY(wire.WriteAll({'R', 'E', 'C'}));
    QVERIFY(rig.WaitForLines(1));
    rig.Key(Qt::Key_S, Qt::AltModifier);
    QCOMPARE(rig.session->GetRecorder().State(), RecorderState::Idle);
    QVERIFY(bar->bStop->isChecked());
    QVERIFY(rig.dialogs.asked.empty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("52 45 43"));
    QFile::remove(path);
  }

  // A project named on the command line that is not there is mentioned in
  // the status bar; a file of another kind named as one is refused as not
  // a project, in the message box.
  void ProjectFilesThatCannotBeReadAreReported() {
    TempDir dir;
    TempDir::WriteFile(dir / "bad.DAT", "not a project at all\r\n");
    const std::string& folder = dir.Path();
    struct Case {
      std::string named;
      std::string status;  // what the status bar starts with
      std::string box;     // the message box, if any
    };
    const std::vector<Case> cases = {
        {folder + "/nothere", "no project file " + folder + "/nothere.TW", ""},
        {folder + "/bad.DAT", "",
         "\\b\\1Project not read\\b\\n" + folder + "/bad.DAT is not a project file (a project file's name ends in .TW)"},
    };
    for (const Case& c : cases) {
      PtyPorts ports;
      WindowRig rig(&ports.opener);
      ports.AddPort(3);
      MonitorOptions options;
      options.ProjectFiles = {c.named};
      QVERIFY(rig.Start(options));
      QCOMPARE(rig.form->windowTitle(), QString("Tapwise"));
      QCOMPARE(rig.form->StatusBar()->StatusText().left(static_cast<int>(c.status.size())),
               QString::fromStdString(c.status));
      const std::vector<std::string> boxes = c.box.empty() ? std::vector<std::string>{}
                                                           : std::vector<std::string>{c.box};
      QCOMPARE(rig.dialogs.shown, boxes);
    }
  }

  void AnInvalidPacketDataFileIsReported() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    PlaySettings continuous = rig.session->GetPlaySettings();
    continuous.OneShot = 0;
    rig.session->SetPlaySettings(continuous);
    const QString path = QDir::tempPath() + "/tapwise-bad-" + QString::number(getpid()) + ".DAT";
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("this is not a packet data file\r\n");
    }
    rig.dialogs.fileAnswer = FileDialogResult{path.toStdString(), 1};
    QTest::mouseClick(rig.form->ToolBar()->bPlay, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(rig.session->GetRecorder().State(), RecorderState::Idle, 3000);
    QTRY_VERIFY(std::find(rig.dialogs.shown.begin(), rig.dialogs.shown.end(), "\\1Error: Invalid Packet Data file") !=
                rig.dialogs.shown.end());
    QFile::remove(path);
  }

  void FunctionKeySendsTheUserPacket() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    QVERIFY(rig.Start());
    rig.session->GetUserPackets().Table().SetPacketText(13, "01 \"AB\" $9");
    rig.session->GetUserPackets().Table().SetPacketText(2, "01 GG");
    rig.Key(Qt::Key_F1, Qt::ControlModifier);
    QCOMPARE(wire.ReadFor(4), (Pty::Bytes{0x01, 'A', 'B', 0x84}));
    rig.Key(Qt::Key_F2);
    QTRY_VERIFY(!rig.dialogs.shown.empty());
    QCOMPARE(QString::fromStdString(rig.dialogs.shown.back()), QString("\\bError in User Packet"));
    QVERIFY(wire.ReadFor(1, std::chrono::milliseconds(200)).empty());
  }

  void ProjectOnTheCommandLineIsReadBeforeThePortsOpen() {
    ProjectData data;
    data.Ports[3].BaudRate = 115200;
    data.Rows[1].Packet = "41 42";
    const std::string path = WriteTempProject("project", data);
    QVERIFY(!path.empty());
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    MonitorOptions commandLine;
    commandLine.ProjectFiles = {path};
    QVERIFY(rig.Start(commandLine));
    const auto rates = ReadLineRates(RealSysCalls(), wire.MasterFd());
    QVERIFY(rates.has_value());
    QCOMPARE(rates->Output, 115200u);
    QCOMPARE(rig.form->PortSetup()->BaudComboBox->currentText(), QString("115k2 baud"));
    QVERIFY(rig.form->windowTitle().endsWith(QString::fromStdString(path)));
    rig.Key(Qt::Key_F1);
    QCOMPARE(wire.ReadFor(2), (Pty::Bytes{'A', 'B'}));

    // A change makes closing ask; No leaves the file as it was.
    rig.form->PortSetup()->ParityComboBox->setCurrentIndex(1);
    QVERIFY(rig.session->Project().ConfigChanged());
    rig.form->close();
    QCOMPARE(QString::fromStdString(rig.dialogs.shown.back()), QString("\\b\\1Configuration has changed\\nSave Changes?"));
    ProjectData reread;
    ProjectState reader;
    QVERIFY(reader.ReadProject(path, reread).Read());
    QCOMPARE(reread.Ports[3].Parity, uint8_t{ParityNone});
    std::remove(path.c_str());
  }

  // Alt+X or the close box while recording or playing: the file keeps what
  // was recorded, no dialog comes after the window, and the player is down.
  void ClosingWhileRecordingOrPlayingEndsCleanly() {
    const QString dir = QDir::tempPath() + "/tapwise-close-" + QString::number(getpid());
    QDir().mkpath(dir);
    {
      QFile file(dir + "/play.txt");
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("01 02\r\n");
    }
    for (bool byKey : {true, false}) {
      PtyPorts ports;
    WindowRig rig(&ports.opener);
      Pty& wire = ports.AddPort(3);
      QVERIFY(rig.Start());
      MainToolBar* bar = rig.form->ToolBar();
      rig.dialogs.fileAnswer = FileDialogResult{(dir + "/capture").toStdString(), 1};
      QTest::mouseClick(bar->bRecord, Qt::LeftButton);
      QCOMPARE(rig.session->GetRecorder().State(), RecorderState::RecordPacketData);
      QVERIFY(wire.WriteAll({'R', 'E', 'C'}));
      QVERIFY(rig.WaitForLines(1));
      if (byKey) {
        rig.Key(Qt::Key_X, Qt::AltModifier);
      } else {
        rig.form->close();
      }
      QVERIFY(!rig.form->isVisible());
      QCOMPARE(rig.dialogs.asked.size(), size_t{1});
      QCOMPARE(rig.session->GetRecorder().State(), RecorderState::Idle);
      QVERIFY(bar->bStop->isChecked());
      // A late click of a recorder button does nothing either.
      QTest::mouseClick(bar->bRecord, Qt::LeftButton);
      QCOMPARE(rig.dialogs.asked.size(), size_t{1});
      QFile file(dir + "/capture.DAT");
      QVERIFY(file.open(QIODevice::ReadOnly));
      QCOMPARE(file.readAll().size(), 82);
    }
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    rig.dialogs.fileAnswer = FileDialogResult{(dir + "/play.txt").toStdString(), 2};
    QTest::mouseClick(rig.form->ToolBar()->bPlay, Qt::LeftButton);
    QCOMPARE(rig.session->GetRecorder().State(), RecorderState::PlayHex);
    rig.Key(Qt::Key_X, Qt::AltModifier);
    QCOMPARE(rig.dialogs.asked.size(), size_t{1});
    QCOMPARE(rig.session->GetRecorder().State(), RecorderState::Idle);
    QDir(dir).removeRecursively();
  }

  // A first port whose rate is not in the list: the list shows nothing, and
  // a change of another list keeps the rate on the line.
  void AnUnlistedRateStaysOnTheDeviceAfterAParityChange() {
    ProjectData data;
    data.Ports[3].BaudRate = 12345;
    const std::string path = WriteTempProject("rate", data);
    QVERIFY(!path.empty());
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& wire = ports.AddPort(3);
    MonitorOptions commandLine;
    commandLine.ProjectFiles = {path};
    QVERIFY(rig.Start(commandLine));
    QCOMPARE(rig.form->PortSetup()->BaudComboBox->currentIndex(), -1);
    rig.form->PortSetup()->ParityComboBox->setCurrentIndex(2);
    QCOMPARE(rig.Comms().GetPortSettings(3).BaudRate, 12345u);
    const auto rates = ReadLineRates(RealSysCalls(), wire.MasterFd());
    QVERIFY(rates.has_value());
    QCOMPARE(rates->Output, 12345u);
    std::remove(path.c_str());
  }

  // Ports the user mapped that did not open are named in the status bar.
  void UnusableNamedPortsAreReported() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    ports.opener.ForceStatus(5, OpenStatus::Busy);
    ports.opener.SetExplicit(5);
    QVERIFY(rig.Start());
    QVERIFY(rig.form->StatusBar()->StatusText().startsWith("COM5"));
    QVERIFY(rig.form->StatusBar()->StatusText().contains("busy"));
  }

  void ClosingWritesTheSettings() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    rig.form->close();
    for (const char* key : {"WinTWFormLeft", "WinTWFormWidth", "FontName", "FontSize", "Colour18",
                            "RecordType", "WinColoursFormHeight", "UserPacketsFormGrid3"}) {
      bool found = false;
      for (const std::string& line : rig.settings.Lines()) found = found || line.rfind(std::string(key) + "\t", 0) == 0;
      QVERIFY2(found, key);
    }
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
