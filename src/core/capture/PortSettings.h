#pragma once
// The line settings the user keeps for one COM number.

#include <cstdint>

#include "core/platform/SerialDevice.h"

namespace tapwise {

struct PortSettings {
  uint32_t BaudRate = 9600;
  uint8_t Parity = ParityNone;  // ParityCode
  uint8_t DataBits = 8;
  uint8_t StopBits = StopOne;   // StopBitsCode
  uint8_t RTS = 0;              // 1 = hold RTS asserted
  uint8_t DTR = 0;              // 1 = hold DTR asserted

  LineFormat Line() const { return {BaudRate, Parity, DataBits, StopBits}; }
  void SetLine(const LineFormat& format);

  bool operator==(const PortSettings&) const = default;
};

inline void PortSettings::SetLine(const LineFormat& format) {
  BaudRate = format.BaudRate;
  Parity = format.Parity;
  DataBits = format.DataBits;
  StopBits = format.StopBits;
}

}  // namespace tapwise
