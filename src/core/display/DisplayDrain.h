#pragma once
// The 50 ms step that turns captured packets into display lines. It takes
// every record out of the capture queue in order; a record of a port that is
// not enabled is freed untouched (not counted, shown or recorded). Every
// other record adds one to the packet counter, is added to the display
// unless the display is frozen (as hex lines, or as running text in ASCII
// mode), and then goes to the recording hook unless that is paused.
//
// Holds the display state the main window owns: the line ring, the packet
// counter, the freeze flag and the display mode. Main thread only; the
// capture queue is the one object shared with other threads.

#include <cstddef>
#include <cstdint>

#include "core/capture/PacketRecord.h"
#include "core/display/DisplayBuffer.h"
#include "core/display/DisplayListener.h"
#include "core/format/RecordingHook.h"

namespace tapwise {

class TWComms;

class DisplayDrain {
 public:
  explicit DisplayDrain(TWComms& comms);

  // Takes every queued record, oldest first, until the queue is empty, and
  // frees each one; returns how many were taken.
  size_t DrainQueue();
  void ShowPacket(const PacketRecord& record);

  // The packet's hex lines, one per 16 bytes (at least one), each a new
  // line with the record's port, origin and error and the counter as Sequence.
  void AddHexLines(const PacketRecord& record);
  // The packet's bytes as text running on in the current line: CR starts a
  // new line, LF is dropped, a full line (80 characters) wraps, bytes below
  // 32 show as the middle dot.
  void AddAsciiText(const PacketRecord& record);

  // Empties the display; the counter and the current slot keep their values.
  void Clear();
  // Reports the unfinished ASCII line to the listener as finished (at exit,
  // or before the display is cleared). Text that follows starts a new line,
  // so that a reported line never changes afterwards.
  void FinishOpenLine();

  const DisplayBuffer& Buffer() const { return m_buffer; }
  int LineCount() const { return m_buffer.LineCount(); }
  uint16_t PacketCounter() const { return m_packetCounter; }

  // Freeze (the window's button): packets are still counted and recorded,
  // but the display is left as it is; releasing it does not bring them back.
  bool Frozen() const { return m_frozen; }
  void SetFrozen(bool frozen) { m_frozen = frozen; }
  // Set: hex lines (the default); clear: ASCII text. Changing it does not
  // clear the display; the caller decides.
  bool HexDisplay() const { return m_hexDisplay; }
  void SetHexDisplay(bool hex) { m_hexDisplay = hex; }

  // Either may be null; neither is owned.
  void SetListener(DisplayListener* listener) { m_listener = listener; }
  void SetRecordingHook(RecordingHook* hook) { m_recording = hook; }

 private:
  // Starts a line after reporting the open ASCII line, if any, as finished.
  DisplayLine& StartLine();
  void PacketShown();

  TWComms& m_comms;
  DisplayBuffer m_buffer;
  uint16_t m_packetCounter = 0;  // wraps from 65535 to 0; never reset
  bool m_frozen = false;
  bool m_hexDisplay = true;
  // The current line is ASCII text that may still grow and has not been
  // reported to the listener.
  bool m_openLine = false;
  DisplayListener* m_listener = nullptr;
  RecordingHook* m_recording = nullptr;
};

}  // namespace tapwise
