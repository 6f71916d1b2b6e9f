#pragma once
// One packet of serial traffic, received or sent by the program. A record is
// allocated whole (full data capacity) so that the receive thread reads
// straight into it; it then travels by pointer through the capture queue and
// is never copied or resized.

#include <cstdint>
#include <memory>

#include "core/util/Clock.h"

namespace tapwise {

constexpr uint16_t PacketCapacity = 4096;

enum PacketOrigin : uint8_t { OriginTransmitted = 0, OriginReceived = 1 };

struct PacketRecord {
  uint8_t Port = 0;                   // COM number 1..128
  uint8_t Origin = OriginReceived;    // PacketOrigin
  uint8_t Error = 0;                  // line error (received) or failed write (sent)
  uint8_t ErrorKinds = 0;             // received: the LineErrorBits behind Error
  DateTime Time = 0;                  // first read, or the moment of the write
  uint16_t Length = 0;                // valid bytes in Data
  uint8_t Data[PacketCapacity];       // only the first Length bytes mean anything
};

// A fresh record; Data is left uninitialised, since it is about to be filled.
inline std::unique_ptr<PacketRecord> NewPacketRecord() {
  return std::make_unique_for_overwrite<PacketRecord>();
}

}  // namespace tapwise
