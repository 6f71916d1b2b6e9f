// The Properties and Colours windows over a real session with
// pseudo-terminal ports, offscreen: each change reaches the receive
// threads, the playback thread and the display at once, and the toolbar
// opens the tool windows.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTest>

#include <thread>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/config/INIUnit.h"
#include "core/config/ProjectState.h"
#include "core/session/MonitorSession.h"
#include "gui/about/AboutForm.h"
#include "gui/controls/EditUpDown.h"
#include "gui/controls/SystemColours.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/TWMain.h"
#include "gui/mainwindow/ToolWindows.h"
#include "gui/options/Colours.h"
#include "gui/options/Properties.h"
#include "support/PtyPorts.h"
#include "support/TempDir.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

// The main window, which makes its tool windows, over pseudo-terminal ports.
struct Rig : PtyPorts, WindowRig {
  TColoursForm* colours = nullptr;
  TPropertiesForm* properties = nullptr;
  TAboutForm* about = nullptr;

  Rig() : WindowRig(&opener) {}

  bool Start(MonitorOptions options = {}) {
    const bool started = WindowRig::Start(std::move(options));
    colours = &form->Tools().Colours();
    properties = &form->Tools().Properties();
    about = &form->Tools().About();
    return started;
  }

  bool ConfigChanged() { return session->Project().ConfigChanged(); }

  // As the user types into the field: the old text replaced.
  static void Type(TEditUpDown* edit, const char* text) {
    edit->EditBox()->selectAll();
    QTest::keyClicks(edit->EditBox(), text);
  }

  // Two bursts 50 ms apart on the wire; waits for what the display shows.
  void TwoBursts(Pty& wire, uint8_t first, uint8_t second) {
    QVERIFY(wire.WriteAll({first}));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QVERIFY(wire.WriteAll({second}));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    QTest::qWait(150);
  }
};

// How many pixels of the display's first line are in the colour.
int PixelsInFirstLine(DisplayPaintBox* display, const QColor& colour) {
  const QImage image = display->grab().toImage();
  int count = 0;
  for (int y = 0; y < display->LineHeight(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
  }
  return count;
}

// How many pixels of text the display's first line has in the cells of
// columns [first, end): pixels unlike the empty last cell's.
int InkInCells(DisplayPaintBox* display, int first, int end) {
  const QImage image = display->grab().toImage();
  const QColor empty = image.pixelColor(image.width() - 2, 1);
  int count = 0;
  for (int y = 0; y < display->Geometry().TextHeight(); ++y) {
    for (int x = first * display->CharWidth(); x < end * display->CharWidth() && x < image.width(); ++x) {
      count += image.pixelColor(x, y) != empty;
    }
  }
  return count;
}

std::string WriteProject(const TempDir& dir, const char* name, const ProjectData& data) {
  const std::string path = dir / name;
  ProjectState writer;
  if (!writer.WriteProject(path, data)) return {};
  return path;
}

}  // namespace

class OptionsWindowsTest : public QObject {
  Q_OBJECT
 private slots:
  void PacketGapReachesTheReceiveThreadOnTheNextPacket() {
    Rig rig;
    Pty& wire = rig.AddPort(3);
    QVERIFY(rig.Start());
    QCOMPARE(rig.properties->eTimeOut->Text(), QString("10"));
    rig.TwoBursts(wire, 'A', 'B');
    QCOMPARE(rig.Lines().LineCount(), 2);

    Rig::Type(rig.properties->eTimeOut, "100");
    QCOMPARE(rig.Comms().PacketGap.load(), uint16_t{100});
    QVERIFY(rig.ConfigChanged());
    rig.TwoBursts(wire, 'C', 'D');
    QCOMPARE(rig.Lines().LineCount(), 3);
    QVERIFY(rig.Lines().Line(2).Text.find(" 43 44 ") != std::string::npos);
  }

