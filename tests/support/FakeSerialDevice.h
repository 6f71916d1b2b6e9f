#pragma once
// A serial device made of memory, for what a pseudo-terminal cannot show:
// line errors, modem lines and writes that the driver refuses. The test keeps
// the FakeLine; the device under test holds a FakeSerialDevice on it, so the
// test can still feed and inspect the line after handing the device over.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "core/platform/SerialDevice.h"

namespace tapwise {

class FakeLine {
 public:
  // What arrives "from the wire".
  void Feed(const std::vector<uint8_t>& bytes);
  // A line error of the given kinds (LineErrorBits), reported by the next
  // TakeErrorState or TakeLineErrors.
  void InjectError(uint8_t kinds = LineErrorParity);
  void SetModemLines(uint8_t bits);
  void RefuseWrites(bool refuse);
  void RefuseLineFormat(bool refuse);

  std::vector<uint8_t> Written() const;
  LineFormat Format() const;
  bool Rts() const;
  bool Dtr() const;
  int ApplyCount() const;
  // Devices on this line that are alive right now.
  int OpenCount() const;

 private:
  friend class FakeSerialDevice;
  mutable std::mutex m_mutex;
  std::deque<uint8_t> m_incoming;
  std::vector<uint8_t> m_written;
  LineFormat m_format;
  uint8_t m_errorKinds = 0;
  bool m_refuseWrites = false;
  bool m_refuseFormat = false;
  bool m_rts = false;
  bool m_dtr = false;
  uint8_t m_modem = 0;
  int m_applyCount = 0;
  int m_openCount = 0;
};

class FakeSerialDevice : public SerialDevice {
 public:
  explicit FakeSerialDevice(std::shared_ptr<FakeLine> line);
  ~FakeSerialDevice() override;

  bool ApplyLineFormat(const LineFormat& format) override;
  bool SetControlLines(bool rts, bool dtr) override;
  size_t Read(uint8_t* buffer, size_t maxBytes) override;
  bool Write(const uint8_t* data, size_t count) override;
  bool TakeErrorState() override { return TakeLineErrors() != 0; }
  uint8_t TakeLineErrors() override;
  uint8_t ModemLines() override;
  int WaitHandle() const override { return -1; }

 private:
  std::shared_ptr<FakeLine> m_line;
};

}  // namespace tapwise
