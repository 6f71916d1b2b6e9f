#include "core/platform/NetworkSerialDevice.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "core/util/UserMessages.h"

namespace tapwise {

namespace {

// One read takes at most this much from the socket.
constexpr size_t ReceiveChunk = 16384;
constexpr int WriteWaitSliceMs = 100;
// A server that vanishes without closing (switched off, cable pulled) is
// noticed by keepalive probes: after 10 s of silence, 3 probes 5 s apart.
constexpr int KeepIdleSeconds = 10;
constexpr int KeepIntervalSeconds = 5;
constexpr int KeepProbes = 3;

std::string ErrorText(int error) { return std::strerror(error); }

void SetOption(int fd, int level, int name, int value) {
  // Best effort: a socket without them still carries the bytes.
  setsockopt(fd, level, name, &value, sizeof value);
}

// A socket with a non-blocking connect to address under way (or made); -1
// with errno set when it failed at once.
int StartConnect(const SocketAddress& address) {
  int fd = socket(address.Storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return -1;
  int rc;
  do {
    rc = connect(fd, reinterpret_cast<const sockaddr*>(&address.Storage), address.Length);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0 || errno == EINPROGRESS) return fd;
  int error = errno;
  close(fd);
  errno = error;
  return -1;
}

// The outcome of a finished non-blocking connect: 0 or the error.
int ConnectError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

// A limit as the user reads it: "2 s", "250 ms".
std::string Duration(int milliseconds) {
  if (milliseconds % 1000 == 0) return std::to_string(milliseconds / 1000) + " s";
  return std::to_string(milliseconds) + " ms";
}

bool ValidFormat(const LineFormat& format) {
  return format.BaudRate > 0 && format.DataBits >= 5 && format.DataBits <= 8 && format.Parity <= ParitySpace &&
         format.StopBits <= StopTwo;
}

}  // namespace

OpenResult NetworkSerialDevice::Open(const NetworkAddress& address, std::string label, UserMessages* messages,
                                     std::atomic<uint32_t>* reconnects) {
  std::unique_ptr<NetworkSerialDevice> device(new NetworkSerialDevice(address, std::move(label), messages));
  device->m_reconnects = reconnects;
  if (!device->MakeDescriptors()) return {nullptr, OpenStatus::Failed};
  device->StartAttempt();
  return {std::move(device), OpenStatus::Opened};
}

std::string NetworkSerialDevice::Probe(const NetworkAddress& address, int timeoutMs) {
  Resolution resolution = HostResolver::ResolveNow(address.Host, address.Port);
  if (resolution.Addresses.empty()) return "cannot resolve " + address.Host + ": " + resolution.Problem;
  std::string problem;
  for (const SocketAddress& candidate : resolution.Addresses) {
    int fd = StartConnect(candidate);
    if (fd < 0) {
      problem = ErrorText(errno);
      continue;
    }
    pollfd writable{fd, POLLOUT, 0};
    int ready;
    do {
      ready = poll(&writable, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    int error = ready > 0 ? ConnectError(fd) : ETIMEDOUT;
    close(fd);
    if (error == 0) return "";
    problem = ErrorText(error);
  }
  return problem;
}

NetworkSerialDevice::NetworkSerialDevice(const NetworkAddress& address, std::string label, UserMessages* messages)
    : m_address(address), m_label(std::move(label)), m_messages(messages), m_received(ReceiveChunk) {}

NetworkSerialDevice::~NetworkSerialDevice() {
  CloseSocket();
  if (m_timer >= 0) close(m_timer);
  if (m_epoll >= 0) close(m_epoll);
  // A name lookup still under way ends on its own thread.
}

bool NetworkSerialDevice::MakeDescriptors() {
  m_epoll = epoll_create1(EPOLL_CLOEXEC);
  m_timer = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  return m_epoll >= 0 && m_timer >= 0;
}

// ---- The connection's course ------------------------------------------------

void NetworkSerialDevice::StartAttempt() {
  m_addresses.clear();
  m_nextAddress = 0;
  m_problem.clear();
  m_resolver = std::make_unique<HostResolver>(m_address.Host, m_address.Port);
  if (m_resolver->ReadyHandle() >= 0) {
    Watch(m_resolver->ReadyHandle(), EPOLLIN);
    m_phase = Phase::Resolving;
    return;
  }
  TakeResolution();
}

void NetworkSerialDevice::TakeResolution() {
  if (m_resolver->ReadyHandle() >= 0) Unwatch(m_resolver->ReadyHandle());
  Resolution resolution = m_resolver->Take();
  m_resolver.reset();
  if (resolution.Addresses.empty()) {
    m_problem = "cannot resolve " + m_address.Host + ": " + resolution.Problem;
    AttemptFailed();
    return;
  }
  m_addresses = std::move(resolution.Addresses);
  ConnectNext();
}

void NetworkSerialDevice::ConnectNext() {
  while (m_nextAddress < m_addresses.size()) {
    int fd = StartConnect(m_addresses[m_nextAddress++]);
    if (fd < 0) {
      m_problem = ErrorText(errno);
      continue;
    }
    // No writer looks at the socket before the connection is made.
    m_socket = fd;
    Watch(m_socket, EPOLLOUT);
    WatchTimer(true);
    ArmTimer(ConnectTimeoutMs);
    m_phase = Phase::Connecting;
    ContinueConnect();
    return;
  }
  AttemptFailed();
}

void NetworkSerialDevice::ContinueConnect() {
  pollfd writable{m_socket, POLLOUT, 0};
  if (poll(&writable, 1, 0) <= 0) {
    if (!TimerFired()) return;
    m_problem = "no answer within " + std::to_string(ConnectTimeoutMs / 1000) + " s";
  } else if (int error = ConnectError(m_socket); error != 0) {
    m_problem = ErrorText(error);
  } else {
    OnConnected();
    return;
  }
  CloseSocket();
  ConnectNext();
}

void NetworkSerialDevice::OnConnected() {
  SetOption(m_socket, IPPROTO_TCP, TCP_NODELAY, 1);
  SetOption(m_socket, SOL_SOCKET, SO_KEEPALIVE, 1);
  SetOption(m_socket, IPPROTO_TCP, TCP_KEEPIDLE, KeepIdleSeconds);
  SetOption(m_socket, IPPROTO_TCP, TCP_KEEPINTVL, KeepIntervalSeconds);
  SetOption(m_socket, IPPROTO_TCP, TCP_KEEPCNT, KeepProbes);
  ArmTimer(0);
  TimerFired();
  m_connectedAt = Clock::now();
  // While connected only the socket wakes the receiver, except that the
  // timer says when the connection has lasted long enough to call it back
  // after trouble (a server that takes connections and ends them at once
  // then makes no stream of messages), and when held data stops waiting.
  m_settling = m_troubleReported;
  epoll_event events{};
  events.events = EPOLLIN;
  events.data.fd = m_socket;
  epoll_ctl(m_epoll, EPOLL_CTL_MOD, m_socket, &events);
  m_watchingWritable = false;
  m_addresses.clear();
  {
    std::scoped_lock lock(m_sendMutex, m_stateMutex);
    m_outbox.clear();
    m_outboxSent = 0;
    m_givenUp.clear();
    if (m_address.Protocol == NetworkProtocol::Rfc2217) {
      m_codec = std::make_unique<Rfc2217Codec>();
      m_codec->Begin();
      TakeCodecOutput();
      m_holding = true;
      m_holdUntil = m_connectedAt + std::chrono::milliseconds(SettingsAnswerLimitMs);
    }
    m_connected = true;
  }
  m_phase = Phase::Connected;
  ArmConnectedTimer();
  if (m_connections.fetch_add(1) > 0 && m_reconnects) m_reconnects->fetch_add(1);
  FlushFromReceiver();
}

void NetworkSerialDevice::AttemptFailed() {
  if (!m_troubleReported) Post("cannot connect (" + m_problem + "); trying again in the background");
  m_troubleReported = true;
  ScheduleRetry();
}

void NetworkSerialDevice::Drop(const std::string& problem, bool misbehaved) {
  CloseSocket();
  // A connection that lasted was a good one: start the waits afresh. One
  // that the server ends at once keeps the waits growing.
  if (!misbehaved && Clock::now() - m_connectedAt >= std::chrono::milliseconds(MaxRetryMs)) m_retryMs = FirstRetryMs;
  if (!m_troubleReported) Post("connection lost (" + problem + "); trying to connect again");
  m_troubleReported = true;
  m_settling = false;
  ScheduleRetry();
}

void NetworkSerialDevice::ScheduleRetry() {
  m_phase = Phase::Waiting;
  WatchTimer(true);
  ArmTimer(m_retryMs);
  m_retryMs = std::min(m_retryMs * 2, MaxRetryMs);
}

void NetworkSerialDevice::CloseSocket() {
  std::scoped_lock lock(m_sendMutex, m_stateMutex);
  m_connected = false;
  m_codec.reset();
  m_outbox.clear();
  m_outboxSent = 0;
  m_givenUp.clear();
  m_holding = false;
  m_held.clear();
  m_released.notify_all();
  m_watchingWritable = false;
  if (m_socket >= 0) close(m_socket);  // which also takes it out of the epoll set
  m_socket = -1;
}

// ---- Reading ------------------------------------------------------------------

size_t NetworkSerialDevice::Read(uint8_t* buffer, size_t maxBytes) {
  m_reader.store(std::this_thread::get_id(), std::memory_order_relaxed);
  m_tookInput = false;
  if (maxBytes == 0) return 0;
  switch (m_phase) {
    case Phase::Waiting:
      if (TimerFired()) StartAttempt();
      return 0;
    case Phase::Resolving:
      if (m_resolver->Done()) TakeResolution();
      return 0;
    case Phase::Connecting:
      ContinueConnect();
      return 0;
    case Phase::Connected:
      return ReadConnected(buffer, maxBytes);
  }
  return 0;
}

size_t NetworkSerialDevice::ReadConnected(uint8_t* buffer, size_t maxBytes) {
  if (m_timerWatched && TimerFired()) {
    const Clock::time_point now = Clock::now();
    if (m_settling && now - m_connectedAt >= std::chrono::milliseconds(MaxRetryMs)) {
      m_settling = false;
      m_troubleReported = false;
      Post("connected");
    }
    bool late = false;
    {
      std::lock_guard lock(m_stateMutex);
      late = m_holding && now >= m_holdUntil && ReleaseHold();
    }
    if (late) PostLate();
    ArmConnectedTimer();
  }
  const bool telnet = m_address.Protocol == NetworkProtocol::Rfc2217;
  // Decoding never makes more data bytes than it was given, so reading at
  // most maxBytes from the socket fills at most maxBytes of the buffer.
  uint8_t* into = telnet ? m_received.data() : buffer;
  const size_t room = std::min(maxBytes, ReceiveChunk);
  ssize_t got;
  do {
    got = recv(m_socket, into, room, 0);
  } while (got < 0 && errno == EINTR);
  if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
    std::string problem = got == 0 ? "closed by the server" : ErrorText(errno);
    bool ours = false;
    {
      std::lock_guard lock(m_stateMutex);
      if (!m_givenUp.empty()) {
        problem = m_givenUp;
        ours = true;
      }
    }
    Drop(problem, ours);
    return 0;
  }
  if (got < 0) got = 0;
  m_tookInput = got > 0;
  if (!telnet) return static_cast<size_t>(got);

  size_t data = 0;
  bool flush = m_watchingWritable;
  bool refused = false;
  size_t pending = 0;
  {
    std::lock_guard lock(m_stateMutex);
    if (got > 0) data = m_codec->Decode(into, static_cast<size_t>(got), buffer);
    if (m_codec->TakeComPortAgreed()) {
      // The purge first, so that it cannot throw away anything sent once
      // the settings are in. The line format goes last: the server's
      // answer to it releases the data held back.
      m_codec->EncodePurge();
      m_codec->EncodeOpening();
      m_codec->EncodeControlLines(m_rts, m_dtr);
      m_codec->EncodeLineFormat(m_format);
    }
    TakeCodecOutput();
    if (m_holding && (m_codec->LineFormatAnswered() || m_codec->ComPortRefused())) ReleaseHold();
    pending = m_outbox.size() - m_outboxSent;
    flush = flush || pending > 0;
    if (m_codec->ComPortRefused() && !m_refusalReported) refused = m_refusalReported = true;
  }
  if (refused) Post("the server does not take line settings (no RFC 2217 there); only the bytes pass");
  if (pending > MaxPendingBytes) {
    // A server that keeps talking but takes nothing would otherwise have
    // its answers pile up here without end.
    Drop("the server keeps sending but takes nothing; " + std::to_string(pending) + " bytes waited for it", true);
    return data;
  }
  if (flush) FlushFromReceiver();
  return data;
}

// ---- Writing ------------------------------------------------------------------

void NetworkSerialDevice::TakeCodecOutput() {
  std::vector<uint8_t>& encoded = m_codec->Output();
  if (encoded.empty()) return;
  if (m_outbox.empty()) {
    m_outbox.swap(encoded);
  } else {
    m_outbox.insert(m_outbox.end(), encoded.begin(), encoded.end());
    encoded.clear();
  }
}

std::vector<uint8_t> NetworkSerialDevice::TakePending() {
  std::vector<uint8_t> bytes;
  if (m_outboxSent == 0) {
    bytes.swap(m_outbox);
  } else {
    bytes.assign(m_outbox.begin() + static_cast<std::ptrdiff_t>(m_outboxSent), m_outbox.end());
    m_outbox.clear();
  }
  m_outboxSent = 0;
  return bytes;
}

void NetworkSerialDevice::GiveUp(const std::string& why) {
  {
    std::lock_guard lock(m_stateMutex);
    if (m_givenUp.empty()) m_givenUp = why;
  }
  // The next read sees the end and drops the connection.
  shutdown(m_socket, SHUT_RDWR);
}

void NetworkSerialDevice::FlushFromReceiver() {
  // The receiver never waits for a writer: when one is busy it comes back
  // once the socket takes bytes.
  std::unique_lock sending(m_sendMutex, std::try_to_lock);
  if (!sending.owns_lock()) {
    WatchWritable(true);
    return;
  }
  // The outbox is sent from where the last send stopped; what went out is
  // cut off its front only once it is the larger part, so a server that
  // takes little at a time costs no copy per read.
  std::unique_lock lock(m_stateMutex);
  if (!m_connected) return;
  while (m_outboxSent < m_outbox.size()) {
    ssize_t sent = send(m_socket, m_outbox.data() + m_outboxSent, m_outbox.size() - m_outboxSent,
                        MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      m_outboxSent += static_cast<size_t>(sent);
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else {
      const std::string why = ErrorText(errno);
      lock.unlock();
      GiveUp(why);
      WatchWritable(false);
      return;
    }
  }
  const bool more = m_outboxSent < m_outbox.size();
  if (!more) {
    m_outbox.clear();
    m_outboxSent = 0;
  } else if (m_outboxSent > m_outbox.size() / 2) {
    m_outbox.erase(m_outbox.begin(), m_outbox.begin() + static_cast<std::ptrdiff_t>(m_outboxSent));
    m_outboxSent = 0;
  }
  lock.unlock();
  WatchWritable(more);
}

void NetworkSerialDevice::WatchWritable(bool writable) {
  if (writable == m_watchingWritable || m_socket < 0) return;
  epoll_event events{};
  events.events = writable ? EPOLLIN | EPOLLOUT : EPOLLIN;
  events.data.fd = m_socket;
  epoll_ctl(m_epoll, EPOLL_CTL_MOD, m_socket, &events);
  m_watchingWritable = writable;
}

bool NetworkSerialDevice::SendAll(const std::vector<uint8_t>& bytes) {
  const auto stallLimit = std::chrono::milliseconds(WriteStallLimitMs);
  size_t done = 0;
  Clock::time_point lastProgress = Clock::now();
  while (done < bytes.size()) {
    ssize_t sent = send(m_socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      done += static_cast<size_t>(sent);
      lastProgress = Clock::now();
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    auto waited = Clock::now() - lastProgress;
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      // A command may be cut in half now: the connection is no use any more.
      GiveUp(ErrorText(errno));
      return false;
    }
    if (waited >= stallLimit) {
      GiveUp("the server took no data for " + Duration(WriteStallLimitMs));
      return false;
    }
    auto left = std::chrono::ceil<std::chrono::milliseconds>(stallLimit - waited).count();
    pollfd writable{m_socket, POLLOUT, 0};
    poll(&writable, 1, static_cast<int>(std::min<long long>(left, WriteWaitSliceMs)));
  }
  return true;
}

bool NetworkSerialDevice::ReleaseHold() {
  if (!m_holding) return false;
  m_holding = false;
  if (!m_held.empty()) {
    m_outbox.insert(m_outbox.end(), m_held.begin(), m_held.end());
    m_held.clear();
  }
  m_released.notify_all();
  return true;
}

void NetworkSerialDevice::PostLate() {
  // Once for the device: a server that never answers does so on every
  // connection.
  if (m_lateReported.exchange(true)) return;
  Post("the server did not confirm the line settings within " + Duration(SettingsAnswerLimitMs) +
       "; data goes out without waiting for it");
}

void NetworkSerialDevice::ArmConnectedTimer() {
  Clock::time_point next = Clock::time_point::max();
  if (m_settling) next = m_connectedAt + std::chrono::milliseconds(MaxRetryMs);
  {
    std::lock_guard lock(m_stateMutex);
    if (m_holding) next = std::min(next, m_holdUntil);
  }
  WatchTimer(next != Clock::time_point::max());
  if (next == Clock::time_point::max()) return;
  auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
  // 0 would disarm the timer.
  ArmTimer(static_cast<int>(std::max<long long>(wait, 1)));
}

bool NetworkSerialDevice::WaitForRelease() {
  bool late = false;
  {
    std::unique_lock lock(m_stateMutex);
    // The receiving thread releases held data on time; the margin is for a
    // receiver that is not reading at all.
    const Clock::time_point giveUp = m_holdUntil + std::chrono::milliseconds(SettingsAnswerLimitMs);
    if (m_holding) m_released.wait_until(lock, giveUp, [&] { return !m_holding; });
    if (!m_connected) return false;
    late = m_holding && ReleaseHold();
  }
  if (late) PostLate();
  return true;
}

bool NetworkSerialDevice::HoldOnReceiver(const uint8_t* data, size_t count, bool& accepted) {
  std::lock_guard lock(m_stateMutex);
  if (!m_connected) {
    accepted = false;
    return true;
  }
  if (!m_holding) return false;
  // Bytes from the receiving thread (a trigger's reply) cannot wait here:
  // only that thread's reads take in the answer that releases them.
  accepted = m_held.size() + count <= MaxPendingBytes;
  if (accepted) {
    m_codec->EncodeData(data, count);
    std::vector<uint8_t>& encoded = m_codec->Output();
    m_held.insert(m_held.end(), encoded.begin(), encoded.end());
    encoded.clear();
  }
  return true;
}

bool NetworkSerialDevice::Write(const uint8_t* data, size_t count) {
  if (m_reader.load(std::memory_order_relaxed) == std::this_thread::get_id()) {
    bool accepted = false;
    if (HoldOnReceiver(data, count, accepted)) return accepted;
  }
  std::vector<uint8_t> bytes;
  // A new connection may come between the wait and the lock: then wait
  // for that one too.
  for (;;) {
    if (!WaitForRelease()) return false;
    std::lock_guard sending(m_sendMutex);
    {
      std::lock_guard lock(m_stateMutex);
      if (!m_connected) return false;
      if (m_holding) continue;
      if (m_codec) {
        m_codec->EncodeData(data, count);
        TakeCodecOutput();
      } else {
        m_outbox.insert(m_outbox.end(), data, data + count);
      }
      bytes = TakePending();
    }
    return SendAll(bytes);
  }
}

bool NetworkSerialDevice::ApplyLineFormat(const LineFormat& format) {
  if (!ValidFormat(format)) return false;
  std::lock_guard sending(m_sendMutex);
  std::vector<uint8_t> bytes;
  {
    std::lock_guard lock(m_stateMutex);
    m_format = format;
    if (!m_connected || !m_codec || !m_codec->ComPortAgreed()) return true;  // for the next connection
    m_codec->EncodeLineFormat(format);
    TakeCodecOutput();
    bytes = TakePending();
  }
  return SendAll(bytes);
}

bool NetworkSerialDevice::SetControlLines(bool rts, bool dtr) {
  std::lock_guard sending(m_sendMutex);
  std::vector<uint8_t> bytes;
  {
    std::lock_guard lock(m_stateMutex);
    m_rts = rts;
    m_dtr = dtr;
    if (!m_connected || !m_codec || !m_codec->ComPortAgreed()) return true;
    m_codec->EncodeControlLines(rts, dtr);
    TakeCodecOutput();
    bytes = TakePending();
  }
  return SendAll(bytes);
}

// ---- Lines and state ------------------------------------------------------------

uint8_t NetworkSerialDevice::TakeLineErrors() {
  std::lock_guard lock(m_stateMutex);
  return m_codec ? m_codec->TakeLineErrors() : 0;
}

uint8_t NetworkSerialDevice::ModemLines() {
  std::lock_guard lock(m_stateMutex);
  return m_codec ? m_codec->ModemLines() : 0;
}

bool NetworkSerialDevice::Connected() const {
  std::lock_guard lock(m_stateMutex);
  return m_connected;
}

Rfc2217Codec::ServerSettings NetworkSerialDevice::ServerSettings() const {
  std::lock_guard lock(m_stateMutex);
  return m_codec ? m_codec->Confirmed() : Rfc2217Codec::ServerSettings{};
}

// ---- Descriptors and messages -------------------------------------------------

void NetworkSerialDevice::ArmTimer(int milliseconds) {
  itimerspec when{};
  when.it_value.tv_sec = milliseconds / 1000;
  when.it_value.tv_nsec = static_cast<long>(milliseconds % 1000) * 1'000'000;
  timerfd_settime(m_timer, 0, &when, nullptr);
}

bool NetworkSerialDevice::TimerFired() {
  uint64_t expirations = 0;
  return read(m_timer, &expirations, sizeof expirations) == static_cast<ssize_t>(sizeof expirations);
}

void NetworkSerialDevice::Watch(int fd, uint32_t events) {
  epoll_event event{};
  event.events = events;
  event.data.fd = fd;
  if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0 && errno == EEXIST) {
    epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
  }
}

void NetworkSerialDevice::Unwatch(int fd) { epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr); }

void NetworkSerialDevice::WatchTimer(bool watch) {
  if (watch == m_timerWatched) return;
  if (watch) {
    Watch(m_timer, EPOLLIN);
  } else {
    Unwatch(m_timer);
  }
  m_timerWatched = watch;
}

void NetworkSerialDevice::Post(const std::string& what) {
  if (m_messages) m_messages->Post(m_label + " (" + m_address.Text() + "): " + what);
}

}  // namespace tapwise
