#pragma once
// The headless front end's view of the traffic, a packet sink of the
// session: it makes display lines of every packet it is handed, by the same
// rules as the window's display, and writes them out. In hex mode (the
// default) that is every hex line of every packet, written once per packet;
// in ASCII mode each line as soon as it is complete, and the unfinished last
// line at Finish. To a file or pipe the
// bytes are 8-bit characters with CR LF (in hex mode exactly a packet data
// file); to a terminal the characters are shown in UTF-8 with LF.

#include <cstdint>
#include <functional>
#include <string>

#include "core/capture/PacketRecord.h"
#include "core/display/DisplayDrain.h"
#include "core/display/DisplayListener.h"
#include "core/format/PacketSink.h"
#include "core/format/PacketTime.h"
#include "core/userpackets/PacketPattern.h"
#include "core/util/Result.h"

namespace tapwise {

// How the hex lines are laid out. The defaults give the packet data file;
// anything else widens the header, so the lines are no longer 80 columns.
struct HeadlessLayout {
  TimeStyle Time = TimeStyle::Tenths;
  // For -portlabel:full: what stands for the port in place of its single
  // character ("COM40", or the name the user gave it).
  std::function<std::string(uint8_t)> PortLabel;
  // For colour on a terminal: the port's text colour as 0xRRGGBB, or -1
  // for the terminal's own.
  std::function<int32_t(uint8_t)> PortColour;
  int32_t TransmissionBackground = -1;
  int32_t ErrorBackground = -1;

  bool Restyled() const { return Time != TimeStyle::Tenths || PortLabel != nullptr; }
};

class HeadlessMonitor : public PacketSink, private DisplayListener {
 public:
  HeadlessMonitor(int outFd, bool terminal);
  HeadlessMonitor(const HeadlessMonitor&) = delete;
  HeadlessMonitor& operator=(const HeadlessMonitor&) = delete;

  void Take(const PacketView& packet) override;

  // After the session's tick has drained the queue: writes what is left.
  // Fails, saying why, once the output cannot be written any more (closed
  // pipe, full disk); from then on it stays failed.
  Result Flush();
  bool Ok() const { return m_lastError.empty(); }
  // At exit: writes the unfinished ASCII line, if any. Fails as Flush.
  Result Finish();

  // Switches between hex lines and ASCII text. As in the window, a change
  // starts the display afresh; the unfinished ASCII line is written first.
  void SetHexDisplay(bool hex);
  bool HexDisplay() const { return m_lines.HexDisplay(); }
  // Before the first packet.
  void SetLayout(HeadlessLayout layout) { m_layout = std::move(layout); }
  // Only the packets holding the pattern are written (all of them when it
  // is empty); what the other sinks take is not changed.
  void SetGrep(PacketPattern pattern) { m_grep = std::move(pattern); }

  // The packet's hex lines as this monitor writes them.
  std::string FormatPacket(const PacketRecord& record) const;
  uint16_t PacketCounter() const { return m_lines.PacketCounter(); }

 private:
  Result Outcome() const;
  void PacketShown() override;
  void LineFinished(const DisplayLine& line) override;
  // The line and its end; in the colours of colourOf's port and kind when given.
  void AppendLine(std::string& out, const std::string& line, const DisplayLine* colourOf = nullptr) const;
  // A hex line with the header the layout asks for.
  std::string Restyle(const DisplayLine& line);
  // The line in the colours of its port and kind, for a terminal.
  std::string Coloured(const DisplayLine& line, const std::string& text) const;
  // Writes what the lines so far have left to write; after a failure it
  // only discards.
  void WritePending();
  bool WriteAll(const std::string& bytes);

  // Its own lines: the session's display ring holds only the last 999,
  // and this writes every one.
  DisplayDrain m_lines;
  int m_outFd;
  bool m_terminal;
  HeadlessLayout m_layout;
  PacketPattern m_grep;
  // The header width of the packet being written, for its further lines.
  size_t m_headerWidth = 12;
  int64_t m_lastPacketMicros = 0;
  bool m_anyPacket = false;
  std::string m_pending;
  std::string m_lastError;
};

}  // namespace tapwise
