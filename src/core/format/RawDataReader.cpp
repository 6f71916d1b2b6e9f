#include "core/format/RawDataReader.h"

namespace tapwise {

void ReadRawPacket(RecordFile& file, PlayPacket& packet, uint8_t terminatorChar, uint16_t terminatorCount) {
  packet.Length = 0;
  const uint16_t runToEnd = terminatorCount == 0 ? 1 : terminatorCount;
  uint16_t run = 0;
  uint8_t byte = 0;
  while (packet.Length < PacketCapacity && file.ReadByte(byte)) {
    packet.Data[packet.Length++] = byte;
    run = byte == terminatorChar ? static_cast<uint16_t>(run + 1) : uint16_t{0};
    if (run == runToEnd) break;
  }
}

}  // namespace tapwise
