#pragma once
// The program's command line. Options begin with "-" and are matched without
// regard to case; options the program does not know are ignored, and every
// argument that does not begin with "-" names a project file.

#include <string>
#include <vector>

#include "core/session/MonitorOptions.h"

namespace tapwise {

struct CommandLine : MonitorOptions {
  bool Headless = false;
  bool NoSplash = false;
  bool ListPorts = false;
  bool Help = false;
  bool Version = false;
  // What could not be understood in the options, one message each.
  std::vector<std::string> Problems;
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help.
std::string UsageText();

}  // namespace tapwise
