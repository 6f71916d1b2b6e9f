#pragma once
// Reads a packet data file (the 80-column hex lines the recorder writes) one
// packet per call. A packet starts at a line holding a time "##:##.#"; the
// hex digits of its bytes lie in the 50 columns starting 8 columns after
// that time (column 14 in a recorded file), on it and on the following
// lines without a time. The header's port, direction and time are not used.
//
// A packet stops at 4096 bytes. What follows belongs to the next call, so
// nothing is lost:
//  - when the packet filled up at the end of a line, the next call takes its
//    first line as data at the same column even without a time (a hand-made
//    packet longer than 4096 bytes goes on); a line with a time starts a new
//    packet as usual, and the flag lasts for that one line only;
//  - when it filled up inside a line (hand-edited lines without spaces hold
//    up to 25 bytes), the rest of that line starts the next packet.
//
// A line that should carry data but is too short to hold the 50 columns, a
// packet start without a time, or a line longer than MaxLineLength is a
// layout error (the player's PlayFileError); the bytes read before it stay
// in the packet. A packet whose lines run past PacketScanLimit bytes goes
// on in the next call, as one that filled up at the end of a line does.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/format/PlayPacket.h"
#include "core/format/RecordFile.h"

namespace tapwise {

class PacketDataReader {
 public:
  // Forgets the pending line and the continuation; used when playing starts.
  void Reset();
  // Reads the next packet; false on a layout error.
  bool Read(RecordFile& file, PlayPacket& packet);

  // A line has been read but not yet played: the header of the next packet
  // (or the rest of an over-long line).
  bool HasPendingLine() const { return !m_pending.empty(); }
  const std::string& PendingLine() const { return m_pending; }
  // 1-based column of the first hex digit, found from the last header.
  size_t DataColumn() const { return m_dataColumn; }
  bool Continuation() const { return m_continuation; }

 private:
  std::string m_pending;
  // Where the pending line's unread bytes begin, when a packet filled up in
  // the middle of it; 0 otherwise.
  size_t m_resume = 0;
  bool m_continuation = false;
  size_t m_dataColumn = 0;
};

}  // namespace tapwise
