#pragma once
// The rows the display shows: the display ring's lines, and above them, in
// hex mode, the older lines of the packets the history still holds, so
// that the view scrolls back past the ring's 999 lines. The ring's lines are
// the history's newest lines (PacketHistory says why), so row r is history
// line FirstLine() + r from top to bottom, the ring's rows included.
//
// Refresh works out the split after lines came or went (once per timer
// pass); without a history, in ASCII mode, or when the ring and the history
// do not end alike, the rows are the ring's alone, exactly as before.
// History rows are formatted when asked for, one at a time. Tick thread.

#include <cstdint>
#include <string>

#include "core/capture/PacketRecord.h"
#include "core/display/DisplayBuffer.h"
#include "core/display/DisplayLine.h"

namespace tapwise {

class DisplayDrain;
class PacketHistory;

class DisplayRows {
 public:
  explicit DisplayRows(const DisplayDrain& drain) : m_drain(drain) {}
  DisplayRows(const DisplayRows&) = delete;
  DisplayRows& operator=(const DisplayRows&) = delete;

  // May be null (no scroll-back); not owned.
  void SetHistory(PacketHistory* history);
  PacketHistory* History() const { return m_history; }
  // At most this many rows in all (a window cannot be taller than so many
  // pixels); the oldest history rows are left out beyond it.
  void SetMaxRows(int rows);

  void Refresh();

  int Count() const { return m_older + RingCount(); }
  // History rows above the ring's.
  int OlderCount() const { return m_older; }
  // Row `row` (0 = top); a row outside 0..Count()-1 is an empty line. A
  // history row is formatted into one line of this object's, which the
  // next call may overwrite.
  const DisplayLine& Row(int row) const;
  // Whether the rows line up with the history's lines (see the top).
  bool FollowsHistory() const { return m_aligned; }
  // The history line (counted as HistoryPacket::FirstLine counts) that row
  // 0 shows; meaningful when FollowsHistory().
  uint64_t FirstLine() const { return m_firstLine; }
  // The row of history line `line`, or -1 when it is not shown.
  int RowOfLine(uint64_t line) const;

  // As DisplayBuffer's, over the rows: the run of rows around `row` that
  // share its Sequence (Count 0 when `row` is not shown), and its clipboard text.
  LineRange PacketRowsAt(int row) const;
  std::string PacketText(LineRange rows, bool hexMode) const;

 private:
  int RingCount() const;

  const DisplayDrain& m_drain;
  PacketHistory* m_history = nullptr;
  int m_maxRows = 1 << 30;
  int m_older = 0;
  bool m_aligned = false;
  uint64_t m_firstLine = 0;
  // The row formatted last, and the packet its record holds.
  mutable DisplayLine m_line;
  mutable int m_lineRow = -1;
  mutable uint64_t m_recordNumber = UINT64_MAX;
  mutable PacketRecord m_record;
};

}  // namespace tapwise
