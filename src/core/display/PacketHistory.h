#pragma once
// The display's memory beyond its 999 lines: a copy of every packet the
// display has shown as hex lines since it was last cleared, oldest first,
// bounded by a packet count and by the memory it takes, whichever is
// reached first; the oldest packets go first. The display scrolls back
// into it and find searches it.
//
// A packet sink, added after the display's own (DisplayDrain) so that it
// takes exactly what the display took: nothing while the display is frozen
// or shows ASCII text, and a display that was cleared (the Clear button, a
// new display mode) starts the history afresh too. The last packets held
// are the ones whose lines the display ring holds, so the ring's lines are
// the newest lines here.
//
// The bytes are kept in blocks, so that a flood of packets allocates only
// while the history grows and then reuses what the oldest packets leave.
// Tick thread only.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "core/capture/PacketRecord.h"
#include "core/format/PacketSink.h"

namespace tapwise {

class DisplayDrain;

struct HistoryLimits {
  static constexpr size_t DefaultPackets = 100000;
  static constexpr size_t DefaultMegabytes = 64;
  // Below these the history could not hold the packets of a full display.
  static constexpr size_t MinPackets = 1000;
  static constexpr size_t MinMegabytes = 1;
  static constexpr size_t MaxPackets = 10000000;
  static constexpr size_t MaxMegabytes = 4096;

  size_t Packets = DefaultPackets;
  size_t Megabytes = DefaultMegabytes;
  // Each held to its range.
  HistoryLimits Bounded() const;
  bool operator==(const HistoryLimits&) const = default;
};

struct HistoryPacket {
  uint64_t Number;     // counts every packet the history ever took; never reused
  uint64_t FirstLine;  // counts every hex line likewise: the packet's first line
  const uint8_t* Data;  // Length bytes in the history's own storage
  DateTime Time;
  uint16_t Length;
  uint16_t Sequence;  // the packet counter's number, as the display line carries it
  uint8_t Port;
  uint8_t Origin;
  uint8_t Error;
  int Lines() const { return Length == 0 ? 1 : (Length + 15) / 16; }
};

class PacketHistory : public PacketSink {
 public:
  explicit PacketHistory(const DisplayDrain& drain, HistoryLimits limits = {});
  PacketHistory(const PacketHistory&) = delete;
  PacketHistory& operator=(const PacketHistory&) = delete;

  void Take(const PacketView& packet) override;

  // Drops the oldest packets at once when the history is over the new bound.
  void SetLimits(HistoryLimits limits);
  const HistoryLimits& Limits() const { return m_limits; }

  // Empties the history; the numbers go on counting.
  void Clear();
  // Empties the history when the display has been cleared since it last
  // looked; Take does this itself, a reader calls it before reading.
  void FollowDisplay();

  size_t Count() const { return m_packets.size(); }
  bool Empty() const { return m_packets.empty(); }
  // 0 = oldest.
  const HistoryPacket& At(size_t index) const { return m_packets[index]; }
  // Number of the oldest packet held (the next packet's number when empty).
  uint64_t FrontNumber() const;
  // Hex lines of all the packets held, and the FirstLine of the oldest.
  uint64_t LineCount() const;
  uint64_t FrontLine() const;
  // The packet holding line `line` (counted from FrontLine()); Count() when
  // the line is not held.
  size_t PacketAtLine(uint64_t line) const;
  // What the packets take: the blocks holding their bytes and their entries.
  size_t MemoryUsed() const;

  // A record with the packet's bytes and header, for formatting its lines.
  void CopyTo(const HistoryPacket& packet, PacketRecord& record) const;

 private:
  struct Block {
    std::unique_ptr<uint8_t[]> Bytes;
    size_t Used = 0;
    size_t Held = 0;  // packets whose bytes are here
  };
  static constexpr size_t BlockSize = 64 * 1024;

  uint8_t* Store(const uint8_t* data, size_t length);
  void DropOldest();
  void KeepWithinLimits();

  const DisplayDrain& m_drain;
  HistoryLimits m_limits;
  std::deque<HistoryPacket> m_packets;
  std::deque<Block> m_blocks;
  // A block the oldest packets left, kept for the next one the newest need.
  Block m_spare;
  uint64_t m_nextNumber = 0;
  uint64_t m_nextLine = 0;
  uint32_t m_displayClears = 0;
};

}  // namespace tapwise
