// livefeed_bench: what serving the live feed to two clients costs a running
// monitor, and how late its packets reach them.
//
// 16 pseudo-terminals get seeded bursts averaging 92,160 bytes/s each
// (921,600 baud) for the given time, watched by one headless tapwise (its hex
// lines to /dev/null). Two clients read its live feed (pcapng on the
// monitor's private socket) from the start. Every packet block a client
// reads is placed back into its port's sent stream: bytes missing, wrong or
// out of order are counted, and the packet's latency is the time from the
// write of its last byte into the pty to the read that brought the block in.
// The same traffic is then watched by a monitor without clients, and the two
// monitors' CPU time per megabyte are compared.
//
// Prints, per client: packets, bytes lost and wrong, latency median and
// p99; then CPU per MB with and without the clients and their ratio. Exits 1
// when a client lost or corrupted bytes, 2 when it could not run.
//
//   build/bench/livefeed_bench               # 30 s of traffic per run
//   build/bench/livefeed_bench --seconds 3   # a short run (CI)

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/BenchProcess.h"
#include "support/Percentile.h"
#include "support/PtyGroup.h"
#include "support/Random.h"
#include "support/Timing.h"

#ifndef TAPWISE_PROGRAM
#define TAPWISE_PROGRAM "tapwise"
#endif

namespace tapwise::bench {
namespace {

constexpr int PortCount = 16;
constexpr double PortRate = 92160.0;
constexpr int ClientCount = 2;

uint8_t StreamByte(int port, uint64_t offset) {
  return static_cast<uint8_t>(Mix(static_cast<uint64_t>(port) * 0x9E3779B1u + offset) >> 24);
}

// One port's sent stream: when each write into the pty ended, by the
// offset just past its last byte.
struct SentPort {
  std::mutex Lock;
  std::vector<std::pair<uint64_t, BenchClock::time_point>> Writes;  // guarded by Lock
  std::atomic<uint64_t> Written{0};

  // The moment the byte at `offset` had been written.
  bool WrittenAt(uint64_t offset, BenchClock::time_point& when) {
    std::lock_guard lock(Lock);
    auto at = std::upper_bound(Writes.begin(), Writes.end(), offset,
                               [](uint64_t value, const auto& write) { return value < write.first; });
    if (at == Writes.end()) return false;
    when = at->second;
    return true;
  }
};

struct ClientResult {
  uint64_t Packets = 0;
  uint64_t Bytes = 0;
  uint64_t Wrong = 0;
  uint64_t Lost = 0;
  std::string Problem;
  std::vector<double> LatencyMs;
};

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

// A client of the live feed: reads pcapng until told to stop, placing each
// packet's bytes into its port's stream as the blocks come.
class FeedClient {
 public:
  FeedClient(std::vector<SentPort>& sent, std::vector<int> portOf) : m_sent(sent), m_portOfCom(std::move(portOf)) {
    m_received.assign(PortCount, 0);
  }

  bool Connect(const std::string& socketPath, std::string& problem) {
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      problem = socketPath + ": " + std::strerror(errno);
      return false;
    }
    const char request[] = "ports=all\n";
    if (::send(m_fd, request, sizeof request - 1, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof request - 1)) {
      problem = "cannot send the request";
      return false;
    }
    m_thread = std::thread([this] { Run(); });
    return true;
  }
  void Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
  }
  uint64_t Received(int port) const { return m_receivedAtomic[port].load(); }
  ClientResult& Result() { return m_result; }

 private:
  void Run() {
    std::vector<char> chunk(1 << 16);
    while (!m_stop) {
      pollfd wait{m_fd, POLLIN, 0};
      if (::poll(&wait, 1, 50) <= 0) continue;
      const ssize_t n = ::read(m_fd, chunk.data(), chunk.size());
      if (n <= 0) {
        if (n < 0 && errno == EINTR) continue;
        if (m_result.Problem.empty()) m_result.Problem = "the monitor closed the feed";
        return;
      }
      const auto now = BenchClock::now();
      m_buffer.append(chunk.data(), static_cast<size_t>(n));
      Parse(now);
    }
  }

