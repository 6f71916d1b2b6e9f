#pragma once
// Packets into display lines: the display's packet sink. Every packet it is
// handed (already counted, of an enabled port) is added to the display
// unless the display is frozen: as hex lines, or as running text in ASCII
// mode. It never sees the capture queue or the port manager.
//
// Holds the display state the main window shows: the line ring, the last
// packet number, the freeze flag, the display mode and the filter of the
// lines shown (which leaves the ring itself whole). Tick thread only.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/capture/PacketRecord.h"
#include "core/display/DisplayBuffer.h"
#include "core/display/DisplayListener.h"
#include "core/display/LineFilter.h"
#include "core/display/PacketMarker.h"
#include "core/format/PacketSink.h"

namespace tapwise {

class DisplayDrain : public PacketSink {
 public:
  DisplayDrain() = default;
  DisplayDrain(const DisplayDrain&) = delete;
  DisplayDrain& operator=(const DisplayDrain&) = delete;

  void Take(const PacketView& packet) override;

  // The packet's hex lines, one per 16 bytes (at least one), each a new
  // line with the record's port, origin and error and the packet's number
  // as Sequence.
  void AddHexLines(const PacketView& packet);
  // The packet's bytes as text running on in the current line: CR starts a
  // new line, LF is dropped, a full line (80 characters) wraps, bytes below
  // 32 show as the middle dot.
  void AddAsciiText(const PacketView& packet);

  // Empties the display; the counter and the current slot keep their values.
  void Clear();
  // How many times the display was emptied, so that what keeps more of it
  // (PacketHistory) can follow.
  uint32_t ClearCount() const { return m_clearCount; }
  // Reports the unfinished ASCII line to the listener as finished (at exit,
  // or before the display is cleared). Text that follows starts a new line,
  // so that a reported line never changes afterwards.
  void FinishOpenLine();

  const DisplayBuffer& Buffer() const { return m_buffer; }
  int LineCount() const { return m_buffer.LineCount(); }
  // The number of the last packet handed over, shown or not.
  uint16_t PacketCounter() const { return m_packetCounter; }

  // Freeze (the window's button): packets are still counted and recorded,
  // but the display is left as it is; releasing it does not bring them back.
  bool Frozen() const { return m_frozen; }
  void SetFrozen(bool frozen) { m_frozen = frozen; }
  // Set: hex lines (the default); clear: ASCII text. Changing it does not
  // clear the display; the caller decides.
  bool HexDisplay() const { return m_hexDisplay; }
  void SetHexDisplay(bool hex) { m_hexDisplay = hex; }
  // A new mode starts the display afresh, the unfinished ASCII line
  // reported first; the same mode again changes nothing. True when the mode
  // changed.
  bool SwitchMode(bool hex);

  // Which of the held lines the window shows; the lines are added whatever
  // it says.
  LineFilter& Filter() { return m_filter; }
  const LineFilter& Filter() const { return m_filter; }

  // What marks packets (the highlight rules); may be null, not owned. A
  // packet is marked as it is added; Remark marks the held lines again
  // after the rules changed (in hex mode: running text keeps its marks,
  // since its lines no longer tell which bytes were which packet's).
  void SetMarker(const PacketMarker* marker) { m_marker = marker; }
  const PacketMarker* Marker() const { return m_marker; }
  void Remark();

  // May be null; not owned.
  void SetListener(DisplayListener* listener) { m_listener = listener; }

 private:
  // Starts a line after reporting the open ASCII line, if any, as finished.
  DisplayLine& StartLine();
  void PacketShown();
  uint8_t MarkOf(const PacketRecord& record) const;

  DisplayBuffer m_buffer;
  uint16_t m_packetCounter = 0;
  bool m_frozen = false;
  bool m_hexDisplay = true;
  LineFilter m_filter;
  uint32_t m_clearCount = 0;
  // The current line is ASCII text that may still grow and has not been
  // reported to the listener.
  bool m_openLine = false;
  DisplayListener* m_listener = nullptr;
  const PacketMarker* m_marker = nullptr;
  // The bytes of one held packet, gathered back from its lines by Remark.
  std::vector<uint8_t> m_remarkBytes;
};

}  // namespace tapwise
