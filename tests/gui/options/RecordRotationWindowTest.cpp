// Rotating recordings in the window, offscreen over real pseudo-terminals:
// the Properties window's Record group edits the project's rotation (saved
// and read back), the Record button's recordings rotate with it, a full disk
// says in the status bar which file it removed, and a folder that goes or
// turns read-only stops the recording with a message while the display goes
// on.

#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/session/MonitorSession.h"
#include "gui/controls/EditUpDown.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/mainwindow/TWMain.h"
#include "gui/mainwindow/ToolWindows.h"
#include "gui/options/Properties.h"
#include "gui/options/RecordOptions.h"
#include "support/PtyPorts.h"
#include "support/ReadOnlyFolder.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"
#include "support/TestRecords.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

namespace fs = std::filesystem;

struct Rig : PtyPorts, WindowRig {
  Pty* wire = nullptr;
  Rig() : WindowRig(&opener) { wire = &AddPort(3); }
  TRecordOptions& Record() { return *form->Tools().Properties().gRecord; }
  // The Record button with the file dialog answering path as a raw file.
  void RecordRaw(const std::string& path) {
    dialogs.fileAnswer = FileDialogResult{path, 2};
    QTest::mouseClick(form->ToolBar()->bRecord, Qt::LeftButton);
  }
  RecorderState State() { return session->GetRecorder().State(); }
  QString Status() { return form->StatusBar()->StatusText(); }
};

