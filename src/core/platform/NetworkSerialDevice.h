#pragma once
// A network port: the serial port of another machine, reached over TCP.
// rfc2217:// carries the line format, RTS/DTR, the modem lines and line
// errors as telnet COM-PORT-OPTION commands; tcp:// carries the bytes alone
// (the format and lines are kept here only, the modem lines read 0).
//
// The device counts as open whether or not the server is there: it connects
// in the background, moved on by the receive thread's reads, and when a
// connection cannot be made or drops it tries again after a wait that
// doubles from FirstRetryMs up to MaxRetryMs. Every new connection gets a
// purge of the server's buffers, then the current format and control lines
// again; data written meanwhile waits until the server has answered the
// format (at most SettingsAnswerLimitMs), so that no byte reaches the far
// device before its settings do. Names are looked up on a helper thread, once per attempt; only
// the addresses they give are connected to, and nothing here listens.
//
// WaitHandle is one epoll descriptor for the device's whole life. It holds
// the socket while connected or connecting, the retry timer while waiting
// and the name lookup while that runs, so an idle port costs nothing in any
// of these states. Read does the connection work and returns 0 while there
// is no connection; Write fails then, and the settings calls keep what they
// are given for the next connection. What the user should know (cannot
// connect, connection lost, connected again) is posted once per change to
// the message queue given.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/HostResolver.h"
#include "core/platform/NetworkAddress.h"
#include "core/platform/Rfc2217Codec.h"
#include "core/platform/SerialDevice.h"

namespace tapwise {

class UserMessages;

class NetworkSerialDevice : public SerialDevice {
 public:
  static constexpr int FirstRetryMs = 250;
  static constexpr int MaxRetryMs = 2000;
  // A connection that is neither made nor refused by then counts as failed.
  static constexpr int ConnectTimeoutMs = 5000;
  // Write gives up when the connection took no byte for this long.
  static constexpr int WriteStallLimitMs = 2000;
  // How long data of a new RFC 2217 connection waits for the server to
  // answer the line format before it goes anyway.
  static constexpr int SettingsAnswerLimitMs = 2000;
  // What may wait to be sent on the receiving side (answers to the server)
  // while the server takes nothing; past it the connection is dropped.
  static constexpr size_t MaxPendingBytes = 65536;

  // A device for address that starts connecting at once, without waiting.
  // label names the port in messages ("COM5"); messages may be null; each
  // connection after the first adds one to reconnects, when given, which
  // outlives the device. Fails
  // only when the system cannot give the descriptors it needs.
  static OpenResult Open(const NetworkAddress& address, std::string label, UserMessages* messages,
                         std::atomic<uint32_t>* reconnects = nullptr);

  // One connection attempt on the caller's thread, for a program that may
  // wait (-list-ports): "" when the server took it within timeoutMs, else
  // why not. The connection is closed again at once.
  static std::string Probe(const NetworkAddress& address, int timeoutMs);

  ~NetworkSerialDevice() override;

  bool ApplyLineFormat(const LineFormat& format) override;
  bool SetControlLines(bool rts, bool dtr) override;
  size_t Read(uint8_t* buffer, size_t maxBytes) override;
  bool Write(const uint8_t* data, size_t count) override;
  bool TakeErrorState() override { return TakeLineErrors() != 0; }
  uint8_t TakeLineErrors() override;
  uint8_t ModemLines() override;
  int WaitHandle() const override { return m_epoll; }
  bool LastReadTookInput() const override { return m_tookInput; }

  // Connections made so far (a test waits for the next one).
  uint32_t Connections() const { return m_connections.load(); }

  bool Connected() const;
  // What the server last confirmed of the line format (RFC 2217 only).
  Rfc2217Codec::ServerSettings ServerSettings() const;

 private:
  using Clock = std::chrono::steady_clock;
  // Owned by the receiving thread (after Open).
  enum class Phase : uint8_t { Waiting, Resolving, Connecting, Connected };

  NetworkSerialDevice(const NetworkAddress& address, std::string label, UserMessages* messages);
  bool MakeDescriptors();

