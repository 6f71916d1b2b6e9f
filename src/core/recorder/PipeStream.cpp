#include "core/recorder/PipeStream.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace tapwise {

namespace {

// Keeps the buffer from growing by what has already gone.
constexpr size_t CompactAfter = size_t{1} << 20;

}  // namespace

bool PipeStream::IsStreamTarget(const std::string& path) {
  if (IsStandardOutput(path)) return true;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

Result PipeStream::Open(const std::string& path) {
  Close(std::chrono::milliseconds(0));
  m_path = path;
  m_pending.clear();
  m_sent = 0;
  if (!IsStandardOutput(path)) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return Result::Failure(std::strerror(errno));
    if (!S_ISFIFO(info.st_mode)) return Result::Failure("it is not a named pipe (FIFO)");
    // No reader yet is no failure: the analyser may be started second.
    if (const int error = TryOpenFifo(); error != 0 && error != ENXIO) return Result::Failure(std::strerror(error));
    m_open = true;
    return Result::Success();
  }
  if (::isatty(STDOUT_FILENO) != 0) {
    return Result::Failure("standard output is a terminal, and pcapng is binary: pipe it into an analyser "
                           "(| tshark -i -) or redirect it into a file");
  }
  // A descriptor of our own, so that closing the stream leaves the
  // program's standard output open (to /dev/null as EnsureStandardDescriptors
  // would have it, or to the reader, which then sees the end).
  m_fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (m_fd < 0) return Result::Failure(std::string("standard output: ") + std::strerror(errno));
  struct stat info {};
  if (::fstat(m_fd, &info) == 0 && !S_ISREG(info.st_mode)) {
    // The flag belongs to the pipe's end, shared with descriptor 1; it is
    // given back at Close.
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK) == 0 && ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) == 0) {
      m_restoreFlags = flags;
    }
  }
  m_open = true;
  return Result::Success();
}

int PipeStream::TryOpenFifo() {
  // With O_NONBLOCK the open never waits: without a reader it fails with ENXIO.
  const int fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode)) {
    // Replaced by something else meanwhile: not what was asked for, and
    // never written to.
    ::close(fd);
    return ENXIO;
  }
  m_fd = fd;
  return 0;
}

Result PipeStream::Write(std::string_view bytes) {
  if (!m_open) return Result::Failure("the stream is not open");
  m_pending.append(bytes);
  return Flush();
}

Result PipeStream::Flush() {
  if (!m_open) return Result::Success();
  if (m_fd < 0) (void)TryOpenFifo();
  while (m_fd >= 0 && Waiting() > 0) {
    const ssize_t n = ::write(m_fd, m_pending.data() + m_sent, Waiting());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      if (errno == EPIPE) return Fail("the reader closed the pipe");
      return Fail(std::strerror(errno));
    }
    if (n == 0) break;
    m_sent += static_cast<size_t>(n);
  }
  if (Waiting() == 0) {
    m_pending.clear();
    m_sent = 0;
  } else if (m_sent > CompactAfter) {
    m_pending.erase(0, m_sent);
    m_sent = 0;
  }
  if (Waiting() > m_limit) {
    const std::string limit = std::to_string(m_limit >> 10) + " KiB";
    return Fail(m_fd < 0 ? "no program opened the named pipe to read it while " + limit + " waited"
                         : "the reader fell " + limit + " behind");
  }
  return Result::Success();
}

Result PipeStream::Fail(std::string reason) {
  Close(std::chrono::milliseconds(0));
  return Result::Failure(std::move(reason));
}

void PipeStream::Close(std::chrono::milliseconds linger) {
  if (!m_open) return;
  const auto until = std::chrono::steady_clock::now() + linger;
  while (m_fd >= 0 && Waiting() > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd wait{m_fd, POLLOUT, 0};
    if (::poll(&wait, 1, static_cast<int>(left.count())) <= 0 || (wait.revents & (POLLERR | POLLHUP)) != 0) break;
    const ssize_t n = ::write(m_fd, m_pending.data() + m_sent, Waiting());
    if (n < 0 && errno != EINTR && errno != EAGAIN) break;
    if (n > 0) m_sent += static_cast<size_t>(n);
  }
  if (m_fd >= 0) {
    if (m_restoreFlags >= 0) ::fcntl(m_fd, F_SETFL, m_restoreFlags);
    ::close(m_fd);
  }
  m_fd = -1;
  m_restoreFlags = -1;
  m_open = false;
  m_pending.clear();
  m_sent = 0;
}

}  // namespace tapwise