  void AGapFromAProjectShowsRoundedDownAndStaysUntilTheFieldChanges() {
    TempDir dir;
    ProjectData data;
    data.PacketGap = 12;
    data.HexDisplay = false;
    const std::string path = WriteProject(dir, "gap.TW", data);
    QVERIFY(!path.empty());
    Rig rig;
    rig.AddPort(3);
    QVERIFY(rig.Start());
    TEditUpDown* gap = rig.properties->eTimeOut;
    Rig::Type(gap, "100");
    // Reading the project loads the window; the field's new text must not
    // pass for the user's change.
    rig.form->ReadProject(false, path);
    QCOMPARE(gap->Text(), QString("10"));
    QCOMPARE(rig.Comms().PacketGap.load(), uint16_t{12});
    QVERIFY(!rig.ConfigChanged());
    // The project's ASCII mode: the gap field is off as after a click on it.
    QVERIFY(rig.properties->rbDisplayASCII->isChecked());
    QVERIFY(!gap->isEnabled());
    QTest::mouseClick(rig.properties->rbDisplayHex, Qt::LeftButton);
    QVERIFY(gap->isEnabled());
    QCOMPARE(rig.Comms().PacketGap.load(), uint16_t{12});
    QTest::keyClick(gap->EditBox(), Qt::Key_Up);
    QCOMPARE(gap->Text(), QString("15"));
    QCOMPARE(rig.Comms().PacketGap.load(), uint16_t{15});
  }

  void SwitchingTheDisplayModeEmptiesTheDisplayOnce() {
    Rig rig;
    Pty& wire = rig.AddPort(3);
    QVERIFY(rig.Start());
    QVERIFY(wire.WriteAll({'h', 'i'}));
    QVERIFY(rig.WaitForLines(1));
    QTest::mouseClick(rig.properties->rbDisplayASCII, Qt::LeftButton);
    QVERIFY(!rig.session->Drain().HexDisplay());
    QCOMPARE(rig.Lines().LineCount(), 0);
    QCOMPARE(rig.form->Display()->height(), 0);
    QVERIFY(rig.ConfigChanged());
    QVERIFY(!rig.properties->eTimeOut->isEnabled());

    QVERIFY(wire.WriteAll({'h', 'o'}));
    QVERIFY(rig.WaitForLines(1));
    rig.session->Project().SetConfigChanged(false);
    QTest::mouseClick(rig.properties->rbDisplayASCII, Qt::LeftButton);  // already checked
    QCOMPARE(rig.Lines().LineCount(), 1);
    QVERIFY(!rig.ConfigChanged());
  }

  void OnePlayControlTakesAllFivePlayValues() {
    Rig rig;
    rig.AddPort(3);
    QVERIFY(rig.Start());
    TPropertiesForm* window = rig.properties;
    {
      // The other four changed without their own handlers running.
      const QSignalBlocker gap(window->ePlayGap), count(window->eTermCount);
      window->rbPlayCont->setChecked(true);
      window->cbPlayRepeat->setChecked(true);
      window->ePlayGap->SetValue(5);
      window->eTermCount->SetValue(3);
    }
    QCOMPARE(rig.session->GetPlaySettings(), PlaySettings{});
    Rig::Type(window->eTerm, "1B");
    const PlaySettings expected{0, 5, 1, 0x1B, 3};
    QCOMPARE(rig.session->GetPlaySettings(), expected);
    // What the playback thread reads on its next pass.
    QCOMPARE(rig.session->GetRecorder().GetPlaySettings(), expected);
    QVERIFY(rig.ConfigChanged());
    // A number past the field's end, while still being typed, stops at the
    // end rather than wrapping in the 16-bit count.
    Rig::Type(window->eTermCount, "70000");
    QCOMPARE(rig.session->GetPlaySettings().TerminatorCount, uint16_t{65535});
  }

  void OneShotWhilePlayingContinuouslySendsTheNextPacketAtOnce() {
    TempDir dir;
    const std::string path = dir / "play.hex";
    TempDir::WriteFile(path, "01\r\n-\r\n02\r\n-\r\n03\r\n");
    Rig rig;
    Pty& wire = rig.AddPort(3);
    QVERIFY(rig.Start());
    // Continuous with the longest gap: ten seconds between packets.
    QTest::mouseClick(rig.properties->rbPlayCont, Qt::LeftButton);
    Rig::Type(rig.properties->ePlayGap, "10000");
    QCOMPARE(rig.session->GetPlaySettings().PlayGap, uint8_t{100});
    rig.dialogs.fileAnswer = FileDialogResult{path, 2};
    MainToolBar* bar = rig.form->ToolBar();
    QTest::mouseClick(bar->bPlay, Qt::LeftButton);
    QCOMPARE(wire.ReadFor(1), Pty::Bytes{1});
    QVERIFY(!bar->bPause->isChecked());

    QTest::mouseClick(rig.properties->rbPlayOne, Qt::LeftButton);
    QCOMPARE(wire.ReadFor(1, std::chrono::milliseconds(3000)), Pty::Bytes{2});
    QTRY_VERIFY(bar->bPause->isChecked());
    QVERIFY(wire.ReadFor(1, std::chrono::milliseconds(300)).empty());
  }

