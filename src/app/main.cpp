// tapwise: the serial-port monitor. It opens its window when it was built
// with one and a display is there; `-headless` (or no display) runs the
// monitor that writes packets to standard output.

#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/DemoOption.h"
#include "app/Headless.h"
#include "core/util/ProcessSetup.h"
#ifdef TAPWISE_WITH_WINDOW
#include "app/WindowProgram.h"
#endif

int main(int argc, char** argv) {
  // Before anything else is opened, even the help text's output.
  tapwise::EnsureStandardDescriptors();
  tapwise::IgnoreWriteSignals();
  std::vector<std::string> args(argv + 1, argv + argc);
  // -demo stands for ordinary options over the shipped demo files.
  std::string demoFolder;
  if (tapwise::HasDemoOption(args)) {
    demoFolder = tapwise::DemoFolder();
    if (demoFolder.empty()) {
      std::fprintf(stderr, "tapwise: -demo: no demo files in %s\n", tapwise::DemoFolderCandidates().c_str());
      return 1;
    }
    // The headless monitor records the demo's traffic; the window, which
    // holds one file at a time, records instead of playing.
    bool headless = true;
#ifdef TAPWISE_WITH_WINDOW
    headless = tapwise::ParseCommandLine(args).Headless || !tapwise::WindowSystemAvailable();
#endif
    args = tapwise::ExpandDemoOption(args, demoFolder, headless);
  }
  tapwise::CommandLine commandLine = tapwise::ParseCommandLine(args);
  // Whatever runs next, a mistyped option is said at once (the window says
  // it in its status bar as well).
  for (const std::string& option : commandLine.UnknownOptions) {
    std::fprintf(stderr, "tapwise: %s\n", tapwise::UnknownOptionText(option).c_str());
  }
  if (commandLine.Help) {
    std::fputs(tapwise::UsageText().c_str(), stdout);
    return 0;
  }
  if (commandLine.Version) {
    std::printf("tapwise %s\n", TAPWISE_VERSION);
    return 0;
  }
  // An option whose value is wrong is refused by every front end alike,
  // before any port is touched.
  for (const std::string& problem : commandLine.Problems) std::fprintf(stderr, "tapwise: %s\n", problem.c_str());
  if (!commandLine.Problems.empty()) return 2;
  if (commandLine.ListPorts) return tapwise::RunListPorts(commandLine);
#ifdef TAPWISE_WITH_WINDOW
  if (!commandLine.Headless) {
    if (tapwise::WindowSystemAvailable()) {
      if (!demoFolder.empty()) std::fputs(tapwise::DemoBanner(demoFolder, false).c_str(), stderr);
      return tapwise::RunWindow(commandLine, argc, argv);
    }
    std::fputs("tapwise: no display to open the window on; running headless\n", stderr);
  }
#endif
  if (!demoFolder.empty()) std::fputs(tapwise::DemoBanner(demoFolder, true).c_str(), stderr);
  return tapwise::RunHeadless(commandLine);
}
