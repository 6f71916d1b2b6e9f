#include "core/session/MonitorOptions.h"

#include "core/platform/SerialDevice.h"

namespace tapwise {

PortSet MonitorOptions::SkippedPorts(const DeviceOpener& opener) const {
  PortSet skipped = Exclude;
  if (OnlyGiven) {
    for (uint8_t n : AllComNumbers()) {
      if (!Only.test(n) && !opener.IsExplicit(n)) skipped.set(n);
    }
  }
  return skipped;
}

}  // namespace tapwise
