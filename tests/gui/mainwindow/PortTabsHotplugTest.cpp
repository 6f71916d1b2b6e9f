// The main window's tabs follow ports that come and go, offscreen, over the
// session's own port map: virtual ports that are always there, and a
// pseudo-terminal behind a link that stands for a USB adapter.

#include <QTest>

#include "gui/controls/TabControlSmart.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/mainwindow/TWMain.h"
#include "support/PtyAdapter.h"
#include "support/TempDir.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

namespace {

QStringList Captions(const TTabControlSmart& tabs) {
  QStringList captions;
  for (int index = 0; index < tabs.count(); ++index) captions << tabs.tabText(index);
  return captions;
}

}  // namespace

class PortTabsHotplugTest : public QObject {
  Q_OBJECT
 private slots:
  void AdapterPluggedInLaterGetsItsTabInPlaceAndShowsWhenGone() {
    TempDir dir;
    PtyAdapter adapter(dir / "adapter");
    WindowRig rig;
    MonitorOptions options;
    options.PortOptions = {"-port:1=pty", "-port:3=pty", "-port:2=" + adapter.Link()};
    QVERIFY(rig.Start(options));
    TTWForm& form = *rig.form;
    TTabControlSmart& tabs = *form.PortControlTab();
    QCOMPARE(Captions(tabs), QStringList({"COM1", "COM3"}));
    tabs.SetTabIndex(1);
    QCOMPARE(rig.session->SelectedPort.load(), uint8_t{3});

    QVERIFY(adapter.Plug());
    QTRY_COMPARE_WITH_TIMEOUT(Captions(tabs), QStringList({"COM1", "COM2", "COM3"}), 5000);
    QCOMPARE(form.TabPort(1), uint8_t{2});
    QCOMPARE(tabs.tabToolTip(1), QString::fromStdString(adapter.Link()));
    // The user's tab stays the selected one.
    QCOMPARE(tabs.currentIndex(), 2);
    QCOMPARE(rig.session->SelectedPort.load(), uint8_t{3});

    adapter.Unplug();
    QTRY_COMPARE_WITH_TIMEOUT(tabs.tabToolTip(1), QString("COM2: device gone"), 5000);
    QCOMPARE(tabs.count(), 3);
    QVERIFY(adapter.Plug());
    QTRY_COMPARE_WITH_TIMEOUT(tabs.tabToolTip(1), QString::fromStdString(adapter.Link()), 5000);
    QVERIFY(rig.dialogs.shown.empty());
  }
  // A watched path that turns up as something other than a tty is said once
  // in the status bar (and on standard error), as at start; it gets no tab.
  void APathThatComesBackAsAFileIsSaidToBeNoTty() {
    TempDir dir;
    const std::string path = dir / "later";
    WindowRig rig;
    MonitorOptions options;
    options.PortOptions = {"-port:1=pty", "-port:2=" + path};
    QVERIFY(rig.Start(options));
    TempDir::WriteFile(path, "notes\n");
    QTRY_VERIFY_WITH_TIMEOUT(rig.form->StatusBar()->StatusText().endsWith(": not a tty"), 5000);
    QVERIFY(rig.form->StatusBar()->StatusText().startsWith("COM2 "));
    QCOMPARE(Captions(*rig.form->PortControlTab()), QStringList({"COM1"}));
  }
};

QTEST_MAIN(PortTabsHotplugTest)
#include "PortTabsHotplugTest.moc"
