// network_storm_bench: what a hostile network server costs the monitor.
//
// The benchmark makes its own TCP server on 127.0.0.1 that never reads and
// sends telnet option requests ("IAC DO x", 10,000 to a write, 12 MB in
// all), and starts `tapwise -headless` with one rfc2217:// port on it and
// one pseudo-terminal port beside it. Once the port has connected it
// unleashes the storm, writes a short packet to the pseudo-terminal every
// 100 ms meanwhile, and reports tapwise's CPU time and resident memory
// growth over the storm, how long the storm took to get through, how many
// times the server saw tapwise connect, and whether the other port's
// packets kept coming out (how many, the longest wait between two).
// --changing sends "IAC DO x, IAC DONT x" pairs instead: each pair changes
// the request, so each gets its answer, and those pile up unread until
// tapwise drops the connection and connects again.
//
// Exits 2 when it could not run; otherwise 0 (figures, not a verdict).

#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/BenchProcess.h"
#include "tests/support/Pty.h"

#ifndef TAPWISE_PROGRAM
#define TAPWISE_PROGRAM "tapwise"
#endif

namespace {

using Clock = std::chrono::steady_clock;
using tapwise::Pty;
using tapwise::bench::BenchProcess;

constexpr uint8_t IAC = 255, DONT = 254, DO = 253;
constexpr size_t RequestsPerWrite = 10000;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

long RssKilobytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// The server: takes every connection, reads nothing, and sends the storm
// across them until `total` bytes went out. The last connection is kept
// open (and unread) until the benchmark ends.
class StormServer {
 public:
  StormServer(size_t total, uint8_t option, bool changing) : m_total(total) {
    for (size_t i = 0; i < RequestsPerWrite; ++i) {
      const uint8_t verb = changing && i % 2 ? DONT : DO;
      m_chunk.insert(m_chunk.end(), {IAC, verb, option});
    }
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener, 4) != 0 || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
  }
  ~StormServer() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_listener >= 0) close(m_listener);
  }

  uint16_t Port() const { return m_port; }
  void Go() { m_go = true; }
  bool Done() const { return m_done; }
  size_t Sent() const { return m_sent; }
  int Connections() const { return m_connections; }

 private:
  void Run() {
    int client = -1;
    while (!m_stop) {
      pollfd fds[2] = {{m_listener, POLLIN, 0}, {client, POLLOUT, 0}};
      const bool sending = client >= 0 && m_go && !m_done;
      poll(fds, sending ? 2 : 1, 50);
      if (fds[0].revents & POLLIN) {
        int next = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (next >= 0) {
          if (client >= 0) close(client);
          client = next;
          ++m_connections;
        }
      }
      if (!sending || !(fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) continue;
      size_t size = std::min(m_chunk.size() - m_offset, m_total - m_sent);
      ssize_t n = send(client, m_chunk.data() + m_offset, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        m_sent += static_cast<size_t>(n);
        m_offset = (m_offset + static_cast<size_t>(n)) % m_chunk.size();
        if (m_sent >= m_total) m_done = true;
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        // Dropped by the client: the rest goes to the next connection, from
        // the start of a pair of requests.
        close(client);
        client = -1;
        m_offset -= m_offset % 6;
      }
    }
    if (client >= 0) close(client);
  }

  const size_t m_total;
  std::vector<uint8_t> m_chunk;
  int m_listener = -1;
  uint16_t m_port = 0;
  size_t m_offset = 0;
  std::atomic<size_t> m_sent{0};
  std::atomic<int> m_connections{0};
  std::atomic<bool> m_go{false}, m_done{false}, m_stop{false};
  std::thread m_thread;
};

// Counts the other port's packets in tapwise's hex lines and the longest
// wait between two of them.
class PingWatch {
 public:
  void Feed(const char* data, size_t size) {
    std::lock_guard lock(m_mutex);
    m_pending.append(data, size);
    size_t start = 0;
    for (size_t end; (end = m_pending.find('\n', start)) != std::string::npos; start = end + 1) {
      if (m_pending.compare(start, 4, "COM2") != 0) continue;
      auto now = Clock::now();
      if (m_seen > 0) m_longest = std::max(m_longest, std::chrono::duration<double>(now - m_last).count());
      m_last = now;
      ++m_seen;
    }
    m_pending.erase(0, start);
  }
  size_t Seen() {
    std::lock_guard lock(m_mutex);
    return m_seen;
  }
  double Longest() {
    std::lock_guard lock(m_mutex);
    return m_longest;
  }

