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
#include <string>

#include "core/capture/PacketRecord.h"
#include "core/display/DisplayDrain.h"
#include "core/display/DisplayListener.h"
#include "core/format/PacketSink.h"
#include "core/util/Result.h"

namespace tapwise {

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

  // The packet's hex lines as this monitor writes them.
  std::string FormatPacket(const PacketRecord& record) const;
  uint16_t PacketCounter() const { return m_lines.PacketCounter(); }

 private:
  Result Outcome() const;
  void PacketShown() override;
  void LineFinished(const DisplayLine& line) override;
  void AppendLine(std::string& out, const std::string& line) const;
  // Writes what the lines so far have left to write; after a failure it
  // only discards.
  void WritePending();
  bool WriteAll(const std::string& bytes);

  // Its own lines: the session's display ring holds only the last 999,
  // and this writes every one.
  DisplayDrain m_lines;
  int m_outFd;
  bool m_terminal;
  std::string m_pending;
  std::string m_lastError;
};

}  // namespace tapwise
