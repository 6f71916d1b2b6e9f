#include "app/PortReport.h"

#include "capture/TWComms.h"
#include "platform/SerialDevice.h"

namespace tapwise {

std::string NotPermittedPorts(const TWComms& comms, const DeviceOpener& map) {
  std::string refused;
  for (int n = 1; n <= MaxComPorts; ++n) {
    const auto port = static_cast<uint8_t>(n);
    if (comms.ProbeStatus(port) != OpenStatus::NotPermitted) continue;
    refused += "  COM" + std::to_string(n) + " " + map.Describe(port) + "\n";
  }
  return refused;
}

}  // namespace tapwise
