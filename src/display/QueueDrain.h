#pragma once
// Taking the captured packets out of the queue, oldest first. A packet of a
// port that is not enabled (or no longer present) is freed without being
// counted or shown; every other one adds one to the packet counter and goes
// to the caller's show step.

#include <cstdint>
#include <functional>

#include "capture/PacketRecord.h"

namespace tapwise {

class TWComms;

using ShowPacketFn = std::function<void(const PacketRecord&)>;

// Drains everything queued at the moment of the call and after it; returns
// the number of records taken.
size_t DrainQueue(TWComms& comms, uint16_t& packetCounter, const ShowPacketFn& showPacket);

}  // namespace tapwise
