#pragma once
// What the user is told about the ports after the probe: each port they
// mapped themselves that could not be used, with the reason, and, when no
// port opened at all, the "No COM Ports are Available" report (with the
// ports that exist but that this user may not open, so that the remedy, the
// dialout group on Debian, can be named). The window shows the markup, the
// headless monitor prints it as plain text.

#include <string>
#include <vector>

#include "core/capture/PortEvent.h"

namespace tapwise {

class DeviceOpener;
class TWComms;

// Empty when no port was refused for want of permission; else one
// "  COMn path" line each.
std::string NotPermittedPorts(const TWComms& comms, const DeviceOpener& map);

// One line per port mapped by an option (-port:, -pair:) that did not open:
// "COM1 /dev/pts/3: busy, held by minicom, pid 4242".
std::vector<std::string> UnusableMappedPorts(const TWComms& comms, const DeviceOpener& map);

// What start-up tells about the ports that did not open, once some did:
// the lines of UnusableMappedPorts, and one for each probed port that
// exists but could not be used ("COM1 /dev/ttyS0: not permitted (join the
// group dialout)", "COM33 /dev/ttyUSB0: busy, held by python3, pid 4242").
std::vector<std::string> UnusablePorts(const TWComms& comms, const DeviceOpener& map);

// The whole report for a probe that opened nothing, in message markup.
std::string NoPortsReport(const TWComms& comms, const DeviceOpener& map);

// A port that came or went, as the headless monitor prints it:
// "COM33 /dev/ttyUSB0 gone", "... back", "... new".
std::string PortEventLine(const PortEvent& event, const DeviceOpener& map);

// A port's device as the user sees it, with the name they gave the port:
// "/dev/ttyUSB0 \"Meter\"", "\"Meter\"" without a device, the device alone
// without a name.
std::string WithPortName(const std::string& device, const std::string& name);

}  // namespace tapwise
