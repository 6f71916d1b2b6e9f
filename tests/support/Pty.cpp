#include "support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace tapwise {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

Pty::Pty() : m_terminal(PseudoTerminal::Create(&m_error)) {
  if (m_terminal) m_slavePath = m_terminal->SlavePath();
}

const std::string& Pty::SlavePath() const { return m_slavePath; }

int Pty::MasterFd() const { return m_terminal ? m_terminal->MasterFd() : -1; }

void Pty::CloseMaster() { m_terminal.reset(); }

bool Pty::WriteAll(int fd, const Bytes& bytes, std::chrono::milliseconds timeout) {
  Clock::time_point deadline = Clock::now() + timeout;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote > 0) {
      done += static_cast<size_t>(wrote);
      continue;
    }
    if (wrote < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (Clock::now() >= deadline) return false;
    pollfd writable{fd, POLLOUT, 0};
    poll(&writable, 1, std::min(MillisecondsLeft(deadline), 50));
  }
  return true;
}

Pty::Bytes Pty::ReadFor(int fd, size_t count, std::chrono::milliseconds timeout) {
  Clock::time_point deadline = Clock::now() + timeout;
  Bytes got;
  uint8_t buffer[4096];
  while (got.size() < count) {
    ssize_t n = read(fd, buffer, std::min(sizeof buffer, count - got.size()));
    if (n > 0) {
      got.insert(got.end(), buffer, buffer + n);
      continue;
    }
    if (Clock::now() >= deadline) break;
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      // EIO: no other end just now; it may come back.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    pollfd readable{fd, POLLIN, 0};
    poll(&readable, 1, std::min(MillisecondsLeft(deadline), 50));
  }
  return got;
}

Pty::Bytes Pty::ReadFor(SerialDevice& device, size_t count, std::chrono::milliseconds timeout) {
  Clock::time_point deadline = Clock::now() + timeout;
  Bytes got;
  uint8_t buffer[4096];
  while (got.size() < count) {
    size_t n = device.Read(buffer, sizeof buffer);
    if (n > 0) {
      got.insert(got.end(), buffer, buffer + n);
      continue;
    }
    if (Clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return got;
}

int Pty::OpenPlain(const std::string& path) { return open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); }

}  // namespace tapwise
