#pragma once
// Packet records made by hand, for tests that feed the drain directly.

#include <memory>
#include <string>
#include <string_view>

#include "core/capture/PacketRecord.h"
#include "core/format/PacketSink.h"

namespace tapwise {

// A record of the given bytes; the time is 10:07:04.35 on a fixed day, so
// hex headers read "07:04.3".
std::unique_ptr<PacketRecord> MakeRecord(uint8_t port, std::string_view bytes,
                                         uint8_t origin = OriginReceived, uint8_t error = 0);

// Bytes 0, 1, 2, … (wrapping at 256), `length` of them.
std::string CountingBytes(size_t length);

// Hands the record to one sink as packet number `sequence`, as the
// session's fan-out would.
void HandTo(PacketSink& sink, const PacketRecord& record, uint16_t sequence = 1);

}  // namespace tapwise
