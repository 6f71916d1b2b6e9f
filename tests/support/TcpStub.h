#pragma once
// A TCP server of the test's own on 127.0.0.1, for what a real server will
// not do: send a malformed telnet stream, show every command byte a client
// sent. It takes one connection at a time; the test writes to and reads
// from the connection it accepted.

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace tapwise {

class TcpStub {
 public:
  using Bytes = std::vector<uint8_t>;

  // receiveBuffer > 0: the accepted connections take at most about that
  // many bytes unread, so that a client's sends fill up soon.
  explicit TcpStub(int receiveBuffer = 0);
  ~TcpStub();
  TcpStub(const TcpStub&) = delete;
  TcpStub& operator=(const TcpStub&) = delete;

  bool Ok() const { return m_listener >= 0; }
  uint16_t Port() const { return m_port; }

  // Waits for a client (dropping the one before); false when none came.
  bool Accept(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  bool HasClient() const { return m_client >= 0; }
  bool Send(const Bytes& bytes);
  // Reads what the client sends until done(all read so far) holds or the
  // time is up; everything read is kept in Received().
  bool ReadUntil(const std::function<bool(const Bytes&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5));
  const Bytes& Received() const { return m_received; }
  void ClearReceived() { m_received.clear(); }
  void CloseClient();
  // Stops listening too: later connects are refused.
  void Close();

 private:
  int m_listener = -1;
  int m_client = -1;
  uint16_t m_port = 0;
  Bytes m_received;
};

// Whether needle occurs in haystack.
bool Contains(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle);

}  // namespace tapwise
