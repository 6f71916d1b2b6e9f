#pragma once
// The command line of tapwise-extcap as the packet analyser calls it: one of
// the queries (--extcap-interfaces, --extcap-dlts, --extcap-config) or
// --capture, with the interface, the FIFO and the configuration arguments
// that --extcap-config offers, each as "--name value" or "--name=value".
// The analyser passes arguments of its own that do not concern us (a capture
// filter, control pipes): those are kept, named once and otherwise ignored.

#include <cstdint>
#include <string>
#include <vector>

#include "core/platform/LineSpec.h"
#include "core/platform/PortList.h"

namespace tapwise {

enum class ExtcapMode : uint8_t { None, Interfaces, Dlts, Config, Capture, Help, Version };

struct ExtcapOptions {
  ExtcapMode Mode = ExtcapMode::None;
  std::string ExtcapVersion;  // the analyser's, from --extcap-version
  std::string Interface;      // --extcap-interface
  std::string Fifo;           // --fifo
  // The configuration: which ports of an "all ports" interface (--ports,
  // empty: all), more ports for a capture of our own (--map, each as
  // -port:N=TARGET takes it), their line settings (--line), the quiet gap
  // that ends a packet in milliseconds (--gap) and the link type (--linktype).
  bool PortsGiven = false;
  PortSet Ports;
  std::vector<std::string> PortOptions;  // "-port:N=TARGET", in order
  bool LineGiven = false;
  LineSpec Line;
  std::string LineText;  // as given, for messages
  int Gap = 10;
  bool GapGiven = false;
  int LinkType = 147;
  std::vector<std::string> Problems;
  std::vector<std::string> Ignored;
};

// The packet gap's range, as the monitor's Options window takes it.
constexpr int LowestExtcapGap = 5;
constexpr int HighestExtcapGap = 5000;

ExtcapOptions ParseExtcapArguments(const std::vector<std::string>& args);

// The text of --help.
std::string ExtcapUsageText();

}  // namespace tapwise