  void Parse(BenchClock::time_point readAt) {
    size_t at = 0;
    while (m_buffer.size() - at >= 12) {
      const uint32_t type = Le32(m_buffer, at);
      const uint32_t length = Le32(m_buffer, at + 4);
      if (length < 12 || length % 4 != 0) {
        m_result.Problem = "a block that is not pcapng";
        m_stop = true;
        return;
      }
      if (m_buffer.size() - at < length) break;
      if (type == 1) {
        Interface(at, length);
      } else if (type == 6) {
        Packet(at, readAt);
      }
      at += length;
    }
    m_buffer.erase(0, at);
  }

  void Interface(size_t at, uint32_t length) {
    // Options after link type, reserved and snapshot length; if_name is 2.
    int port = -1;
    for (size_t option = at + 16; option + 4 <= at + length - 4;) {
      const uint16_t code = static_cast<uint16_t>(Le32(m_buffer, option) & 0xFFFF);
      const uint16_t size = static_cast<uint16_t>(Le32(m_buffer, option) >> 16);
      if (code == 0) break;
      if (code == 2) {
        const std::string name = m_buffer.substr(option + 4, size);
        if (name.rfind("COM", 0) == 0) {
          const int com = std::atoi(name.c_str() + 3);
          if (com > 0 && com < static_cast<int>(m_portOfCom.size())) port = m_portOfCom[static_cast<size_t>(com)];
        }
      }
      option += 4 + ((size + 3u) & ~3u);
    }
    m_interfaces.push_back(port);
  }

  void Packet(size_t at, BenchClock::time_point readAt) {
    const uint32_t interface = Le32(m_buffer, at + 8);
    const uint32_t captured = Le32(m_buffer, at + 20);
    if (interface >= m_interfaces.size() || m_interfaces[interface] < 0) {
      m_result.Problem = "a packet of an interface not described";
      return;
    }
    const int port = m_interfaces[interface];
    uint64_t& offset = m_received[static_cast<size_t>(port)];
    for (uint32_t i = 0; i < captured; ++i) {
      if (static_cast<uint8_t>(m_buffer[at + 28 + i]) != StreamByte(port, offset + i)) ++m_result.Wrong;
    }
    ++m_result.Packets;
    m_result.Bytes += captured;
    BenchClock::time_point written;
    if (captured > 0 && m_sent[static_cast<size_t>(port)].WrittenAt(offset + captured - 1, written)) {
      m_result.LatencyMs.push_back(Milliseconds(readAt - written));
    }
    offset += captured;
    m_receivedAtomic[port].store(offset);
  }

  std::vector<SentPort>& m_sent;
  std::vector<int> m_portOfCom;
  int m_fd = -1;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::string m_buffer;
  std::vector<int> m_interfaces;
  std::vector<uint64_t> m_received;
  std::atomic<uint64_t> m_receivedAtomic[PortCount]{};
  ClientResult m_result;
};

struct RunResult {
  double CpuSeconds = 0;
  uint64_t BytesSent = 0;
  std::vector<ClientResult> Clients;
  std::string Problem;
};

