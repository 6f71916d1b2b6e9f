// The main window over a tap, offscreen: the application's side is named in
// the status bar and the tab hint, and the tabs show the rate the
// application set once the device has followed it.

#include <QComboBox>
#include <QTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "gui/controls/TabControlSmart.h"
#include "gui/mainwindow/PortSetupPanel.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/mainwindow/TWMain.h"
#include "support/window/WindowRig.h"

using namespace tapwise;

class TapTabsTest : public QObject {
  Q_OBJECT

 private slots:
  void TheTabsShowTheTapAndFollowTheApplication() {
    MonitorOptions options;
    options.PortOptions = {"-tap:101,102=pty"};
    WindowRig rig;
    TTWForm& form = rig.Make(options);
    form.show();
    QVERIFY(form.FormShow());
    MonitorSession& session = *rig.session;
    QCOMPARE(session.Report().Taps.size(), size_t(1));
    const std::string line = session.Report().Taps.front();
    // The machine's own ports may add a note after it (one busy or not permitted).
    QVERIFY2(form.StatusBar()->StatusText().startsWith(QString::fromStdString(line)),
             qPrintable(form.StatusBar()->StatusText()));
    const std::string appPath = line.substr(7, line.find(' ', 7) - 7);
    TTabControlSmart* tabs = form.PortControlTab();
    // The machine's own ports may have tabs too.
    int deviceTab = -1;
    int appTab = -1;
    for (int i = 0; i < tabs->count(); ++i) {
      if (tabs->tabText(i) == "COM101") deviceTab = i;
      if (tabs->tabText(i) == "COM102") appTab = i;
    }
    QVERIFY(deviceTab >= 0 && appTab >= 0);
    QVERIFY(tabs->tabToolTip(appTab).startsWith(QString::fromStdString(appPath + " (tap of COM101 /dev/pts/")));

    const int app = open(appPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(app >= 0);
    termios settingsOfApp{};
    QCOMPARE(tcgetattr(app, &settingsOfApp), 0);
    cfsetspeed(&settingsOfApp, B57600);
    QCOMPARE(tcsetattr(app, TCSANOW, &settingsOfApp), 0);
    for (int i : {appTab, deviceTab}) {
      tabs->SetTabIndex(i);
      QTRY_COMPARE(form.PortSetup()->BaudComboBox->currentText(), QString("57k6 baud"));
    }
    close(app);
    QVERIFY(rig.dialogs.shown.empty());
  }
};

QTEST_MAIN(TapTabsTest)
#include "TapTabsTest.moc"
