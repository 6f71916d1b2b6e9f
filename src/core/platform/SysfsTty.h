#pragma once
// What sysfs says of a tty without opening it: opening a serial port raises
// its RTS and DTR for a moment, which a port the user left out must not see.

#include <string>

namespace tapwise {

// Whether the serial port at devicePath has a UART behind it, by
// <root>/class/tty/<name>/type (0 is PORT_UNKNOWN: a /dev/ttyS node the
// kernel made without hardware). False when sysfs does not know the tty.
bool SysfsUartKnown(const std::string& devicePath, const std::string& root = "/sys");

}  // namespace tapwise
