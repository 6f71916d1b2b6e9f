#include "app/HeadlessMonitor.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "capture/TWComms.h"
#include "display/HexLines.h"
#include "display/QueueDrain.h"
#include "util/Windows1252.h"

namespace tapwise {

HeadlessMonitor::HeadlessMonitor(TWComms& comms, int outFd, bool terminal)
    : m_comms(comms), m_outFd(outFd), m_terminal(terminal) {}

std::string HeadlessMonitor::FormatPacket(const PacketRecord& record) const {
  std::string text;
  const int lines = HexLineCount(record);
  text.reserve(static_cast<size_t>(lines) * (HexLineWidth + 2));
  for (int i = 0; i < lines; ++i) {
    std::string line = FormatHexLine(record, i);
    if (m_terminal) {
      text += Windows1252ToUtf8(line);
      text += '\n';
    } else {
      text += line;
      text += "\r\n";
    }
  }
  return text;
}

bool HeadlessMonitor::Tick() {
  bool ok = m_lastError.empty();
  DrainQueue(m_comms, m_packetCounter, [&](const PacketRecord& record) {
    // Once the output has failed the rest is still taken (and freed), so the
    // queue cannot grow while the program winds down.
    if (ok) ok = WriteAll(FormatPacket(record));
  });
  return ok;
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
