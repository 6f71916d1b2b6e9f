#pragma once
// The program's command line. Options begin with "-" and are matched without
// regard to case; options the program does not know are ignored, and every
// argument that does not begin with "-" names a project file.

#include <string>
#include <vector>

namespace tapwise {

struct CommandLine {
  bool Headless = false;
  bool NoHandshake = false;  // -NOHS
  bool NoSplash = false;
  bool ListPorts = false;
  bool Help = false;
  bool Version = false;
  std::vector<std::string> PortOptions;  // -port:… and -pair:…, in order
  std::vector<std::string> ProjectFiles;
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help.
std::string UsageText();

}  // namespace tapwise
