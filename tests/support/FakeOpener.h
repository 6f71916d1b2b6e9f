#pragma once
// A device opener for tests: each COM number may be given a fake line, a
// device factory (for real devices over pseudo-terminals), or a forced
// status such as Busy.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "core/platform/SerialDevice.h"
#include "support/FakeSerialDevice.h"

namespace tapwise {

class FakeOpener : public DeviceOpener {
 public:
  using Factory = std::function<OpenResult()>;

  // COM n opens a FakeSerialDevice on the returned line.
  std::shared_ptr<FakeLine> AddFake(uint8_t n);
  void AddFactory(uint8_t n, Factory factory);
  // Every later open of COM n fails with status (OpenStatus::Opened clears it).
  void ForceStatus(uint8_t n, OpenStatus status);
  int OpenCalls(uint8_t n) const;
  // COM n counts as mapped by the user, who is told when it does not open.
  void SetExplicit(uint8_t n);
  bool IsExplicit(uint8_t n) const override;
  // COM n describes itself as path, and path is what another program would
  // open to hold it.
  void SetPath(uint8_t n, const std::string& path);
  std::string Describe(uint8_t n) const override;
  std::string DevicePath(uint8_t n) const override;

  OpenResult Open(uint8_t comNumber) override;

 private:
  mutable std::mutex m_mutex;
  std::map<uint8_t, Factory> m_factories;
  std::map<uint8_t, OpenStatus> m_forced;
  std::map<uint8_t, int> m_calls;
  std::set<uint8_t> m_explicit;
  std::map<uint8_t, std::string> m_paths;
};

}  // namespace tapwise
