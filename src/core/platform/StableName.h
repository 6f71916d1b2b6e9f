#pragma once
// The name of a serial device that stays the same across unplugging and
// plugging in: udev's link under /dev/serial/by-id (maker, model and serial
// number of a USB adapter), where one points at the device. /dev/ttyUSB0 may
// be another adapter tomorrow; the link is always this one.

#include <string>

namespace tapwise {

constexpr const char* StableNameFolder = "/dev/serial/by-id";

// The link in folder that leads to the same device as path; "" when none
// does, and when path is that link itself (it says all there is already).
std::string StableDeviceName(const std::string& path, const std::string& folder = StableNameFolder);

}  // namespace tapwise
