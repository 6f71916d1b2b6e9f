#include "support/TcpStub.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tapwise {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

bool Contains(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

TcpStub::TcpStub(int receiveBuffer) {
  m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_listener < 0) return;
  // Set before listening, so that accepted connections start with it.
  if (receiveBuffer > 0) setsockopt(m_listener, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(m_listener, 4) != 0 ||
      getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Close();
    return;
  }
  m_port = ntohs(address.sin_port);
}

TcpStub::~TcpStub() { Close(); }

bool TcpStub::Accept(std::chrono::milliseconds timeout) {
  CloseClient();
  if (m_listener < 0) return false;
  pollfd ready{m_listener, POLLIN, 0};
  if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return false;
  m_client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  m_received.clear();
  return m_client >= 0;
}

bool TcpStub::Send(const Bytes& bytes) {
  size_t done = 0;
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
  while (m_client >= 0 && done < bytes.size()) {
    ssize_t sent = send(m_client, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent > 0) {
      done += static_cast<size_t>(sent);
    } else if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd writable{m_client, POLLOUT, 0};
      if (poll(&writable, 1, MillisecondsLeft(deadline)) <= 0) return false;
    } else {
      return false;
    }
  }
  return done == bytes.size();
}

bool TcpStub::ReadUntil(const std::function<bool(const Bytes&)>& done, std::chrono::milliseconds timeout) {
  Clock::time_point deadline = Clock::now() + timeout;
  while (!done(m_received)) {
    if (m_client < 0) return done(m_received);
    pollfd readable{m_client, POLLIN, 0};
    if (poll(&readable, 1, MillisecondsLeft(deadline)) <= 0) return done(m_received);
    uint8_t buffer[4096];
    ssize_t got = recv(m_client, buffer, sizeof buffer, 0);
    if (got > 0) {
      m_received.insert(m_received.end(), buffer, buffer + got);
    } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
      CloseClient();
    }
  }
  return true;
}

void TcpStub::CloseClient() {
  if (m_client >= 0) close(m_client);
  m_client = -1;
}

void TcpStub::Close() {
  CloseClient();
  if (m_listener >= 0) close(m_listener);
  m_listener = -1;
}

}  // namespace tapwise
