#include "core/recorder/LiveFeed.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <bitset>
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/platform/ComNumbers.h"

namespace tapwise {

namespace {

// A request line longer than this is not one of ours.
constexpr size_t RequestLimit = 1024;

enum class ClientState { AwaitingRequest, Streaming, Closing, Closed };

// The COM numbers of "1,3,…"; false when a part is not one.
bool ParsePortList(const std::string& text, std::bitset<256>& ports) {
  if (text == "all") {
    ports.set();
    return true;
  }
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string part = text.substr(start, comma - start);
    if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos) return false;
    const int port = std::stoi(part);
    if (port < 1 || port > MaxComPorts) return false;
    ports.set(static_cast<size_t>(port));
    start = comma + 1;
  }
  return ports.any();
}

}  // namespace

struct LiveFeed::Client {
  int Fd = -1;
  uint32_t Number = 0;
  ClientState State = ClientState::AwaitingRequest;
  std::chrono::steady_clock::time_point ConnectedAt;
  std::string Request;
  std::bitset<256> Ports;
  PcapngWriter Writer;
  // Bytes queued for the client; Sent of them have gone.
  std::string Pending;
  size_t Sent = 0;

  Client(int fd, uint32_t number, const Settings& settings)
      : Fd(fd),
        Number(number),
        ConnectedAt(std::chrono::steady_clock::now()),
        Writer(settings.LinkType, settings.Describe, settings.ToUnixMicros) {}
  ~Client() {
    if (Fd >= 0) ::close(Fd);
  }
  size_t Waiting() const { return Pending.size() - Sent; }
};

LiveFeed::LiveFeed(Settings settings) : m_settings(std::move(settings)) {}

LiveFeed::~LiveFeed() {
  m_clients.clear();
  if (m_listenFd >= 0) {
    ::close(m_listenFd);
    ::unlink(m_settings.SocketPath.c_str());
  }
}

Result LiveFeed::Open() {
  const std::string& path = m_settings.SocketPath;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) {
    return Result::Failure(path + ": the socket path is too long");
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return Result::Failure(std::string("live feed socket: ") + std::strerror(errno));
  // The name carries our process id, so one left there is normally a dead
  // monitor's; one that still answers belongs to a live feed of ours and stays.
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const bool answers = probe >= 0 && (::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ||
                                      errno == EAGAIN);
  if (probe >= 0) ::close(probe);
  if (answers) {
    ::close(fd);
    return Result::Failure(path + ": another live feed answers there");
  }
  ::unlink(path.c_str());
  // Made 0600 from the start, not changed afterwards: no moment in which
  // another user could connect.
  const mode_t oldMask = ::umask(0177);
  const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  const int bindError = errno;
  ::umask(oldMask);
  if (bound != 0 || ::listen(fd, 16) != 0) {
    const int error = bound != 0 ? bindError : errno;
    ::close(fd);
    if (bound == 0) ::unlink(path.c_str());
    return Result::Failure(path + ": " + std::strerror(error));
  }
  m_listenFd = fd;
  return Result::Success();
}

void LiveFeed::Accept() {
  for (;;) {
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    // The folder and the mode keep other users out; the peer's own
    // credentials say so once more.
    ucred peer{};
    socklen_t length = sizeof(peer);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid()) {
      ::close(fd);
      continue;
    }
    m_clients.push_back(std::make_unique<Client>(fd, m_nextClient++, m_settings));
  }
}

bool LiveFeed::StartStream(Client& client, const std::string& request) {
  if (request == "list") {
    for (uint8_t port : m_settings.Ports ? m_settings.Ports() : std::vector<uint8_t>{}) {
      client.Pending += ComName(port) + "\t" + (m_settings.Describe ? m_settings.Describe(port) : "") + "\n";
    }
    client.State = ClientState::Closing;
    return true;
  }
  const bool all = request.empty();
  if (!all && (request.compare(0, 6, "ports=") != 0 || !ParsePortList(request.substr(6), client.Ports))) {
    m_messages.push_back("Live feed: client " + std::to_string(client.Number) + " asked for \"" +
                         request.substr(0, 40) + "\", which is not a request of this program; it was closed");
    return false;
  }
  if (all) client.Ports.set();
  client.Writer.AppendSectionHeader(client.Pending);
  if (m_settings.Ports) {
    for (uint8_t port : m_settings.Ports()) {
      if (client.Ports.test(port)) client.Writer.DeclareInterface(port, client.Pending);
    }
  }
  client.State = ClientState::Streaming;
  return true;
}

bool LiveFeed::ReadFrom(Client& client, std::chrono::steady_clock::time_point now) {
  char buffer[512];
  for (;;) {
    const ssize_t n = ::recv(client.Fd, buffer, sizeof(buffer), MSG_DONTWAIT);
    if (n == 0) return false;  // the client has gone
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      return false;
    }
    // Whatever a streaming client sends is not looked at.
    if (client.State != ClientState::AwaitingRequest) continue;
    client.Request.append(buffer, static_cast<size_t>(n));
    const size_t newline = client.Request.find('\n');
    if (newline != std::string::npos) {
      std::string line = client.Request.substr(0, newline);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      client.Request.clear();
      if (!StartStream(client, line)) return false;
    } else if (client.Request.size() > RequestLimit) {
      return StartStream(client, client.Request.substr(0, 40));
    }
  }
  if (client.State == ClientState::AwaitingRequest && now - client.ConnectedAt >= RequestWait) {
    // A reader that sends nothing (a plain socket-to-pipe tool) gets everything.
    return StartStream(client, "");
  }
  return true;
}

bool LiveFeed::Send(Client& client) {
  while (client.Waiting() > 0) {
    const ssize_t n = ::send(client.Fd, client.Pending.data() + client.Sent, client.Waiting(),
                             MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      return false;
    }
    client.Sent += static_cast<size_t>(n);
  }
  if (client.Waiting() == 0) {
    client.Pending.clear();
    client.Sent = 0;
    if (client.State == ClientState::Closing) return false;
  } else if (client.Sent > (size_t{1} << 20)) {
    // Keeps the buffer from growing by what has already gone.
    client.Pending.erase(0, client.Sent);
    client.Sent = 0;
  }
  return true;
}

void LiveFeed::DropClosed() {
  std::erase_if(m_clients, [](const std::unique_ptr<Client>& client) { return client->State == ClientState::Closed; });
}

void LiveFeed::Poll() {
  if (m_listenFd < 0) return;
  Accept();
  const auto now = std::chrono::steady_clock::now();
  for (const std::unique_ptr<Client>& client : m_clients) {
    if (!ReadFrom(*client, now) || !Send(*client)) client->State = ClientState::Closed;
  }
  DropClosed();
}

void LiveFeed::Packet(const PacketRecord& record) {
  bool dropped = false;
  for (const std::unique_ptr<Client>& client : m_clients) {
    if (client->State != ClientState::Streaming || !client->Ports.test(record.Port)) continue;
    client->Writer.AppendPacket(record, client->Pending);
    if (!Send(*client)) {
      client->State = ClientState::Closed;
      dropped = true;
    } else if (client->Waiting() > m_settings.ClientLimit) {
      m_messages.push_back("Live feed: client " + std::to_string(client->Number) + " cut off: it fell " +
                           std::to_string(m_settings.ClientLimit >> 10) +
                           " KiB behind; monitoring goes on");
      client->State = ClientState::Closed;
      dropped = true;
    }
  }
  if (dropped) DropClosed();
}

std::vector<std::string> LiveFeed::TakeMessages() { return std::exchange(m_messages, {}); }

}  // namespace tapwise