// Bursts of 1–2048 bytes at random gaps averaging the port's rate, every
// port on one schedule of its own.
void Feed(std::vector<Pty>& ptys, std::vector<SentPort>& sent, double seconds, uint64_t seed) {
  std::vector<uint64_t> state(PortCount);
  std::vector<double> due(PortCount, 0);
  for (int p = 0; p < PortCount; ++p) state[static_cast<size_t>(p)] = Mix(seed + static_cast<uint64_t>(p)) | 1;
  const auto start = BenchClock::now();
  std::vector<uint8_t> burst;
  while (SecondsSince(start) < seconds) {
    const double now = SecondsSince(start);
    double next = seconds;
    for (int p = 0; p < PortCount; ++p) {
      const auto i = static_cast<size_t>(p);
      if (due[i] <= now) {
        const size_t size = 1 + NextRandom(state[i]) % 2048;
        const uint64_t offset = sent[i].Written.load();
        burst.resize(size);
        for (size_t b = 0; b < size; ++b) burst[b] = StreamByte(p, offset + b);
        if (!Pty::WriteAll(ptys[i].MasterFd(), burst)) return;
        const auto written = BenchClock::now();
        {
          std::lock_guard lock(sent[i].Lock);
          sent[i].Writes.emplace_back(offset + size, written);
        }
        sent[i].Written.store(offset + size);
        // Twice the burst's own time at the rate, times a uniform 0..1.
        const double share = static_cast<double>(NextRandom(state[i]) >> 11) * 0x1.0p-53;
        due[i] += 2.0 * share * static_cast<double>(size) / PortRate;
      }
      next = std::min(next, due[i]);
    }
    const double wait = next - SecondsSince(start);
    if (wait > 0) SleepSeconds(std::min(wait, 0.002));
  }
}

RunResult Run(const std::string& program, const std::string& runtimeDir, double seconds, int clients, uint64_t seed) {
  RunResult result;
  std::string problem;
  std::vector<Pty> ptys = MakePtys(PortCount, problem);
  if (ptys.empty()) {
    result.Problem = problem;
    return result;
  }
  std::vector<std::string> args = {program, "-headless"};
  std::vector<int> portOfCom(PortCount + 1, -1);
  for (int p = 0; p < PortCount; ++p) {
    args.push_back("-port:" + std::to_string(p + 1) + "=" + ptys[static_cast<size_t>(p)].SlavePath());
    portOfCom[static_cast<size_t>(p + 1)] = p;
  }
  BenchProcess monitor;
  if (!monitor.Start(args, {}, problem)) {
    result.Problem = problem;
    return result;
  }
  if (monitor.WaitForPorts(PortCount, 20) < PortCount) {
    result.Problem = "tapwise did not open the 16 ports";
    return result;
  }
  const std::string socketPath = runtimeDir + "/tapwise/live-" + std::to_string(monitor.Pid()) + ".sock";
  for (int i = 0; i < 100 && ::access(socketPath.c_str(), F_OK) != 0; ++i) SleepSeconds(0.05);
  std::vector<SentPort> sent(PortCount);
  std::vector<std::unique_ptr<FeedClient>> feedClients;
  for (int c = 0; c < clients; ++c) {
    feedClients.push_back(std::make_unique<FeedClient>(sent, portOfCom));
    if (!feedClients.back()->Connect(socketPath, problem)) {
      result.Problem = problem;
      return result;
    }
  }
  // The section and its interfaces come first.
  SleepSeconds(0.5);
  Feed(ptys, sent, seconds, seed);
  // Until every client has every byte, or nothing moves for 3 s.
  uint64_t lastTotal = 0;
  auto lastMove = BenchClock::now();
  for (;;) {
    uint64_t total = 0;
    bool all = true;
    for (const auto& client : feedClients) {
      for (int p = 0; p < PortCount; ++p) {
        const uint64_t got = client->Received(p);
        total += got;
        all = all && got >= sent[static_cast<size_t>(p)].Written.load();
      }
    }
    if (all) break;
    if (total != lastTotal) {
      lastTotal = total;
      lastMove = BenchClock::now();
    }
    if (SecondsSince(lastMove) > 3) break;
    SleepSeconds(0.05);
  }
  // Without clients, the monitor is given the same time to finish its lines.
  if (clients == 0) SleepSeconds(0.5);
  // The clients leave first: the monitor's end would close their feeds.
  for (const auto& client : feedClients) client->Stop();
  monitor.Stop();
  result.CpuSeconds = monitor.CpuSeconds();
  for (const SentPort& port : sent) result.BytesSent += port.Written.load();
  for (const auto& client : feedClients) {
    ClientResult r = std::move(client->Result());
    for (int p = 0; p < PortCount; ++p) {
      const uint64_t want = sent[static_cast<size_t>(p)].Written.load();
      const uint64_t got = client->Received(p);
      if (got < want) r.Lost += want - got;
    }
    result.Clients.push_back(std::move(r));
  }
  return result;
}

}  // namespace
}  // namespace tapwise::bench

