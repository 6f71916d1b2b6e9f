#include "extcap/FifoOutput.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace tapwise {

FifoOutput::~FifoOutput() {
  if (m_fd >= 0) ::close(m_fd);
}

Result FifoOutput::Open(const std::string& path, const std::function<bool()>& stop) {
  struct stat info {};
  const bool fifo = ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
  if (!fifo) {
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0644);
    if (m_fd < 0) return Result::Failure(path + ": " + std::strerror(errno));
    return Result::Success();
  }
  // Without a reader a non-blocking open fails with ENXIO: a blocking one
  // would not see a stop signal until the analyser opened its end.
  for (;;) {
    m_fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd >= 0) return Result::Success();
    if (errno != ENXIO && errno != EINTR) return Result::Failure(path + ": " + std::strerror(errno));
    if (stop && stop()) return Result::Success();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

Result FifoOutput::Flush() {
  if (m_readerGone) return Result::Failure("the reader closed the pipe");
  while (Waiting() > 0) {
    const ssize_t n = ::write(m_fd, m_pending.data() + m_sent, Waiting());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      if (errno == EPIPE) {
        m_readerGone = true;
        return Result::Failure("the reader closed the pipe");
      }
      return Result::Failure(std::string("cannot write the capture: ") + std::strerror(errno));
    }
    m_sent += static_cast<size_t>(n);
  }
  if (Waiting() == 0) {
    m_pending.clear();
    m_sent = 0;
  } else if (m_sent > (size_t{1} << 20)) {
    m_pending.erase(0, m_sent);
    m_sent = 0;
  }
  if (Waiting() > m_limit) {
    return Result::Failure("the packet analyser fell " + std::to_string(m_limit >> 10) +
                           " KiB behind; the capture stops");
  }
  return Result::Success();
}

bool FifoOutput::ReaderGone() {
  if (m_readerGone) return true;
  if (m_fd < 0) return false;
  // The write end of a pipe polls POLLERR once its last reader has gone.
  pollfd out{m_fd, 0, 0};
  if (::poll(&out, 1, 0) > 0 && (out.revents & (POLLERR | POLLHUP)) != 0) m_readerGone = true;
  return m_readerGone;
}

void FifoOutput::Drain(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (Waiting() > 0 && !m_readerGone) {
    if (!Flush() || Waiting() == 0) return;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd out{m_fd, POLLOUT, 0};
    (void)::poll(&out, 1, static_cast<int>(left.count()));
  }
}

}  // namespace tapwise
