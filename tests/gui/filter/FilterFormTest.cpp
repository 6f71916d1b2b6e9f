// The Display Filter window in the main window over real pseudo-terminals,
// offscreen: ticking ports and kinds of packet off changes the rows the
// display draws and the status bar's words, never what is captured,
// counted or recorded.

#include "gui/filter/FilterForm.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <string>

#include "core/session/MonitorSession.h"
#include "gui/filter/HighlightEditor.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/mainwindow/ToolWindows.h"
#include "support/PtyPorts.h"
#include "support/TempDir.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

QListWidgetItem* PortItem(TFilterForm& form, const QString& text) {
  const QList<QListWidgetItem*> found = form.lbPorts->findItems(text, Qt::MatchExactly);
  return found.size() == 1 ? found[0] : nullptr;
}

// The display's rows by the COM number of their lines.
std::string RowPorts(WindowRig& rig) {
  const DisplayPaintBox& box = *rig.form->Display();
  std::string ports;
  for (int row = 0; row < box.Shown().Count(); ++row) {
    ports += std::to_string(rig.Lines().Line(box.Shown().HeldIndex(row)).Port) + " ";
  }
  return ports;
}

// The background of row `row` of the display, where column 75 shows a space
// of a short packet's character column.
QColor RowBackground(WindowRig& rig, int row) {
  DisplayPaintBox& box = *rig.form->Display();
  const QImage picture = box.grab().toImage();
  const DisplayGeometry& cells = box.Geometry();
  return picture.pixelColor(cells.ColumnMiddle(75), cells.RowTop(row) + 2);
}

}  // namespace

class FilterFormTest : public QObject {
  Q_OBJECT
 private slots:
  // With a recording running: the hidden port's packets stay out of the
  // display, and the file, the counter and the ring keep every packet.
  void HiddenPortIsStillRecordedAndCounted() {
    TempDir dir;
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& three = ports.AddPort(3);
    Pty& seven = ports.AddPort(7);
    MonitorOptions options;
    options.Names = {{7, "Meter"}};
    options.RecordFormat = RecorderState::RecordPacketData;
    options.RecordPath = dir.Path() + "/all.DAT";
    QVERIFY(rig.Start(options));

    QTest::mouseClick(rig.form->ToolBar()->bFilter, Qt::LeftButton);
    TFilterForm& form = rig.form->Tools().Filter();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.lbPorts->count(), 2);
    QListWidgetItem* meter = PortItem(form, "COM7  Meter");
    QVERIFY(meter != nullptr);
    QVERIFY(PortItem(form, "COM3") != nullptr);
    QCOMPARE(meter->checkState(), Qt::Checked);
    QVERIFY(rig.form->StatusBar()->FilterNote().isEmpty());
    meter->setCheckState(Qt::Unchecked);
    QCOMPARE(rig.form->StatusBar()->FilterNote(), QString("Filter: COM3"));

    QVERIFY(seven.WriteAll({'S', 'E', 'V'}));
    QVERIFY(rig.WaitForLines(1));
    QVERIFY(three.WriteAll({'T', 'H', 'R'}));
    QVERIFY(rig.WaitForLines(2));
    QVERIFY(seven.WriteAll({'A', 'G', 'N'}));
    QVERIFY(rig.WaitForLines(3));
    QCOMPARE(rig.session->PacketCounter(), uint16_t{3});
    QCOMPARE(RowPorts(rig), std::string("3 "));
    DisplayPaintBox& box = *rig.form->Display();
    QCOMPARE(box.height(), box.LineHeight());

