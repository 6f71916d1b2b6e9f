#include "extcap/LiveFeedCopy.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "extcap/MonitorSocket.h"
#include "extcap/PcapngBlockSplitter.h"
#include "extcap/StopSignal.h"

namespace tapwise {

namespace {

// How long a pass waits for the feed or the reader: stop signals are
// looked at in between.
constexpr int PassMs = 50;
// At the end, what is queued gets this long to reach the analyser.
constexpr auto DrainTime = std::chrono::seconds(1);

int Fail(const std::string& text) {
  std::fprintf(stderr, "tapwise-extcap: %s\n", text.c_str());
  return 1;
}

}  // namespace

std::string LiveFeedRequest(uint8_t port) { return port == 0 ? "ports=all" : "ports=" + std::to_string(port); }

int CopyLiveFeed(pid_t monitor, const std::string& socketPath, const std::string& request, FifoOutput& out,
                 const sigset_t& stopSignals) {
  const std::string who = "the monitor (process " + std::to_string(monitor) + ")";
  const int fd = ConnectToMonitor(socketPath, false);
  if (fd < 0) return Fail("cannot reach " + who + ": " + std::strerror(errno));
  const std::string line = request + "\n";
  if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
    const int error = errno;
    ::close(fd);
    return Fail("cannot ask " + who + " for its packets: " + std::strerror(error));
  }
  PcapngBlockSplitter splitter;
  int status = 0;
  bool feedOpen = true;
  while (feedOpen) {
    if (StopSignalPending(stopSignals)) break;
    if (out.ReaderGone()) break;
    pollfd waits[1] = {{fd, POLLIN, 0}};
    const int ready = ::poll(waits, 1, PassMs);
    if (ready < 0 && errno != EINTR) {
      status = Fail(std::string("poll: ") + std::strerror(errno));
      break;
    }
    if (ready > 0) {
      char buffer[65536];
      const ssize_t n = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
      if (n > 0) {
        if (!splitter.Add(std::string_view(buffer, static_cast<size_t>(n)))) {
          status = Fail(who + " sent what is not pcapng: " + splitter.Problem());
          break;
        }
        out.Queue(splitter.TakeBlocks());
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        feedOpen = false;
      }
    }
    if (Result flushed = out.Flush(); !flushed) {
      if (!out.ReaderGone()) status = Fail(flushed.Message());
      break;
    }
  }
  ::close(fd);
  if (!feedOpen) {
    // Stopped or cut off, the monitor closes the feed; what came is kept.
    status = Fail(who + " ended its live feed (it stopped, or cut off this capture for falling behind)");
  }
  out.Drain(DrainTime);
  return status;
}

}  // namespace tapwise