  void AColourChangeRepaintsThePacketsOnScreen() {
    Rig rig;
    Pty& wire = rig.AddPort(3);
    QVERIFY(rig.Start());
    QVERIFY(wire.WriteAll({'P', 'I', 'N', 'G'}));
    QVERIFY(rig.WaitForLines(1));
    DisplayPaintBox* display = rig.form->Display();
    const QColor maroon(128, 0, 0);
    QVERIFY(PixelsInFirstLine(display, maroon) > 20);

    QTest::mouseClick(rig.properties->bColours, Qt::LeftButton);
    QVERIFY(rig.colours->isVisible());
    QTableWidget* grid = rig.colours->DrawGrid;
    grid->setFocus();
    grid->setCurrentCell(2, 1);
    const QColor green(0, 200, 0);
    rig.dialogs.colourAnswer = green;
    QTest::keyClick(grid, Qt::Key_Return);
    QCOMPARE(rig.dialogs.coloursAsked, std::vector<QColor>{maroon});
    QCOMPARE(rig.appearance.Colours()[3], PlainColourValue(green));
    QCOMPARE(grid->item(2, 1)->background().color(), green);
    QCOMPARE(PixelsInFirstLine(display, maroon), 0);
    QVERIFY(PixelsInFirstLine(display, green) > 20);

    // A change made elsewhere reaches the grid and the display; a cancelled
    // dialog then changes nothing, and the grid still shows the table.
    const QColor blue(0, 0, 255);
    rig.appearance.SetColour(3, PlainColourValue(blue));
    rig.dialogs.colourAnswer.reset();
    QTest::keyClick(grid, Qt::Key_Space);
    QCOMPARE(rig.appearance.Colours()[3], PlainColourValue(blue));
    QCOMPARE(grid->item(2, 1)->background().color(), blue);
    QVERIFY(PixelsInFirstLine(display, blue) > 20);

    // A double click on either cell of a row edits that row; Esc hides.
    grid->scrollToBottom();
    const QPoint errorsCaption = grid->visualRect(grid->model()->index(17, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, errorsCaption);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, errorsCaption);
    QCOMPARE(rig.dialogs.coloursAsked.back(), ResolveColour(rig.appearance.Colours()[ColourTable::Errors]));
    QTest::keyClick(grid, Qt::Key_Escape);
    QVERIFY(!rig.colours->isVisible());
  }

  void TheFontDialogGivesOnlyNameAndSize() {
    Rig rig;
    rig.AddPort(3);
    QVERIFY(rig.Start());
    QFont chosen("DejaVu Sans Mono", 14);
    chosen.setBold(true);
    chosen.setItalic(true);
    rig.dialogs.fontAnswer = chosen;
    QTest::mouseClick(rig.properties->bFont, Qt::LeftButton);
    QCOMPARE(rig.dialogs.fontsAsked.size(), size_t{1});
    const QFont& asked = rig.dialogs.fontsAsked.front();
    QCOMPARE(asked.family(), QString("FixedSys"));
    QCOMPARE(asked.pointSize(), 9);
    QVERIFY(!asked.bold() && !asked.italic());
    QCOMPARE(QString::fromStdString(rig.appearance.FontName()), QString("DejaVu Sans Mono"));
    QCOMPARE(rig.appearance.FontSize(), 14);
    const QFont shown = rig.form->Display()->font();
    QCOMPARE(shown.family(), QString("DejaVu Sans Mono"));
    QCOMPARE(shown.pointSize(), 14);
    QVERIFY(!shown.bold() && !shown.italic());
    QVERIFY(!rig.ConfigChanged());
  }

