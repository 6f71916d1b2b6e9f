#include "support/LiveClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tapwise {

LiveClient::LiveClient(const std::string& socketPath) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof(address.sun_path)) return;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(m_fd);
    m_fd = -1;
  }
}

LiveClient::~LiveClient() {
  if (m_fd >= 0) ::close(m_fd);
}

void LiveClient::Send(const std::string& bytes) {
  if (m_fd >= 0) (void)::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void LiveClient::ShrinkReceiveBuffer() {
  int size = 4096;
  (void)::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
}

void LiveClient::ReadAvailable() {
  char buffer[65536];
  while (m_fd >= 0 && !m_closed) {
    const ssize_t n = ::recv(m_fd, buffer, sizeof(buffer), MSG_DONTWAIT);
    if (n > 0) {
      m_received.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      m_closed = true;
    } else if (errno != EINTR) {
      return;
    }
  }
}

void LiveClient::ReadUntil(size_t size, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    ReadAvailable();
    if (m_received.size() >= size || m_closed || m_fd < 0) return;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd in{m_fd, POLLIN, 0};
    (void)::poll(&in, 1, static_cast<int>(left.count()));
  }
}

void LiveClient::ReadUntilQuiet(std::chrono::milliseconds quiet) {
  for (int round = 0; round < 1000; ++round) {
    const size_t before = m_received.size();
    ReadUntil(before + 1, quiet);
    if (m_received.size() == before || m_closed) return;
  }
}

void LiveClient::ReadToEnd(std::chrono::milliseconds limit) { ReadUntil(SIZE_MAX, limit); }

}  // namespace tapwise
