#pragma once
// Reads a raw data file: packets are the bytes up to and including a run of
// `terminatorCount` terminator bytes in a row, or 4096 bytes, or the end of
// the file. A count of 0 is taken as 1.

#include <cstdint>

#include "core/format/PlayPacket.h"
#include "core/format/RecordFile.h"

namespace tapwise {

void ReadRawPacket(RecordFile& file, PlayPacket& packet, uint8_t terminatorChar, uint16_t terminatorCount);

}  // namespace tapwise