    // A click on the one row shown selects the COM3 packet, not the line
    // that is first in the ring.
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(20, box.LineHeight() / 2));
    QCOMPARE(box.Selection().SelectedPacket(), rig.Lines().Line(1).Sequence);
    QVERIFY(box.Selection().SelectedPacketText().find("54 48 52") != std::string::npos);

    // Every port shown again: every line comes back.
    QTest::mouseClick(form.bAllPorts, Qt::LeftButton);
    QCOMPARE(RowPorts(rig), std::string("7 3 7 "));
    QVERIFY(rig.form->StatusBar()->FilterNote().isEmpty());

    rig.session->GetRecorder().Stop();
    QFile file(QString::fromStdString(options.RecordPath));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QCOMPARE(content.size(), 3 * 82);
    for (const char* hex : {"53 45 56", "54 48 52", "41 47 4E"}) QVERIFY2(content.contains(hex), hex);
  }

  // Typed characters go out as sent packets; the boxes pick the kinds.
  void KindsOfPacket() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& three = ports.AddPort(3);
    QVERIFY(rig.Start());
    QVERIFY(three.WriteAll({'I', 'N'}));
    QVERIFY(rig.WaitForLines(1));
    rig.Char('o');
    QVERIFY(rig.WaitForLines(2));
    TFilterForm& form = rig.form->Tools().Filter();
    form.show();

    form.cbReceived->setChecked(false);
    QCOMPARE(RowPorts(rig), std::string("3 "));
    QCOMPARE(rig.Lines().Line(rig.form->Display()->Shown().HeldIndex(0)).Origin, uint8_t{OriginTransmitted});
    QCOMPARE(rig.form->StatusBar()->FilterNote(), QString("Filter: sent"));

    form.cbReceived->setChecked(true);
    form.cbSent->setChecked(false);
    QCOMPARE(rig.Lines().Line(rig.form->Display()->Shown().HeldIndex(0)).Origin, uint8_t{OriginReceived});
    QCOMPARE(rig.form->Display()->Shown().Count(), 1);

    // A pseudo-terminal has no line errors: nothing to show.
    form.cbErrorsOnly->setChecked(true);
    QCOMPARE(rig.form->Display()->Shown().Count(), 0);
    QCOMPARE(rig.form->Display()->height(), 0);
    QCOMPARE(rig.form->StatusBar()->FilterNote(), QString("Filter: received, errors only"));

    QTest::mouseClick(form.bShowAll, Qt::LeftButton);
    QCOMPARE(rig.form->Display()->Shown().Count(), 2);
    QVERIFY(form.cbSent->isChecked() && form.cbReceived->isChecked() && !form.cbErrorsOnly->isChecked());
    QVERIFY(rig.form->StatusBar()->FilterNote().isEmpty());
  }

  // A pattern typed into a rule marks the matching packet's lines at once,
  // the rule goes into the project, and a project read brings it back.
  void HighlightRuleMarksThePacketAndIsSaved() {
    TempDir dir;
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    Pty& three = ports.AddPort(3);
    QVERIFY(rig.Start());
    QVERIFY(three.WriteAll({'P', 'I', 'N', 'G'}));
    QVERIFY(rig.WaitForLines(1));
    QTest::qWait(60);
    QVERIFY(three.WriteAll({'P', 'O', 'N', 'G'}));
    QVERIFY(rig.WaitForLines(2));
    const QColor plain = RowBackground(rig, 0);
    QCOMPARE(RowBackground(rig, 1), plain);

    TFilterForm& form = rig.form->Tools().Filter();
    form.show();
    HighlightEditor& editor = *form.Highlights;
    QTest::keyClicks(editor.ePatterns[0], "\"PING\"");
    QCOMPARE(rig.session->Highlights().Rules()[0].Pattern, std::string("\"PING\""));
    QVERIFY(rig.session->Project().ConfigChanged());
    QVERIFY(editor.lProblem->text().isEmpty());
    QCOMPARE(RowBackground(rig, 0), QColor::fromRgb(0xFFD966));
    QCOMPARE(RowBackground(rig, 1), plain);

    // A packet that comes later is marked as it is shown.
    QTest::qWait(60);
    QVERIFY(three.WriteAll({'>', 'P', 'I', 'N', 'G'}));
    QVERIFY(rig.WaitForLines(3));
    QCOMPARE(RowBackground(rig, 2), QColor::fromRgb(0xFFD966));

    // A pattern that does not compile: the compiler's message in the error
    // colour, and the other rule goes on marking.
    QTest::keyClicks(editor.ePatterns[1], "02 zz");
    QCOMPARE(editor.lProblem->text(),
             QString("Rule 2: Not a pattern: 'z' at character 4 is neither a hex byte nor quoted text"));
    QCOMPARE(editor.ePatterns[1]->palette().color(QPalette::Text), QColor(192, 0, 0));
    QCOMPARE(RowBackground(rig, 0), QColor::fromRgb(0xFFD966));

    const std::string path = dir / "rules.TW";
    QVERIFY(rig.session->WriteProject(path).Ok());
    QVERIFY(TempDir::ReadFile(path).find("\r\nH1FFD966\"PING\"\r\nH29FE09F02 zz\r\n") != std::string::npos);
    editor.ePatterns[0]->selectAll();
    QTest::keyClick(editor.ePatterns[0], Qt::Key_Backspace);
    QVERIFY(rig.session->Highlights().Rules()[0].Pattern.empty());
    QCOMPARE(RowBackground(rig, 0), plain);

    QVERIFY(rig.session->ReadProject(path).Read());
    QCOMPARE(editor.ePatterns[0]->text(), QString("\"PING\""));
    QCOMPARE(editor.ePatterns[1]->text(), QString("02 zz"));
    rig.form->Display()->update();
    QCOMPARE(RowBackground(rig, 0), QColor::fromRgb(0xFFD966));
    QCOMPARE(RowBackground(rig, 2), QColor::fromRgb(0xFFD966));
  }

  // Alt+L opens the window (as the toolbar button does); Esc hides it.
  void AltKeyOpensAndEscHides() {
    PtyPorts ports;
    WindowRig rig(&ports.opener);
    ports.AddPort(3);
    QVERIFY(rig.Start());
    TFilterForm& form = rig.form->Tools().Filter();
    QVERIFY(!form.isVisible());
    rig.Key(Qt::Key_L, Qt::AltModifier);
    QVERIFY(form.isVisible());
    QTest::keyClick(form.lbPorts, Qt::Key_Escape);
    QVERIFY(!form.isVisible());
  }
};

QTEST_MAIN(FilterFormTest)
#include "FilterFormTest.moc"