int main(int argc, char** argv) {
  using namespace tapwise::bench;
  double seconds = 30;
  std::string program = TAPWISE_PROGRAM;
  uint64_t seed = 20261209;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (arg == "--program" && i + 1 < argc) {
      program = argv[++i];
    } else if (arg == "--seed" && i + 1 < argc) {
      seed = std::strtoull(argv[++i], nullptr, 10);
    } else {
      std::fprintf(stderr, "usage: livefeed_bench [--seconds N] [--program PATH] [--seed N]\n");
      return 2;
    }
  }
  // The monitors' sockets go to a folder of the run's own, never the user's.
  char folder[] = "/tmp/livefeed-bench-XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    std::perror("livefeed_bench: mkdtemp");
    return 2;
  }
  ::setenv("XDG_RUNTIME_DIR", folder, 1);

  std::printf("livefeed_bench: %d ports x %.0f bytes/s for %.0f s, %d live clients, then none\n", PortCount, PortRate,
              seconds, ClientCount);
  const RunResult with = Run(program, folder, seconds, ClientCount, seed);
  const RunResult without = with.Problem.empty() ? Run(program, folder, seconds, 0, seed) : RunResult{};
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  if (!with.Problem.empty() || !without.Problem.empty()) {
    std::fprintf(stderr, "livefeed_bench: %s\n", (with.Problem.empty() ? without.Problem : with.Problem).c_str());
    return 2;
  }

  bool intact = true;
  for (size_t c = 0; c < with.Clients.size(); ++c) {
    ClientResult r = with.Clients[c];
    std::sort(r.LatencyMs.begin(), r.LatencyMs.end());
    const double median = r.LatencyMs.empty() ? 0 : Percentile(r.LatencyMs, 50);
    const double p99 = r.LatencyMs.empty() ? 0 : Percentile(r.LatencyMs, 99);
    const double worst = r.LatencyMs.empty() ? 0 : r.LatencyMs.back();
    std::printf("client %zu: %llu packets, %llu bytes, %llu lost, %llu wrong; latency median %.1f ms, p99 %.1f ms, "
                "max %.1f ms%s%s\n",
                c + 1, static_cast<unsigned long long>(r.Packets), static_cast<unsigned long long>(r.Bytes),
                static_cast<unsigned long long>(r.Lost), static_cast<unsigned long long>(r.Wrong), median, p99, worst,
                r.Problem.empty() ? "" : "; ", r.Problem.c_str());
    intact = intact && r.Lost == 0 && r.Wrong == 0 && r.Problem.empty();
  }
  if (with.Clients.size() == 2 && with.Clients[0].Packets != with.Clients[1].Packets) {
    std::printf("the clients got different packets: %llu and %llu\n",
                static_cast<unsigned long long>(with.Clients[0].Packets),
                static_cast<unsigned long long>(with.Clients[1].Packets));
    intact = false;
  }
  const double perMbWith = with.CpuSeconds / (static_cast<double>(with.BytesSent) / 1e6);
  const double perMbWithout = without.CpuSeconds / (static_cast<double>(without.BytesSent) / 1e6);
  std::printf("monitor CPU: %.3f s for %.1f MB with the clients (%.1f ms/MB), %.3f s for %.1f MB without (%.1f ms/MB); "
              "ratio %.2f\n",
              with.CpuSeconds, static_cast<double>(with.BytesSent) / 1e6, perMbWith * 1000, without.CpuSeconds,
              static_cast<double>(without.BytesSent) / 1e6, perMbWithout * 1000,
              perMbWithout > 0 ? perMbWith / perMbWithout : 0);
  return intact ? 0 : 1;
}