  void TheToolbarShowsTheToolWindows() {
    Rig rig;
    rig.AddPort(3);
    QVERIFY(rig.Start());
    MainToolBar* bar = rig.form->ToolBar();
    QVERIFY(bar->bProperties->isEnabled() && bar->bHelp->isEnabled());
    rig.form->activateWindow();
    QTest::keyClick(rig.form.get(), Qt::Key_O, Qt::AltModifier);
    QVERIFY(rig.properties->isVisible());
    QTest::keyClick(rig.properties->rbPlayOne, Qt::Key_Escape);
    QVERIFY(!rig.properties->isVisible());
    // The About box beside the window, not modal.
    QTest::mouseClick(bar->bHelp, Qt::LeftButton);
    QVERIFY(rig.about->isVisible());
    QVERIFY(!rig.about->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    rig.about->hide();
    QTest::keyClick(rig.form.get(), Qt::Key_H, Qt::AltModifier);
    QVERIFY(rig.about->isVisible());
  }

  void ThePacketTimePrecisionWidensTheHexLinesAndIsKeptInTheSettings() {
    SettingsStore settings;
    settings.Create();
    {
      PtyPorts ports;
      WindowRig rig(&ports.opener, &settings);
      Pty& wire = ports.AddPort(3);
      QVERIFY(rig.Start());
      QComboBox* time = rig.form->Tools().Properties().TimeComboBox;
      DisplayPaintBox* display = rig.form->Display();
      QCOMPARE(time->currentIndex(), 0);
      QCOMPARE(display->Geometry().ColumnCount(), 80);
      const int narrow = rig.form->width();
      QVERIFY(wire.WriteAll({'h', 'i'}));
      QVERIFY(rig.WaitForLines(1));
      // The text area starts at column 64: "hi", then nothing at 69 and 70.
      QVERIFY(InkInCells(display, 64, 66) > 0);
      QCOMPARE(InkInCells(display, 69, 71), 0);

      struct Case {
        int index;
        TimeStyle style;
        int columns;
      };
      for (const Case& c : {Case{2, TimeStyle::Microseconds, 88}, Case{1, TimeStyle::Milliseconds, 85}}) {
        time->setCurrentIndex(c.index);
        QCOMPARE(rig.appearance.Time(), c.style);
        QCOMPARE(display->Geometry().ColumnCount(), c.columns);
        QCOMPARE(display->width(), c.columns * display->CharWidth());
        QCOMPARE(rig.form->width(), narrow + (c.columns - 80) * display->CharWidth());
      }
      // Drawn five columns further right; the ring keeps the file's line.
      QVERIFY(InkInCells(display, 69, 71) > 0);
      QCOMPARE(rig.Lines().Line(0).Text.size(), size_t{80});
      // A way of looking, not part of the project.
      QVERIFY(!rig.session->Project().ConfigChanged());
      rig.form->close();
      QCOMPARE(settings.ReadText("DisplayTime"), std::string("ms"));
    }
    PtyPorts ports;
    WindowRig again(&ports.opener, &settings);
    ports.AddPort(3);
    QVERIFY(again.Start());
    QCOMPARE(again.appearance.Time(), TimeStyle::Milliseconds);
    QCOMPARE(again.form->Tools().Properties().TimeComboBox->currentIndex(), 1);
    QCOMPARE(again.form->Display()->Geometry().ColumnCount(), 85);
  }

  void OnlyThePropertiesWindowsPlaceIsRestoredAndBothAreKept() {
    Rig rig;
    for (const auto& [key, value] : std::initializer_list<std::pair<const char*, int>>{
             {"WinPropertiesFormLeft", 300}, {"WinPropertiesFormTop", 200}, {"WinPropertiesFormWidth", 900},
             {"WinColoursFormLeft", 310}, {"WinColoursFormTop", 210}, {"WinColoursFormWidth", 150},
             {"WinColoursFormHeight", 300}}) {
      rig.settings.WriteInteger(key, value);
    }
    rig.AddPort(3);
    QVERIFY(rig.Start());
    QCOMPARE(rig.properties->pos(), QPoint(300, 200));
    QVERIFY(rig.properties->width() != 900);
    QCOMPARE(rig.colours->pos(), QPoint(310, 210));
    QCOMPARE(rig.colours->size(), QSize(150, 300));
    rig.colours->move(320, 220);
    rig.form->close();
    QCOMPARE(rig.settings.ReadInteger("WinColoursFormLeft", 0), 320);
    QCOMPARE(rig.settings.ReadInteger("WinPropertiesFormWidth", 0), rig.properties->width());
  }
};

QTEST_MAIN(OptionsWindowsTest)
#include "OptionsWindowsTest.moc"
