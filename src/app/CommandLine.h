#pragma once
// The program's command line. Options begin with "-" (or "--": "--headless"
// is "-headless") and are matched without regard to case; options the
// program does not know are ignored, each said once, and every argument that
// does not begin with "-" names a project file.

#include <cstdint>
#include <string>
#include <vector>

#include "core/format/PacketTime.h"
#include "core/session/MonitorOptions.h"
#include "core/userpackets/PacketPattern.h"

namespace tapwise {

enum class ColourChoice : uint8_t { Auto, Never, Always };

struct CommandLine : MonitorOptions {
  bool Headless = false;
  // -time:FORMAT, -portlabel:full, -color:WHEN (headless output only).
  TimeStyle Time = TimeStyle::Tenths;
  bool FullPortLabel = false;
  ColourChoice Colour = ColourChoice::Auto;
  // -quiet: the headless monitor writes no packet lines (a recording, the
  // live feed and the messages go on).
  bool Quiet = false;
  // -onlyport:LIST (headless output only): print only these ports' packets;
  // every port is still captured, counted and recorded.
  bool OnlyPortGiven = false;
  PortSet OnlyPort;
  // -stats:N: the headless summary lines every N seconds and at exit; 0 none.
  int StatsSeconds = 0;
  // -grep:PATTERN: the headless output shows only the packets that match
  // (empty: every packet).
  PacketPattern Grep;
  bool NoSplash = false;
  bool ListPorts = false;
  bool Help = false;
  bool Version = false;
  // What could not be understood in the options, one message each.
  std::vector<std::string> Problems;
  // The options the program does not know, as typed: ignored, but a typing
  // mistake must not go unnoticed.
  std::vector<std::string> UnknownOptions;
  // The window toolkit's own options (-platform NAME, -style=NAME, …) with
  // their values, as typed: the toolkit reads them itself.
  std::vector<std::string> ToolkitOptions;
};

// The argument with a leading "--" shortened to "-", so that the GNU
// spelling of every option works; any other argument as it is.
std::string OneDash(const std::string& arg);

// "unknown option OPTION, ignored": the front ends say it for each one.
std::string UnknownOptionText(const std::string& option);

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help.
std::string UsageText();

}  // namespace tapwise
