#include "core/format/HexDataReader.h"

#include <algorithm>
#include <cstring>

#include "core/util/AnsiStringLib.h"

namespace tapwise {

void HexDataReader::Reset() {
  m_line.clear();
  m_carry.clear();
  m_carryAt = 0;
}

void HexDataReader::Read(RecordFile& file, PlayPacket& packet) {
  packet.Length = 0;
  if (HasPending()) {
    const size_t take = std::min(m_carry.size() - m_carryAt, size_t{PacketCapacity});
    std::memcpy(packet.Data, m_carry.data() + m_carryAt, take);
    packet.Length = static_cast<uint16_t>(take);
    m_carryAt += take;
    if (!HasPending()) Reset();
  }
  const uint64_t startedAt = file.Consumed();
  while (packet.Length < PacketCapacity && file.Consumed() - startedAt < PacketScanLimit) {
    const LineRead read = file.ReadLine(m_line);
    // A line too long for any hex list is not one: it ends the packet.
    if (read == LineRead::TooLong) break;
    const bool ended = read == LineRead::Ended;
    if (!ended && m_line.empty()) break;
    const size_t room = PacketCapacity - packet.Length;
    size_t pos = 1;
    const ptrdiff_t count = ReadHexBytes(m_line, pos, packet.Data + packet.Length, room);
    // Not a hex list: the line is used up and the packet ends before it.
    if (count < 0) break;
    const auto values = static_cast<size_t>(count);
    if (values > room) {
      // Read the line again whole and keep what did not fit.
      m_carry.assign(values, 0);
      pos = 1;
      ReadHexBytes(m_line, pos, m_carry.data(), values);
      m_carryAt = room;
    }
    packet.Length = static_cast<uint16_t>(packet.Length + std::min(values, room));
    if (!ended) break;
  }
  m_line.clear();
}

}  // namespace tapwise
