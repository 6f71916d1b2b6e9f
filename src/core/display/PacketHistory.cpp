#include "core/display/PacketHistory.h"

#include <algorithm>
#include <cstring>

#include "core/display/DisplayDrain.h"

namespace tapwise {

HistoryLimits HistoryLimits::Bounded() const {
  HistoryLimits bounded;
  bounded.Packets = std::clamp(Packets, MinPackets, MaxPackets);
  bounded.Megabytes = std::clamp(Megabytes, MinMegabytes, MaxMegabytes);
  return bounded;
}

PacketHistory::PacketHistory(const DisplayDrain& drain, HistoryLimits limits)
    : m_drain(drain), m_limits(limits.Bounded()), m_displayClears(drain.ClearCount()) {}

void PacketHistory::Take(const PacketView& packet) {
  FollowDisplay();
  // As the display took it: not at all while frozen, as text in ASCII mode.
  if (m_drain.Frozen() || !m_drain.HexDisplay()) return;
  const PacketRecord& record = packet.Record();
  const uint16_t length = std::min(record.Length, PacketCapacity);
  HistoryPacket entry{};
  entry.Number = m_nextNumber++;
  entry.FirstLine = m_nextLine;
  entry.Data = Store(record.Data, length);
  entry.Time = record.Time;
  entry.Length = length;
  entry.Sequence = packet.Sequence();
  entry.Port = record.Port;
  entry.Origin = record.Origin;
  entry.Error = record.Error;
  m_nextLine += static_cast<uint64_t>(entry.Lines());
  m_packets.push_back(entry);
  KeepWithinLimits();
}

uint8_t* PacketHistory::Store(const uint8_t* data, size_t length) {
  if (m_blocks.empty() || m_blocks.back().Used + length > BlockSize) {
    Block block = std::move(m_spare);
    m_spare = Block{};
    if (!block.Bytes) block.Bytes = std::make_unique_for_overwrite<uint8_t[]>(BlockSize);
    block.Used = 0;
    block.Held = 0;
    m_blocks.push_back(std::move(block));
  }
  Block& block = m_blocks.back();
  uint8_t* at = block.Bytes.get() + block.Used;
  if (length > 0) std::memcpy(at, data, length);
  block.Used += length;
  ++block.Held;
  return at;
}

void PacketHistory::DropOldest() {
  m_packets.pop_front();
  // Packets are stored in order, so the oldest packet's bytes are in the
  // first block.
  Block& first = m_blocks.front();
  if (--first.Held > 0) return;
  if (!m_spare.Bytes) m_spare = std::move(first);
  m_blocks.pop_front();
}

void PacketHistory::KeepWithinLimits() {
  const size_t maxBytes = m_limits.Megabytes * 1024 * 1024;
  while (!m_packets.empty() && (m_packets.size() > m_limits.Packets || MemoryUsed() > maxBytes)) DropOldest();
}

void PacketHistory::SetLimits(HistoryLimits limits) {
  m_limits = limits.Bounded();
  KeepWithinLimits();
  // A smaller bound gives its memory back rather than keeping a block spare.
  m_spare = Block{};
}

void PacketHistory::Clear() {
  m_packets.clear();
  m_blocks.clear();
}

void PacketHistory::FollowDisplay() {
  if (m_drain.ClearCount() == m_displayClears) return;
  m_displayClears = m_drain.ClearCount();
  Clear();
}

uint64_t PacketHistory::FrontNumber() const { return m_packets.empty() ? m_nextNumber : m_packets.front().Number; }
uint64_t PacketHistory::FrontLine() const { return m_packets.empty() ? m_nextLine : m_packets.front().FirstLine; }
uint64_t PacketHistory::LineCount() const { return m_nextLine - FrontLine(); }

size_t PacketHistory::PacketAtLine(uint64_t line) const {
  if (line >= LineCount()) return m_packets.size();
  const uint64_t wanted = FrontLine() + line;
  // The last packet whose first line is at or before the wanted one.
  const auto after = std::upper_bound(m_packets.begin(), m_packets.end(), wanted,
                                      [](uint64_t value, const HistoryPacket& packet) { return value < packet.FirstLine; });
  return static_cast<size_t>(after - m_packets.begin()) - 1;
}

size_t PacketHistory::MemoryUsed() const {
  return (m_blocks.size() + (m_spare.Bytes ? 1 : 0)) * BlockSize + m_packets.size() * sizeof(HistoryPacket);
}

void PacketHistory::CopyTo(const HistoryPacket& packet, PacketRecord& record) const {
  record.Port = packet.Port;
  record.Origin = packet.Origin;
  record.Error = packet.Error;
  record.Time = packet.Time;
  record.Length = packet.Length;
  if (packet.Length > 0) std::memcpy(record.Data, packet.Data, packet.Length);
}

}  // namespace tapwise
