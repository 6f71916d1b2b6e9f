#include "display/QueueDrain.h"

#include "capture/TWComms.h"

namespace tapwise {

size_t DrainQueue(TWComms& comms, uint16_t& packetCounter, const ShowPacketFn& showPacket) {
  size_t taken = 0;
  while (std::unique_ptr<PacketRecord> record = comms.Queue().TakeFirst()) {
    ++taken;
    if (!comms.IsPortEnabled(record->Port)) continue;
    ++packetCounter;
    showPacket(*record);
  }
  return taken;
}

}  // namespace tapwise
