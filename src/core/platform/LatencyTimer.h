#pragma once
// The latency timer of a USB serial adapter whose driver has one (FTDI's
// ftdi_sio): how long the adapter holds a few received bytes back before it
// hands them to the host, 16 ms unless set otherwise. It is the largest part
// of a packet time's error, and it can merge two packets the gap would have
// parted. The kernel shows it as the sysfs attribute
// <root>/bus/usb-serial/devices/<ttyUSBn>/latency_timer, in milliseconds.
//
// Set changes it and remembers what it was; Restore (the owner calls it at
// shutdown) puts back each value where the attribute still holds what Set
// wrote, so the adapter is left as it was found. An adapter plugged in
// again starts from its driver's default and needs Set again. The files go
// through the SysCalls seam, so a test can refuse a write even as root.
// One thread.

#include <string>
#include <vector>

#include "core/platform/SysCalls.h"

namespace tapwise {

class LatencyTimer {
 public:
  // root: where sysfs is mounted ("/sys"); a test gives a folder of its own.
  explicit LatencyTimer(std::string root = "/sys", SysCalls& sys = RealSysCalls());

  // The attribute of the device at devicePath, links followed
  // (/dev/serial/by-id/… names its ttyUSBn); "" when the path leads nowhere.
  std::string AttributePath(const std::string& devicePath) const;

  struct Outcome {
    bool Set = false;
    // Set: "latency timer 1 ms (was 16 ms)". Otherwise why not, and what
    // the user can do about it.
    std::string Message;
  };
  // Sets the timer of the device at devicePath ("" for a port without a
  // local device) to milliseconds.
  Outcome Set(const std::string& devicePath, int milliseconds);
  void Restore();

 private:
  // The attribute's value, or -1 when it cannot be read as a number.
  int ReadValue(const std::string& attribute) const;
  bool WriteValue(const std::string& attribute, int value, int& error) const;

  struct Changed {
    std::string Attribute;
    int Previous = 0;
    int Written = 0;
  };
  std::string m_root;
  SysCalls& m_sys;
  std::vector<Changed> m_changed;
};

}  // namespace tapwise
