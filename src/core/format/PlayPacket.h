#pragma once
// The packet one playback step sends: filled by one reader call, owned by
// the playback thread. It never holds more than a packet record can carry.

#include <cstdint>

#include "core/capture/PacketRecord.h"

namespace tapwise {

struct PlayPacket {
  uint16_t Length = 0;
  uint8_t Data[PacketCapacity];
};

}  // namespace tapwise