  // The connection's course, all on the receiving thread.
  void StartAttempt();
  void TakeResolution();
  void ConnectNext();
  void ContinueConnect();
  void OnConnected();
  void AttemptFailed();
  // A connection that ended by misbehaving keeps the waits growing however
  // long it lasted.
  void Drop(const std::string& problem, bool misbehaved = false);
  void ScheduleRetry();
  size_t ReadConnected(uint8_t* buffer, size_t maxBytes);
  void FlushFromReceiver();
  void WatchWritable(bool writable);
  void CloseSocket();

  void ArmTimer(int milliseconds);
  bool TimerFired();
  void Watch(int fd, uint32_t events);
  void Unwatch(int fd);
  void WatchTimer(bool watch);
  void Post(const std::string& what);

  // With m_stateMutex held: moves what the codec encoded to the outbox.
  void TakeCodecOutput();
  // With m_stateMutex held: the outbox's unsent bytes, which leave it.
  std::vector<uint8_t> TakePending();
  // With m_sendMutex held: shuts the connection down for the receiver to
  // drop, telling it why.
  void GiveUp(const std::string& why);
  // Waits while a new connection holds data back; false when there is no
  // connection. Not with either lock held.
  bool WaitForRelease();
  // On the receiving thread: keeps data back while the connection holds it
  // (accepted says whether it was taken). False when nothing is held back.
  bool HoldOnReceiver(const uint8_t* data, size_t count, bool& accepted);
  // With m_stateMutex held: ends the hold, moving what was kept back to
  // the outbox; false when there was none.
  bool ReleaseHold();
  void PostLate();
  // On the receiving thread, connected: the timer for the next of the
  // settling and the end of the hold, or none.
  void ArmConnectedTimer();
  // With m_sendMutex held: writes every byte, waiting while the connection
  // is full; on failure shuts the connection down so the receiver drops it.
  bool SendAll(const std::vector<uint8_t>& bytes);

  const NetworkAddress m_address;
  const std::string m_label;
  UserMessages* const m_messages;
  int m_epoll = -1;
  int m_timer = -1;

  // Held by whoever writes to the socket, and by the receiving thread when
  // it replaces or closes the socket; taken before m_stateMutex.
  std::mutex m_sendMutex;
  // The socket: changed only by the receiving thread, under both locks.
  int m_socket = -1;

  mutable std::mutex m_stateMutex;
  // Guarded by m_stateMutex:
  bool m_connected = false;
  std::unique_ptr<Rfc2217Codec> m_codec;  // RFC 2217 while connected
  std::vector<uint8_t> m_outbox;          // encoded, not yet written
  size_t m_outboxSent = 0;                // of it, from its front
  // Why this side shut the connection down ("" when it did not).
  std::string m_givenUp;
  // A new connection's data waits (for the server's answer to the format)
  // until m_holdUntil at the most.
  bool m_holding = false;
  Clock::time_point m_holdUntil;
  std::vector<uint8_t> m_held;  // encoded data the receiving thread wrote meanwhile
  std::condition_variable m_released;
  // The thread that reads (set by Read).
  std::atomic<std::thread::id> m_reader{};
  LineFormat m_format;
  bool m_rts = false;
  bool m_dtr = false;
  bool m_refusalReported = false;

  // The receiving thread's own:
  Phase m_phase = Phase::Waiting;
  std::unique_ptr<HostResolver> m_resolver;
  std::vector<SocketAddress> m_addresses;
  size_t m_nextAddress = 0;
  std::string m_problem;  // why the last attempt failed
  int m_retryMs = FirstRetryMs;
  bool m_timerWatched = false;
  bool m_tookInput = false;  // the last Read took bytes from the socket (reader thread)
  bool m_watchingWritable = false;
  // The user was told the port is down and not yet that it is back.
  bool m_troubleReported = false;
  // Connected after trouble, and not yet for MaxRetryMs.
  bool m_settling = false;
  Clock::time_point m_connectedAt;
  std::vector<uint8_t> m_received;

  std::atomic<uint32_t> m_connections{0};
  std::atomic<uint32_t>* m_reconnects = nullptr;
  std::atomic<bool> m_lateReported{false};
};

}  // namespace tapwise
