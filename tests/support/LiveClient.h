#pragma once
// A client of a monitor's live feed, as a test drives it: connects to the
// socket, sends a request line, and collects what comes back.

#include <chrono>
#include <cstddef>
#include <string>

namespace tapwise {

class LiveClient {
 public:
  // Connects at once; Connected() says whether it did.
  explicit LiveClient(const std::string& socketPath);
  ~LiveClient();
  LiveClient(const LiveClient&) = delete;
  LiveClient& operator=(const LiveClient&) = delete;

  bool Connected() const { return m_fd >= 0; }
  void Send(const std::string& bytes);
  // Reads what is there now, without waiting.
  void ReadAvailable();
  // Reads until at least `size` bytes came, the peer closed, or the time is up.
  void ReadUntil(size_t size, std::chrono::milliseconds limit = std::chrono::seconds(10));
  // Reads until nothing more has come for `quiet` (or the peer closed).
  void ReadUntilQuiet(std::chrono::milliseconds quiet = std::chrono::milliseconds(300));
  // Reads until the peer closes (or the time is up).
  void ReadToEnd(std::chrono::milliseconds limit = std::chrono::seconds(10));
  bool PeerClosed() const { return m_closed; }
  const std::string& Received() const { return m_received; }
  // A small receive buffer, so that a client that stops reading fills up soon.
  void ShrinkReceiveBuffer();

 private:
  int m_fd = -1;
  bool m_closed = false;
  std::string m_received;
};

}  // namespace tapwise
