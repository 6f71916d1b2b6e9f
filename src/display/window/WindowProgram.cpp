#include "display/window/WindowProgram.h"

#include "capture/TWComms.h"
#include "config/INIUnit.h"
#include "config/SettingsLocation.h"
#include "display/window/TWMain.h"
#include "platform/PortMap.h"
#include "ui/MessageBox.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>

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
    if (!loadProblem.empty()) form.ReportProblem("Settings could not be read: " + loadProblem);
    form.show();
    status = app.exec();
    settingsProblemReported = form.SettingsProblemReported();
    // Closing the window normally takes the ports down; a start-up without
    // ports, or a quit from elsewhere, must still release every thread.
    comms.DestroyPorts();
  }

  const std::string saveProblem = settings.Save();
  if (!saveProblem.empty() && !settingsProblemReported) std::fprintf(stderr, "tapwise: settings not saved: %s\n", saveProblem.c_str());
  return status;
}

}  // namespace tapwise
