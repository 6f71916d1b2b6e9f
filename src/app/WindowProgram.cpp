#include "app/WindowProgram.h"

#include <QApplication>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/SplashChoice.h"
#include "core/config/INIUnit.h"
#include "core/config/SettingsLocation.h"
#include "core/session/MonitorSession.h"
#include "core/util/ProcessSetup.h"
#include "gui/about/AboutForm.h"
#include "gui/appearance/Appearance.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/WindowDialogs.h"
#include "gui/mainwindow/StatusPanels.h"
#include "gui/mainwindow/TWMain.h"
#include "gui/mainwindow/ToolWindows.h"

namespace tapwise {

bool WindowSystemAvailable() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

void NoteUnknownOptions(TTWForm& form, const std::vector<std::string>& options) {
  if (options.empty()) return;
  QString note = options.size() == 1 ? "Unknown option " : "Unknown options ";
  for (size_t i = 0; i < options.size(); ++i) note += (i == 0 ? "" : " ") + PathToQString(options[i]);
  note += ", ignored";
  // Start-up runs queued from the form's first show; this comes after it,
  // so that neither hides the other.
  QMetaObject::invokeMethod(
      &form,
      [&form, note] {
        StatusPanels* status = form.StatusBar();
        const QString shown = status->StatusText();
        status->SetStatus(shown.isEmpty() ? note : note + "; " + shown, QColor(128, 0, 0));
      },
      Qt::QueuedConnection);
}

int RunWindow(const CommandLine& commandLine, int argc, char** argv) {
  // Ctrl+C in the terminal, a kill or the terminal closing closes the window
  // as the user would, so the ports are released and the settings kept. The
  // signals are blocked before any thread exists and read from a descriptor
  // by the event loop.
  const sigset_t stopSignals = BlockStopSignals();
  const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);

  SettingsStore settings;
  const Result loaded = settings.Load(SettingsFilePath(SystemSettingsEnvironment()));

  QApplication app(argc, argv);
  QApplication::setApplicationName("Tapwise");
  QApplication::setWindowIcon(TapwiseIcon());

  int status = 0;
  bool settingsProblemReported = false;
  {
    MonitorSession session;
    ScreenDialogs dialogs;
    Appearance appearance;
    TTWForm form(session, settings, commandLine, dialogs, appearance);
    bool stopRequested = false;
    if (!loaded) form.ReportProblem("Settings could not be read: " + loaded.Message());
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (signalFd >= 0) {
      stopNotifier = std::make_unique<QSocketNotifier>(signalFd, QSocketNotifier::Read);
      QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &form, [&form, signalFd, &stopRequested] {
        stopRequested = true;
        signalfd_siginfo info{};
        while (read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        // A modal box would hold the close back; end its loop first.
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        // Closing asks about a changed project and keeps the settings; the
        // program ends whatever the window says, also when it was closed
        // already and only something it left behind keeps the loop alive.
        form.close();
        QCoreApplication::quit();
      });
    }
    // The splash holds the start-up until it is closed, as a modal box does;
    // a stop meanwhile ends the program before the window opens.
    if (SplashWanted(commandLine, QGuiApplication::platformName().toStdString())) form.Tools().About().ShowSplash();
    if (!stopRequested) {
      form.show();
      NoteUnknownOptions(form, commandLine.UnknownOptions);
      status = app.exec();
    }
    settingsProblemReported = form.SettingsProblemReported();
    // Closing the window normally takes the session down; a start-up that
    // failed, or a quit from elsewhere, must still release every thread.
    session.Shutdown();
  }

  if (signalFd >= 0) close(signalFd);
  const Result saved = settings.Save();
  if (!saved && !settingsProblemReported) {
    std::fprintf(stderr, "tapwise: settings not saved: %s\n", saved.Message().c_str());
  }
  return status;
}

}  // namespace tapwise
