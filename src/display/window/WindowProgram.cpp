#include "display/window/WindowProgram.h"

#include "capture/TWComms.h"
#include "config/INIUnit.h"
#include "config/SettingsLocation.h"
#include "display/window/TWMain.h"
#include "platform/PortMap.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tapwise {

bool WindowSystemAvailable() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

int RunWindow(const CommandLine& commandLine, int argc, char** argv) {
  // A port whose other end went away fails a write with EIO, not a signal.
  std::signal(SIGPIPE, SIG_IGN);
  // Ctrl+C in the terminal or a kill closes the window as the user would,
  // so the ports are released and the settings kept. The signals are
  // blocked before any thread exists and read from a descriptor by the
  // event loop.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);

  SettingsStore settings;
  const std::string loadProblem = settings.Load(SettingsFilePath(SystemSettingsEnvironment()));

  QApplication app(argc, argv);
  QApplication::setApplicationName("Tapwise");

  PortMap map;
  for (const std::string& option : commandLine.PortOptions) {
    const std::string problem = map.ApplyOption(option);
    if (!problem.empty()) {
      std::fprintf(stderr, "tapwise: %s\n", problem.c_str());
      MsgError("\\1Error: " + problem);
      return 2;
    }
  }

  int status = 0;
  bool settingsProblemReported = false;
  {
    TWComms comms(map);
    TTWForm form(comms, map, settings, commandLine);
    map.SetMessages(&form.Messages());
    if (!loadProblem.empty()) form.ReportProblem("Settings could not be read: " + loadProblem);
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (signalFd >= 0) {
      stopNotifier = std::make_unique<QSocketNotifier>(signalFd, QSocketNotifier::Read);
      QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &form, [&form, signalFd] {
        signalfd_siginfo info{};
        while (read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        }
        // A modal box would hold the close back; end its loop first.
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        if (!form.close()) QCoreApplication::quit();
      });
    }
    form.show();
    status = app.exec();
    settingsProblemReported = form.SettingsProblemReported();
    // Closing the window normally takes the ports down; a start-up without
    // ports, or a quit from elsewhere, must still release every thread.
    comms.DestroyPorts();
  }

  if (signalFd >= 0) close(signalFd);
  const std::string saveProblem = settings.Save();
  if (!saveProblem.empty() && !settingsProblemReported) std::fprintf(stderr, "tapwise: settings not saved: %s\n", saveProblem.c_str());
  return status;
}

}  // namespace tapwise