void Type(TEditUpDown* edit, const char* text) {
  edit->EditBox()->selectAll();
  QTest::keyClicks(edit->EditBox(), text);
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

class RecordRotationWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void TheRecordGroupEditsTheProjectAndReadsItBack() {
    TempDir dir;
    const std::string project = dir / "rig.TW";
    {
      Rig rig;
      QVERIFY(rig.Start());
      TRecordOptions& record = rig.Record();
      QVERIFY(record.rbRecordOneFile->isChecked());
      QVERIFY(!record.eRotateKeep->isEnabled());
      QTest::mouseClick(record.rbRotateSize, Qt::LeftButton);
      QCOMPARE(rig.session->RecordRotation(), (RotationSettings{100ULL << 20, 0, 0}));
      QVERIFY(rig.session->Project().ConfigChanged());
      QVERIFY(record.eRotateKeep->isEnabled());
      Type(record.eRotateKeep, "5");
      QCOMPARE(rig.session->RecordRotation(), (RotationSettings{100ULL << 20, 0, 5}));
      // Typing a time picks rotation by time.
      Type(record.eRotateEvery, "30");
      QVERIFY(record.rbRotateTime->isChecked());
      QCOMPARE(rig.session->RecordRotation(), (RotationSettings{0, 1800, 5}));
      QVERIFY(rig.session->WriteProject(project).Ok());
    }
    Rig rig;
    MonitorOptions options;
    options.ProjectFiles = {project};
    QVERIFY(rig.Start(options));
    TRecordOptions& record = rig.Record();
    QVERIFY(record.rbRotateTime->isChecked());
    QCOMPARE(record.eRotateEvery->Value(), 30);
    QCOMPARE(record.eRotateKeep->Value(), 5);
    QVERIFY(!rig.session->Project().ConfigChanged());
    // One file again.
    QTest::mouseClick(record.rbRecordOneFile, Qt::LeftButton);
    QCOMPARE(rig.session->RecordRotation(), RotationSettings{});
    QVERIFY(!record.eRotateKeep->isEnabled());
  }

  // -rotate:4K is less than the field's unit: it shows as 1 MB and stays
  // 4 KiB until the size is typed.
  void ARotationOffTheFieldsUnitsStaysUntilItsFieldChanges() {
    Rig rig;
    MonitorOptions options;
    options.Rotation = {4096, 0, 3};
    QVERIFY(rig.Start(options));
    TRecordOptions& record = rig.Record();
    QVERIFY(record.rbRotateSize->isChecked());
    QCOMPARE(record.eRotateSize->Value(), 1);
    Type(record.eRotateKeep, "4");
    QCOMPARE(rig.session->RecordRotation(), (RotationSettings{4096, 0, 4}));
    Type(record.eRotateSize, "2");
    QCOMPARE(rig.session->RecordRotation(), (RotationSettings{2ULL << 20, 0, 4}));
  }

  void TheRecordButtonsRecordingRotatesWholePacketsInOrder() {
    TempDir dir;
    Rig rig;
    QVERIFY(rig.Start());
    rig.session->SetRecordRotation({4096, 0, 0});
    rig.RecordRaw(dir / "capture.bin");
    QCOMPARE(rig.State(), RecorderState::RecordRaw);
    std::string sent;
    for (int i = 0; i < 3; ++i) {
      const std::string packet(3000, static_cast<char>('a' + i));
      rig.Comms().Queue().Append(MakeRecord(3, packet));
      sent += packet;
      QVERIFY(rig.WaitForLines(188 * (i + 1)));
    }
    // The status names the file being written now.
    QCOMPARE(rig.Status().toStdString(), "Recording " + fs::path(rig.session->GetRecorder().RecordingPath()).filename().string());
    QTest::mouseClick(rig.form->ToolBar()->bStop, Qt::LeftButton);
    const std::vector<std::string> files = FilesIn(dir.Path());
    QCOMPARE(files.size(), size_t{3});
    std::string recorded;
    for (const std::string& file : files) {
      QVERIFY2(file.rfind(dir / "capture-", 0) == 0, file.c_str());
      recorded += TempDir::ReadFile(file);
    }
    QVERIFY(recorded == sent);
  }

  void AFullDiskSaysWhichFileItRemovedAndRecordingGoesOn() {
    SmallDisk disk(64);
    if (!disk.Ok()) QSKIP("cannot mount a small tmpfs here");
    Rig rig;
    QVERIFY(rig.Start());
    rig.session->SetRecordRotation({16384, 0, 0});
    rig.RecordRaw(disk / "capture.bin");
    QCOMPARE(rig.State(), RecorderState::RecordRaw);
    const std::string first = rig.session->GetRecorder().RecordingPath();
    // 24 packets of 4 KiB do not fit on 64 KiB: the oldest files make room.
    for (int i = 0; i < 24; ++i) rig.Comms().Queue().Append(MakeRecord(3, CountingBytes(4096)));
    QTRY_VERIFY_WITH_TIMEOUT(rig.Comms().Queue().Count() == 0, 5000);
    QTest::qWait(200);
    QCOMPARE(rig.State(), RecorderState::RecordRaw);
    QVERIFY(!fs::exists(first));
    // The last notice stays until something else takes the status bar.
    const QString status = rig.Status();
    QVERIFY2(status.startsWith("the disk is full: removed the oldest recording " + QString::fromStdString(disk / "capture-")),
             qPrintable(status));
    QVERIFY2(status.endsWith("; recording goes on"), qPrintable(status));
    QVERIFY(rig.dialogs.shown.empty());
  }

  void AFolderThatGoesOrTurnsReadOnlyStopsTheRecordingNotTheDisplay() {
    for (bool removed : {true, false}) {
      TempDir dir;
      const std::string folder = dir / "rig";
      fs::create_directory(folder);
      Rig rig;
      QVERIFY(rig.Start());
      rig.session->SetRecordRotation({0, 1, 0});
      rig.RecordRaw(folder + "/capture.bin");
      QCOMPARE(rig.State(), RecorderState::RecordRaw);
      std::unique_ptr<ReadOnlyFolder> readOnly;
      if (removed) {
        fs::remove_all(folder);
      } else {
        readOnly = std::make_unique<ReadOnlyFolder>(folder);
        if (!readOnly->Ok()) QSKIP("cannot bind-mount a folder read-only here");
      }
      QTRY_COMPARE_WITH_TIMEOUT(rig.State(), RecorderState::Idle, 5000);
      QVERIFY2(rig.Status().startsWith("Recording stopped: "), qPrintable(rig.Status()));
      QVERIFY(rig.form->ToolBar()->bStop->isChecked());
      QTRY_COMPARE_WITH_TIMEOUT(rig.dialogs.shown.size(), size_t{1}, 3000);
      QVERIFY2(rig.dialogs.shown[0].rfind("\\1Error: Recording stopped\\n", 0) == 0, rig.dialogs.shown[0].c_str());
      if (!removed) QVERIFY2(rig.Status().endsWith("Read-only file system"), qPrintable(rig.Status()));
      // Monitoring goes on.
      QVERIFY(rig.wire->WriteAll({'o', 'n'}));
      QVERIFY(rig.WaitForLines(1));
    }
  }
};

QTEST_MAIN(RecordRotationWindowTest)
#include "RecordRotationWindowTest.moc"
