#pragma once
// The packet data file's text for one packet: its 80-column hex lines (as
// the display shows them), each followed by CR LF.

#include <span>
#include <string>

#include "core/capture/PacketRecord.h"

namespace tapwise {

// Appends the packet's lines to `out`.
void AppendPacketDataLines(const PacketRecord& record, std::string& out);
// The same from lines already formatted (a PacketView's).
void AppendPacketDataLines(std::span<const std::string> lines, std::string& out);

}  // namespace tapwise
