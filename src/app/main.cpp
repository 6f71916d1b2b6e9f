// tapwise: the serial-port monitor. Until the window program is built into
// this binary, every run is the headless monitor.

#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Headless.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  tapwise::CommandLine commandLine = tapwise::ParseCommandLine(args);
  if (commandLine.Help) {
    std::fputs(tapwise::UsageText().c_str(), stdout);
    return 0;
  }
  if (commandLine.Version) {
    std::printf("tapwise %s\n", TAPWISE_VERSION);
    return 0;
  }
  if (commandLine.ListPorts) return tapwise::RunListPorts(commandLine);
  return tapwise::RunHeadless(commandLine);
}
