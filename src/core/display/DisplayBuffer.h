#pragma once
// The lines the main window shows: a ring of 1000 slots that holds at most
// 999 lines (one slot always stays free, so that oldest == next means empty).
// When the ring is full each new line drops the oldest. Lines never move;
// starting a line resets the slot in place and keeps its string's storage.
//
// Lines are reached by held index (0 = oldest, LineCount() - 1 = newest) or
// by slot. Slots outside the held range keep old contents but do not count
// as lines: nothing here ever hands them out as held lines.
//
// The owner sets the paint box height from LineCount() after adding lines.

#include <array>
#include <cstdint>
#include <string>

#include "core/display/DisplayLine.h"

namespace tapwise {

// A run of held lines by held index.
struct LineRange {
  int First = 0;
  int Count = 0;
};

// The run of lines around `index` (of `count`) whose sequenceAt(i) is that
// of `index`: one packet's lines, for whatever holds them. Count 0 when
// `index` is outside 0..count-1.
template <typename SequenceAt>
LineRange PacketRunAt(int index, int count, SequenceAt&& sequenceAt) {
  if (index < 0 || index >= count) return {};
  const uint16_t sequence = sequenceAt(index);
  int first = index;
  while (first > 0 && sequenceAt(first - 1) == sequence) --first;
  int last = index;
  while (last + 1 < count && sequenceAt(last + 1) == sequence) ++last;
  return {first, last - first + 1};
}

class DisplayBuffer {
 public:
  static constexpr uint16_t SlotCount = 1000;
  static constexpr int MaxLines = SlotCount - 1;

  // Starts a new line after the newest, dropping the oldest when 999 are
  // held, and returns it reset: `sequence`, port 0, received, no error, no
  // mark, no text.
  DisplayLine& NewDisplayLine(uint16_t sequence);

  // Empties the ring. The slot of the current line is kept (and so are the
  // old slots' contents), as the Clear button leaves them.
  void Clear();

  int LineCount() const;
  uint16_t Oldest() const { return m_oldest; }
  uint16_t Next() const { return m_next; }
  uint16_t Current() const { return m_current; }

  // Held line `index` (0 = oldest); an index outside 0..LineCount()-1 gives
  // an empty line rather than a stale slot.
  const DisplayLine& Line(int index) const;
  // Marks held line `index` (PacketMarker); nothing outside the held range.
  void SetMark(int index, uint8_t mark);
  // The slot that line `index` takes, counted round the ring from the oldest.
  uint16_t SlotOf(int index) const;
  const DisplayLine& Slot(uint16_t slot) const { return m_slots[slot % SlotCount]; }
  // The line started last, which ASCII text runs on in.
  DisplayLine& CurrentLine() { return m_slots[m_current]; }
  const DisplayLine& CurrentLine() const { return m_slots[m_current]; }

  // The lines a click on held line `index` selects: the run of held lines
  // around it that share its Sequence. The walk stays inside the held range,
  // so it neither picks up dropped or cleared lines nor runs round a ring
  // whose slots all carry one number. Count 0 when `index` is not held.
  LineRange PacketLinesAt(int index) const;

  // The clipboard text of those lines, each followed by CR LF: in hex mode
  // the hex digits of the line (columns 14 to 63) without leading and
  // trailing spaces, in ASCII mode the whole text.
  std::string PacketText(LineRange lines, bool hexMode) const;
  // One line of that text, added to `text`.
  static void AppendClipboardLine(const std::string& line, bool hexMode, std::string& text);

 private:
  std::array<DisplayLine, SlotCount> m_slots;
  uint16_t m_oldest = 0;
  uint16_t m_next = 0;
  uint16_t m_current = 0;
};

}  // namespace tapwise
