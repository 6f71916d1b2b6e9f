#pragma once
// Find in the display: every match of a pattern in the packets the display
// holds (its history, whose newest lines are the ring's), in order, with one
// of them current. Matches are searched in each packet's bytes, so a match
// runs on across the 16-byte boundary between the lines of a packet; it
// never runs from one packet into the next.
//
// Capture goes on while a pattern is set: Update (once per timer pass)
// searches the packets taken since, and forgets the matches of packets the
// history has let go, keeping the current match where it is. Tick thread.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/userpackets/PacketPattern.h"

namespace tapwise {

class PacketHistory;

struct FindMatch {
  uint64_t Packet;  // HistoryPacket::Number
  uint32_t Offset;  // of the first byte in the packet
};

// Characters of a display line to mark: First up to First + Count - 1.
struct MarkedColumns {
  int First;
  int Count;
  bool Current;  // part of the current match
  bool operator==(const MarkedColumns&) const = default;
};

class DisplayFind {
 public:
  explicit DisplayFind(PacketHistory& history) : m_history(history) {}
  DisplayFind(const DisplayFind&) = delete;
  DisplayFind& operator=(const DisplayFind&) = delete;

  // Searches everything held; the newest match becomes current (the view
  // stands at the newest lines). An empty pattern finds nothing.
  void SetPattern(const PacketPattern& pattern);
  const PacketPattern& Pattern() const { return m_pattern; }
  void Update();

  size_t Count() const { return m_matches.size(); }
  // Index of the current match (0 = oldest), or -1 when there is none.
  long Current() const { return m_current; }
  // To the next (newer) or previous (older) match, round from the last to
  // the first and back; false when there is nothing to go to.
  bool Next();
  bool Previous();
  // "3 of 17", "No matches", or nothing for an empty pattern.
  std::string CountText() const;
  // The history line (as HistoryPacket::FirstLine counts) where the current
  // match begins; meaningful when Current() >= 0.
  uint64_t CurrentLine() const;
  // The columns of the hex line that shows history line `line` to mark: for
  // each match on it the hex digits and the characters of its bytes there.
  void MarksOnLine(uint64_t line, std::vector<MarkedColumns>& marks) const;

 private:
  void Search(size_t fromIndex);

  PacketHistory& m_history;
  PacketPattern m_pattern;
  std::deque<FindMatch> m_matches;
  long m_current = -1;
  // The number of the first packet not yet searched.
  uint64_t m_searchedTo = 0;
};

}  // namespace tapwise
