#include "support/PtyPorts.h"

#include "core/platform/PosixSerialDevice.h"

namespace tapwise {

Pty& PtyPorts::AddPort(uint8_t n) {
  ptys.push_back(std::make_unique<Pty>());
  const std::string path = ptys.back()->SlavePath();
  opener.AddFactory(n, [path] { return PosixSerialDevice::Open(path); });
  return *ptys.back();
}

}  // namespace tapwise