 private:
  std::mutex m_mutex;
  std::string m_pending;
  size_t m_seen = 0;
  Clock::time_point m_last;
  double m_longest = 0;
};

}  // namespace

int main(int argc, char** argv) {
  double megabytes = 12;
  bool changing = false;
  std::string program = TAPWISE_PROGRAM;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--megabytes" && i + 1 < argc) {
      megabytes = std::max(0.1, std::atof(argv[++i]));
    } else if (arg == "--changing") {
      changing = true;
    } else if (arg == "--program" && i + 1 < argc) {
      program = argv[++i];
    } else {
      std::fprintf(stderr, "Usage: network_storm_bench [--megabytes N] [--changing] [--program PATH]\n");
      return 2;
    }
  }
  signal(SIGPIPE, SIG_IGN);
  // A whole number of pairs of requests, so that the storm ends on a boundary.
  const auto total = static_cast<size_t>(megabytes * 1e6) / 6 * 6;
  StormServer server(total, 1, changing);
  Pty other;
  if (server.Port() == 0 || !other.Ok()) {
    std::fprintf(stderr, "network_storm_bench: cannot make the server or the pseudo-terminal\n");
    return 2;
  }
  PingWatch pings;
  BenchProcess tapwise;
  std::string problem;
  if (!tapwise.Start({program, "-headless", "-port:1=rfc2217://127.0.0.1:" + std::to_string(server.Port()),
                      "-port:2=" + other.SlavePath()},
                     [&](const char* data, size_t size) { pings.Feed(data, size); }, problem)) {
    std::fprintf(stderr, "network_storm_bench: %s\n", problem.c_str());
    return 2;
  }
  auto waitStart = Clock::now();
  while (server.Connections() == 0 && Since(waitStart) < 10) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (server.Connections() == 0) {
    std::fprintf(stderr, "network_storm_bench: tapwise did not connect\n");
    return 2;
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));

  const double cpuBefore = tapwise.CpuSecondsSoFar();
  const long rssBefore = RssKilobytes(tapwise.Pid());
  long rssPeak = rssBefore;
  size_t pingsSent = 0;
  const size_t pingsBefore = pings.Seen();
  std::printf("Storm of %.1f MB of %s (%zu to a write) at tapwise...\n", static_cast<double>(total) / 1e6,
              changing ? "IAC DO 1, IAC DONT 1" : "IAC DO 1", RequestsPerWrite);
  std::fflush(stdout);
  const auto start = Clock::now();
  server.Go();
  auto nextPing = start;
  // Until the storm is through, then 1 s more for tapwise to take the
  // rest from its socket; 120 s at the most.
  double through = -1;
  while (Since(start) < 120 && (through < 0 || Since(start) < through + 1.0)) {
    if (through < 0 && server.Done()) through = Since(start);
    if (Clock::now() >= nextPing) {
      other.WriteAll({'p', 'i', 'n', 'g'});
      ++pingsSent;
      nextPing += std::chrono::milliseconds(100);
    }
    rssPeak = std::max(rssPeak, RssKilobytes(tapwise.Pid()));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const double elapsed = Since(start);
  const double cpu = tapwise.CpuSecondsSoFar() - cpuBefore;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const size_t pingsShown = pings.Seen() - pingsBefore;
  tapwise.Stop();

  std::printf("\n%-44s %12.1f\n", "storm sent (MB)", static_cast<double>(server.Sent()) / 1e6);
  if (through >= 0) {
    std::printf("%-44s %12.2f\n", "storm through after (s)", through);
  } else {
    std::printf("%-44s %12s\n", "storm through after (s)", "not in 120");
  }
  std::printf("%-44s %12.2f   (target < 0.5)\n", "tapwise CPU over the storm (s)", cpu);
  std::printf("%-44s %12.2f   (target < 1)\n", "tapwise resident memory growth, peak (MB)",
              static_cast<double>(rssPeak - rssBefore) / 1024.0);
  std::printf("%-44s %12d\n", "connections the server took", server.Connections());
  std::printf("%-44s %8zu of %zu\n", "other port's packets shown", pingsShown, pingsSent);
  std::printf("%-44s %12.2f\n", "longest wait between two of them (s)", pings.Longest());
  std::printf("%-44s %12.2f\n", "(measured over, s)", elapsed);
  std::vector<std::string> said = tapwise.ErrorLines(false);
  if (!said.empty()) {
    std::printf("\ntapwise said:\n");
    for (const std::string& line : said) std::printf("  %s\n", line.c_str());
  }
  return 0;
}
