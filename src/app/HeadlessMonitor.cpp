#include "app/HeadlessMonitor.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/format/HexLines.h"
#include "core/util/Windows1252.h"

namespace tapwise {

HeadlessMonitor::HeadlessMonitor(int outFd, bool terminal) : m_outFd(outFd), m_terminal(terminal) {
  m_lines.SetListener(this);
}

void HeadlessMonitor::Take(const PacketView& packet) { m_lines.Take(packet); }

std::string HeadlessMonitor::FormatPacket(const PacketRecord& record) const {
  std::string text;
  text.reserve(static_cast<size_t>(HexLineCount(record)) * (HexLineWidth + 2));
  ForEachHexLine(record, [this, &text](const std::string& line) { AppendLine(text, line); });
  return text;
}

void HeadlessMonitor::AppendLine(std::string& out, const std::string& line) const {
  if (m_terminal) {
    out += Windows1252ToUtf8(line);
    out += '\n';
  } else {
    out += line;
    out += "\r\n";
  }
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
  if (m_lastError.empty()) AppendLine(m_pending, line.Text);
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
