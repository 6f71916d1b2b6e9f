#pragma once
// What the user is told when no port opened: the ports that exist but that
// this user may not open, one "  COMn path" line each, so that the remedy
// (the dialout group on Debian) can be named.

#include <string>

namespace tapwise {

class DeviceOpener;
class TWComms;

// Empty when no port was refused for want of permission.
std::string NotPermittedPorts(const TWComms& comms, const DeviceOpener& map);

}  // namespace tapwise
