#include "app/HeadlessMonitor.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "app/TerminalColour.h"
#include "core/format/HexLines.h"
#include "core/util/Windows1252.h"

namespace tapwise {

HeadlessMonitor::HeadlessMonitor(int outFd, bool terminal) : m_outFd(outFd), m_terminal(terminal) {
  m_lines.SetListener(this);
}

void HeadlessMonitor::Take(const PacketView& packet) {
  const PacketRecord& record = packet.Record();
  if (!m_grep.Empty() && !m_grep.Matches(record.Data, std::min(record.Length, PacketCapacity))) return;
  m_lines.Take(packet);
}

std::string HeadlessMonitor::FormatPacket(const PacketRecord& record) const {
  std::string text;
  text.reserve(static_cast<size_t>(HexLineCount(record)) * (HexLineWidth + 2));
  ForEachHexLine(record, [this, &text](const std::string& line) { AppendLine(text, line); });
  return text;
}

void HeadlessMonitor::AppendLine(std::string& out, const std::string& line, const DisplayLine* colourOf) const {
  // The escapes go around the converted text: as 8-bit characters they
  // would be taken for text.
  const std::string text = m_terminal ? Windows1252ToUtf8(line) : line;
  out += colourOf ? Coloured(*colourOf, text) : text;
  out += m_terminal ? "\n" : "\r\n";
}

Result HeadlessMonitor::Flush() {
  WritePending();
  return Outcome();
}

Result HeadlessMonitor::Finish() {
  m_lines.FinishOpenLine();
  WritePending();
  return Outcome();
}

Result HeadlessMonitor::Outcome() const {
  return m_lastError.empty() ? Result::Success() : Result::Failure(m_lastError);
}

void HeadlessMonitor::SetHexDisplay(bool hex) {
  // The unfinished ASCII line is reported as the mode changes; out with it.
  if (m_lines.SwitchMode(hex)) WritePending();
}

void HeadlessMonitor::PacketShown() {
  // One write per packet: its lines are complete, and the output keeps up
  // with the traffic instead of waiting for the end of the tick.
  WritePending();
}

void HeadlessMonitor::LineFinished(const DisplayLine& line) {
  if (!m_lastError.empty()) return;
  const bool hexLine = m_lines.HexDisplay() && line.Text.size() == HexLineWidth;
  const std::string text = hexLine && m_layout.Restyled() ? Restyle(line) : line.Text;
  AppendLine(m_pending, text, m_layout.PortColour ? &line : nullptr);
}

std::string HeadlessMonitor::Restyle(const DisplayLine& line) {
  constexpr size_t OldHeader = 12;
  const std::string body = line.Text.substr(OldHeader);
  // A packet's further lines have a blank header.
  if (line.Text[0] == ' ') return std::string(m_headerWidth, ' ') + body;
  std::string header;
  if (m_layout.PortLabel) {
    if (line.Error) header = "ERR ";
    header += m_layout.PortLabel(line.Port);
    if (header.size() < 5) header.resize(5, ' ');
  } else {
    header = line.Text.substr(0, 4);
  }
  header += line.Origin == OriginReceived ? ' ' : '*';
  const int64_t micros = PacketUnixMicroseconds(line.Time);
  const int64_t delta = m_anyPacket ? micros - m_lastPacketMicros : 0;
  m_anyPacket = true;
  m_lastPacketMicros = micros;
  header += PacketTimeText(m_layout.Time, line.Time, delta);
  m_headerWidth = header.size();
  return header + body;
}

std::string HeadlessMonitor::Coloured(const DisplayLine& line, const std::string& text) const {
  const int32_t background = line.Error                    ? m_layout.ErrorBackground
                             : line.Origin != OriginReceived ? m_layout.TransmissionBackground
                                                             : -1;
  std::string out;
  const int32_t foreground = m_layout.PortColour(line.Port);
  if (foreground >= 0) out += "\x1b[38;5;" + std::to_string(NearestTerminalColour(foreground)) + "m";
  if (background >= 0) out += "\x1b[48;5;" + std::to_string(NearestTerminalColour(background)) + "m";
  if (out.empty()) return text;
  // Reset before the line ends, so a background does not run to the edge.
  return out + text + "\x1b[0m";
}

void HeadlessMonitor::WritePending() {
  if (!m_pending.empty() && m_lastError.empty()) WriteAll(m_pending);
  m_pending.clear();
}

bool HeadlessMonitor::WriteAll(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(m_outFd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Someone made our output non-blocking: wait until it takes more.
      pollfd out{m_outFd, POLLOUT, 0};
      poll(&out, 1, 100);
      continue;
    }
    if (n <= 0) {
      m_lastError = n < 0 ? std::strerror(errno) : "nothing was written";
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace tapwise
