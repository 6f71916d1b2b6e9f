#include "tap/DirectCopy.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace tapwise::bench {

namespace {

// Writes every byte, waiting while the far side is full.
void WriteAll(int fd, const char* data, ssize_t size) {
  while (size > 0) {
    const ssize_t wrote = write(fd, data, static_cast<size_t>(size));
    if (wrote > 0) {
      data += wrote;
      size -= wrote;
    } else if (wrote < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd out{fd, POLLOUT, 0};
      poll(&out, 1, 10);
    } else {
      return;
    }
  }
}

}  // namespace

DirectCopy::DirectCopy(const std::string& deviceSlave, int appMaster) : m_app(appMaster) {
  m_device = open(deviceSlave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m_device < 0) return;
  termios raw{};
  tcgetattr(m_device, &raw);
  cfmakeraw(&raw);
  tcsetattr(m_device, TCSANOW, &raw);
  m_thread = std::thread([this] { Run(); });
}

DirectCopy::~DirectCopy() {
  m_stop.store(true);
  if (m_thread.joinable()) m_thread.join();
  if (m_device >= 0) close(m_device);
}

void DirectCopy::Run() {
  char buffer[4096];
  while (!m_stop.load()) {
    pollfd fds[2] = {{m_device, POLLIN, 0}, {m_app, POLLIN, 0}};
    if (poll(fds, 2, 50) <= 0) continue;
    if (fds[0].revents & POLLIN) {
      const ssize_t got = read(m_device, buffer, sizeof buffer);
      if (got > 0) WriteAll(m_app, buffer, got);
    }
    if (fds[1].revents & POLLIN) {
      const ssize_t got = read(m_app, buffer, sizeof buffer);
      if (got > 0) WriteAll(m_device, buffer, got);
    }
  }
}

}  // namespace tapwise::bench
