#pragma once
// The capture interfaces this program offers the packet analyser, and their
// names. A name carries no '/' (the analyser builds file and preference
// names from it) and says where the packets come from:
//   tapwise-PID-comN   port N of the running monitor PID, from its live feed
//   tapwise-PID-all    every port of that monitor
//   tapwise-comN       port N, opened by this program (no monitor runs)
//   tapwise-all        every port this program can open
// Plain functions; any thread.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/recorder/LiveFeedFolder.h"

namespace tapwise {

struct ExtcapInterfaceName {
  pid_t Monitor = 0;  // 0: the ports are opened here
  uint8_t Port = 0;   // 0: all ports
  bool operator==(const ExtcapInterfaceName&) const = default;
};

std::string InterfaceValue(const ExtcapInterfaceName& name);
// The name back from its text; nothing when it is not one of ours.
std::optional<ExtcapInterfaceName> ParseInterfaceValue(const std::string& value);

struct ExtcapInterface {
  ExtcapInterfaceName Name;
  std::string Display;  // what the analyser's interface list shows
};

// What a running monitor said its ports are. A monitor that did not answer
// in time still offers all its ports, unnamed.
struct MonitorPorts {
  RunningMonitor Monitor;
  bool Answered = false;
  struct Port {
    uint8_t Number = 0;
    std::string Device;
  };
  std::vector<Port> Ports;
};

// Asks every monitor for its ports at once (the "list" request of its live
// feed) and waits at most `limit` for all of them: the analyser asks each of
// its extcap programs at start-up and waits for them all.
std::vector<MonitorPorts> AskMonitors(const std::vector<RunningMonitor>& monitors, std::chrono::milliseconds limit);

// One interface per port of each monitor, then its "all ports".
std::vector<ExtcapInterface> MonitorInterfaces(const std::vector<MonitorPorts>& monitors);

// The ports of the default COM-number map that this program could open,
// found without opening any: the device node is there, a UART stands
// behind a fixed serial port (sysfs), and the user may read and write it;
// then "all ports". Opening a port to look would pulse its RTS and DTR
// lines each time the analyser starts.
std::vector<ExtcapInterface> OwnInterfaces();

// The --extcap-interfaces answer: the program's line, then one line per
// interface.
std::string InterfacesText(const std::vector<ExtcapInterface>& interfaces);

}  // namespace tapwise
