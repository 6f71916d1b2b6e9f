#pragma once
// The live feed of a running monitor: a Unix-domain stream socket (mode
// 0600, see LiveFeedFolder.h) from which other programs of the same user
// read the packets as pcapng while the monitor runs. This is how a second
// program (the capture interface of a packet analyser, a pipe into one)
// sees ports that only one process can open.
//
// A client connects and may send one request line within RequestWait:
//   "ports=all\n" or "ports=1,3,…\n"  pcapng of all ports or of those COM
//                                      numbers (no line at all: all ports);
//   "list\n"                           one line per present port,
//                                      "COMn<TAB>device\n", then the end.
// A pcapng client gets a section header, one interface per present port it
// asked for (ascending), then every packet drained from then on, in order;
// a port that turns up later gets its interface with its first packet.
//
// The owner's thread (the one that drains the capture queue) calls
// everything. Nothing here ever waits: sockets are non-blocking, and what a
// client has not taken yet waits in its own buffer. A client whose buffer
// would grow past ClientLimit is cut off with a message for the user; the
// capture, the other clients and the monitor's own recording lose nothing.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/capture/PacketRecord.h"
#include "core/format/PacketSink.h"
#include "core/format/PcapngWriter.h"
#include "core/util/Result.h"

namespace tapwise {

class LiveFeed : public PacketSink {
 public:
  using PortLister = std::function<std::vector<uint8_t>()>;
  static constexpr size_t DefaultClientLimit = size_t{4} << 20;
  static constexpr std::chrono::milliseconds RequestWait{200};

  struct Settings {
    std::string SocketPath;
    uint16_t LinkType = LinkTypeUser0;
    PortLister Ports;                       // the present COM numbers
    PcapngWriter::PortDescriber Describe;   // each port's device text
    PcapngWriter::TimeConverter ToUnixMicros;  // default: the system's time zone
    size_t ClientLimit = DefaultClientLimit;
  };

  explicit LiveFeed(Settings settings);
  // Closes every client and removes the socket.
  ~LiveFeed() override;
  LiveFeed(const LiveFeed&) = delete;
  LiveFeed& operator=(const LiveFeed&) = delete;

  // Makes the socket (its folder must exist and be private). Fails, saying
  // why, when it cannot; the monitor then runs without a live feed.
  [[nodiscard]] Result Open();
  bool IsOpen() const { return m_listenFd >= 0; }
  // Polls readable when a client is waiting to be taken, so that a sleeping
  // monitor can wake for it; -1 when not open.
  int ListenHandle() const { return m_listenFd; }
  const std::string& SocketPath() const { return m_settings.SocketPath; }

  // Once per tick: takes new clients and their requests, notices clients
  // that left, and sends what waits.
  void Poll();
  // Each drained packet, in order: queued for every client that asked for
  // its port and sent as far as the client takes it now.
  void Packet(const PacketRecord& record);
  // As a sink of the session: every packet, whatever the display or the
  // recorder do with it.
  void Take(const PacketView& packet) override { Packet(packet.Record()); }

  // Clients connected, whether or not they have asked for anything yet.
  size_t ClientCount() const { return m_clients.size(); }
  // Plain texts for the user: clients cut off, requests not understood.
  std::vector<std::string> TakeMessages();

 private:
  struct Client;
  void Accept();
  // False when the client is to be dropped.
  bool ReadFrom(Client& client, std::chrono::steady_clock::time_point now);
  bool StartStream(Client& client, const std::string& request);
  bool Send(Client& client);
  void DropClosed();

  Settings m_settings;
  int m_listenFd = -1;
  uint32_t m_nextClient = 1;
  std::vector<std::unique_ptr<Client>> m_clients;
  std::vector<std::string> m_messages;
};

}  // namespace tapwise
