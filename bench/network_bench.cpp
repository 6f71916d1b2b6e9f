// network_bench: what watching ports over the network costs against watching
// them locally, under one load.
//
// 16 pseudo-terminals are served by one ser2net on 127.0.0.1 (telnet with
// RFC 2217), and one tapwise watches them as -port:N=rfc2217://…; 16 more
// pseudo-terminals are watched by a second tapwise as local ports. Both
// sets get the same seeded bursts at the same moments, averaging 92,160
// bytes/s a port (921,600 baud), with 0xFF (the telnet escape) far more
// often than in uniform noise. Each tapwise's hex lines are parsed back and
// compared byte for byte with what was sent, in order.
//
// It prints bytes lost and corrupted for each side and tapwise's CPU time
// per megabyte received; ser2net's own CPU is shown apart. It exits 1 when a
// side lost or corrupted bytes, 2 when it could not run.

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/PseudoTerminal.h"
#include "tests/support/LoopbackPort.h"
#include "tests/support/ProcessUsage.h"

#ifndef TAPWISE_PROGRAM
#define TAPWISE_PROGRAM "tapwise"
#endif

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using tapwise::PseudoTerminal;
using tapwise::CpuSeconds;
using tapwise::FreeLoopbackPort;

constexpr int PortCount = 16;
constexpr double PortRate = 92160.0;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// The byte at an offset of a port's stream; one in eight is 0xFF.
uint8_t DataByte(int port, uint64_t offset) {
  uint64_t h = Mix(static_cast<uint64_t>(port) * 0x100000001B3ull + offset);
  return (h & 7) == 0 ? 0xFF : static_cast<uint8_t>(h >> 8);
}

// Bursts of 1–1536 bytes, one in eight of 4096–12288, at random gaps that
// keep to the nominal rate within 0.1 s.
struct Schedule {
  explicit Schedule(int port) : State(Mix(static_cast<uint64_t>(port) + 77)) {}
  uint64_t State;
  uint64_t Queued = 0;
  double NextDue = 0;
  uint64_t Next() { return Mix(State++); }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  size_t Take() {
    size_t size = (Next() & 7) == 0 ? 4096 + Next() % 8193 : 1 + Next() % 1536;
    Queued += size;
    NextDue += static_cast<double>(size) / PortRate * 2.0 * Uniform();
    double ideal = static_cast<double>(Queued) / PortRate;
    NextDue = std::clamp(NextDue, ideal - 0.1, ideal + 0.1);
    return size;
  }
};

// One side's pseudo-terminal of one port.
struct Target {
  std::unique_ptr<PseudoTerminal> Pty;
  int Port = 0;
  uint64_t Queued = 0;
  uint64_t Written = 0;
  uint64_t Blocked = 0;
};

// Checks a tapwise's packet lines against the sent streams, in order.
class Checker {
 public:
  std::atomic<uint64_t> Received{0};
  uint64_t Corrupted = 0, Malformed = 0, Packets = 0;
  std::vector<uint64_t> Cursor = std::vector<uint64_t>(PortCount + 1, 0);

  void Feed(const char* data, size_t size) {
    m_pending.append(data, size);
    size_t start = 0;
    for (size_t end; (end = m_pending.find('\n', start)) != std::string::npos; start = end + 1) {
      if (end - start == 81) {
        Line(reinterpret_cast<const unsigned char*>(m_pending.data() + start));
      } else {
        ++Malformed;
      }
    }
    m_pending.erase(0, start);
  }

 private:
  static int Hex(unsigned char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; }

  void Line(const unsigned char* p) {
    if (p[0] != ' ') {
      int port = p[3] >= '1' && p[3] <= '9' ? p[3] - '0' : p[3] >= 'a' && p[3] <= 'g' ? p[3] - 87 : 0;
      if (port < 1 || port > PortCount) {
        ++Malformed;
        m_port = 0;
        return;
      }
      m_port = port;
      ++Packets;
    }
    if (m_port == 0) return;
    uint64_t received = 0;
    for (int j = 0; j < 16; ++j) {
      const unsigned char* cell = p + 12 + 3 * j + j / 4;
      int high = Hex(cell[1]), low = Hex(cell[2]);
      if (high < 0 || low < 0) break;
      auto byte = static_cast<uint8_t>(high * 16 + low);
      if (byte != DataByte(m_port, Cursor[m_port])) ++Corrupted;
      ++Cursor[m_port];
      ++received;
    }
    Received.fetch_add(received);
  }

  std::string m_pending;
  int m_port = 0;
};

struct Process {
  pid_t Pid = -1;
  int Out = -1;
  int Err = -1;
  rusage Usage{};
};

bool Spawn(const std::vector<std::string>& args, Process& process, bool captureOut) {
  int out[2] = {-1, -1}, err[2];
  if ((captureOut && pipe2(out, O_CLOEXEC) != 0) || pipe2(err, O_CLOEXEC) != 0) return false;
  if (captureOut) fcntl(out[0], F_SETPIPE_SZ, 1 << 20);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (captureOut) {
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int rc = posix_spawnp(&process.Pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captureOut) close(out[1]);
  close(err[1]);
  process.Out = captureOut ? out[0] : -1;
  process.Err = err[0];
  fcntl(process.Err, F_SETFL, O_NONBLOCK);
  return rc == 0;
}

void Stop(Process& process) {
  if (process.Pid <= 0) return;
  kill(process.Pid, SIGTERM);
  auto start = Clock::now();
  while (wait4(process.Pid, nullptr, WNOHANG, &process.Usage) != process.Pid) {
    if (Since(start) > 10) {
      kill(process.Pid, SIGKILL);
      wait4(process.Pid, nullptr, 0, &process.Usage);
      break;
    }
    Sleep(0.005);
  }
  process.Pid = -1;
}

// What it wrote to standard error, less the "COMn path" lines of the start.
std::string ReadErr(Process& process) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(process.Err, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  std::string kept;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    if (text.compare(start, 3, "COM") != 0) kept += text.substr(start, end + 1 - start);
  }
  return kept + text.substr(start);
}

// How many of paths the process holds open.
size_t OpenCount(pid_t pid, const std::vector<std::string>& paths) {
  size_t found = 0;
  for (int fd = 0; fd < 1024; ++fd) {
    char link[256];
    std::string path = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
    ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
    if (n > 0) found += std::count(paths.begin(), paths.end(), std::string(link, static_cast<size_t>(n)));
  }
  return found;
}

// Writes what is due to every target, waiting on full ptys, until the
// schedule ends and everything is written (or 60 s more have passed).
bool Feed(std::vector<std::vector<Target>*> sides, double seconds) {
  std::vector<Schedule> schedules;
  for (int p = 1; p <= PortCount; ++p) schedules.emplace_back(p);
  const auto start = Clock::now();
  std::vector<uint8_t> buffer(16384);
  for (;;) {
    double now = Since(start), nextDue = seconds;
    for (size_t p = 0; p < schedules.size(); ++p) {
      while (schedules[p].NextDue <= now && schedules[p].NextDue < seconds) {
        size_t size = schedules[p].Take();
        for (auto* side : sides) (*side)[p].Queued += size;
      }
      if (schedules[p].NextDue < seconds) nextDue = std::min(nextDue, schedules[p].NextDue);
    }
    std::vector<pollfd> fds;
    std::vector<Target*> waiting;
    for (auto* side : sides) {
      for (Target& target : *side) {
        if (target.Queued == target.Written) continue;
        fds.push_back({target.Pty->MasterFd(), POLLOUT, 0});
        waiting.push_back(&target);
      }
    }
    if (now >= seconds && waiting.empty()) return true;
    if (now >= seconds + 60) return false;
    double wait = now < seconds ? std::max(0.0, nextDue - now) : 0.2;
    auto nanos = static_cast<long long>(wait * 1e9);
    timespec timeout{static_cast<time_t>(nanos / 1000000000), static_cast<long>(nanos % 1000000000)};
    ppoll(fds.data(), fds.size(), &timeout, nullptr);
    for (size_t i = 0; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLOUT)) continue;
      Target& target = *waiting[i];
      size_t size = static_cast<size_t>(std::min<uint64_t>(buffer.size(), target.Queued - target.Written));
      for (size_t b = 0; b < size; ++b) buffer[b] = DataByte(target.Port, target.Written + b);
      ssize_t n = write(target.Pty->MasterFd(), buffer.data(), size);
      if (n < static_cast<ssize_t>(size)) ++target.Blocked;
      if (n > 0) target.Written += static_cast<uint64_t>(n);
    }
  }
}

struct Side {
  const char* Name;
  std::vector<Target> Targets;
  Process Tapwise;
  Checker Check;
  std::thread Reader;
  uint64_t Sent() const {
    uint64_t sent = 0;
    for (const Target& target : Targets) sent += target.Written;
    return sent;
  }
};

bool MakeTargets(Side& side) {
  for (int p = 1; p <= PortCount; ++p) {
    Target target;
    target.Port = p;
    target.Pty = PseudoTerminal::Create();
    if (!target.Pty) return false;
    side.Targets.push_back(std::move(target));
  }
  return true;
}

void StartReader(Side& side) {
  side.Reader = std::thread([&side] {
    std::vector<char> buffer(1 << 18);
    for (ssize_t n; (n = read(side.Tapwise.Out, buffer.data(), buffer.size())) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      side.Check.Feed(buffer.data(), static_cast<size_t>(n));
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 30;
  std::string program = TAPWISE_PROGRAM;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::max(1.0, std::atof(argv[++i]));
    } else if (arg == "--program" && i + 1 < argc) {
      program = argv[++i];
    } else {
      std::fprintf(stderr, "Usage: network_bench [--seconds N] [--program PATH]\n");
      return 2;
    }
  }
  signal(SIGPIPE, SIG_IGN);
  const char* ser2net = access("/usr/sbin/ser2net", X_OK) == 0 ? "/usr/sbin/ser2net" : nullptr;
  if (!ser2net) {
    std::fprintf(stderr, "network_bench: ser2net is not installed (scripts/setup installs it)\n");
    return 2;
  }
  Side network{"network (RFC 2217 through ser2net)", {}, {}, {}, {}};
  Side local{"local ptys", {}, {}, {}, {}};
  if (!MakeTargets(network) || !MakeTargets(local)) {
    std::fprintf(stderr, "network_bench: cannot make pseudo-terminals\n");
    return 2;
  }

  char folder[] = "/tmp/network_bench.XXXXXX";
  if (!mkdtemp(folder)) return 2;
  const std::string config = std::string(folder) + "/ser2net.yaml";
  std::vector<std::string> served;
  std::vector<std::string> networkArgs = {program, "-headless"};
  {
    std::ofstream yaml(config);
    yaml << "%YAML 1.1\n---\n";
    for (int p = 1; p <= PortCount; ++p) {
      uint16_t tcp = FreeLoopbackPort();
      const std::string& path = network.Targets[static_cast<size_t>(p - 1)].Pty->SlavePath();
      served.push_back(path);
      yaml << "connection: &port" << p << "\n  accepter: telnet(rfc2217),tcp,127.0.0.1," << tcp
           << "\n  enable: on\n  options:\n    kickolduser: true\n  connector: serialdev," << path
           << ",9600n81,local\n";
      networkArgs.push_back("-port:" + std::to_string(p) + "=rfc2217://127.0.0.1:" + std::to_string(tcp));
    }
  }
  std::vector<std::string> localArgs = {program, "-headless"};
  for (int p = 1; p <= PortCount; ++p) {
    localArgs.push_back("-port:" + std::to_string(p) + "=" + local.Targets[static_cast<size_t>(p - 1)].Pty->SlavePath());
  }

  Process server;
  if (!Spawn({ser2net, "-n", "-u", "-c", config, "-P", std::string(folder) + "/ser2net.pid"}, server, false)) {
    std::fprintf(stderr, "network_bench: cannot start ser2net\n");
    return 2;
  }
  Sleep(1.0);
  if (!Spawn(networkArgs, network.Tapwise, true) || !Spawn(localArgs, local.Tapwise, true)) {
    std::fprintf(stderr, "network_bench: cannot start %s\n", program.c_str());
    Stop(server);
    return 2;
  }
  StartReader(network);
  StartReader(local);
  // ser2net opens a device when its client connects; after that the port
  // sends its settings and a purge, which must be through before feeding.
  auto waitStart = Clock::now();
  while (OpenCount(server.Pid, served) < served.size() && Since(waitStart) < 20) Sleep(0.05);
  const size_t connected = OpenCount(server.Pid, served);
  Sleep(1.5);
  std::string startErrors = ReadErr(network.Tapwise) + ReadErr(local.Tapwise);
  if (connected < served.size()) {
    std::fprintf(stderr, "network_bench: only %zu of %d ports connected\n%s", connected, PortCount,
                 startErrors.c_str());
  }

  std::printf("Feeding %d ports on each side at %.0f bytes/s for %.0f s...\n", PortCount, PortRate, seconds);
  std::fflush(stdout);
  bool fed = Feed({&network.Targets, &local.Targets}, seconds);
  // Until everything came out, or nothing moved for 3 s.
  uint64_t last = 0;
  auto lastMove = Clock::now();
  for (;;) {
    uint64_t now = network.Check.Received.load() + local.Check.Received.load();
    if (network.Check.Received.load() >= network.Sent() && local.Check.Received.load() >= local.Sent()) break;
    if (now != last) last = now, lastMove = Clock::now();
    if (Since(lastMove) > 3) break;
    Sleep(0.05);
  }
  Stop(network.Tapwise);
  Stop(local.Tapwise);
  Stop(server);
  network.Reader.join();
  local.Reader.join();
  std::string laterErrors = ReadErr(network.Tapwise) + ReadErr(local.Tapwise);
  unlink(config.c_str());
  unlink((std::string(folder) + "/ser2net.pid").c_str());
  rmdir(folder);

  std::printf("\n%-34s %16s %16s\n", "", "network", "local");
  auto row = [](const char* name, double a, double b, const char* format) {
    char left[32], right[32];
    std::snprintf(left, sizeof left, format, a);
    std::snprintf(right, sizeof right, format, b);
    std::printf("%-34s %16s %16s\n", name, left, right);
  };
  auto lost = [](Side& side) {
    uint64_t sent = side.Sent(), got = side.Check.Received.load();
    return static_cast<double>(sent > got ? sent - got : 0);
  };
  double networkCpu = CpuSeconds(network.Tapwise.Usage), localCpu = CpuSeconds(local.Tapwise.Usage);
  double networkMb = static_cast<double>(network.Check.Received.load()) / 1e6;
  double localMb = static_cast<double>(local.Check.Received.load()) / 1e6;
  uint64_t networkBlocked = 0, localBlocked = 0;
  for (const Target& t : network.Targets) networkBlocked += t.Blocked;
  for (const Target& t : local.Targets) localBlocked += t.Blocked;
  row("bytes sent", static_cast<double>(network.Sent()), static_cast<double>(local.Sent()), "%.0f");
  row("bytes received", static_cast<double>(network.Check.Received.load()),
      static_cast<double>(local.Check.Received.load()), "%.0f");
  row("bytes lost", lost(network), lost(local), "%.0f");
  row("bytes corrupted", static_cast<double>(network.Check.Corrupted), static_cast<double>(local.Check.Corrupted),
      "%.0f");
  row("packets", static_cast<double>(network.Check.Packets), static_cast<double>(local.Check.Packets), "%.0f");
  row("malformed lines", static_cast<double>(network.Check.Malformed), static_cast<double>(local.Check.Malformed),
      "%.0f");
  row("feeder writes that had to wait", static_cast<double>(networkBlocked), static_cast<double>(localBlocked), "%.0f");
  row("tapwise CPU seconds", networkCpu, localCpu, "%.2f");
  row("tapwise CPU ms per MB", networkMb > 0 ? networkCpu * 1000 / networkMb : 0,
      localMb > 0 ? localCpu * 1000 / localMb : 0, "%.1f");
  std::printf("%-34s %16.2f\n", "ser2net CPU seconds", CpuSeconds(server.Usage));
  if (localMb > 0 && networkMb > 0 && localCpu > 0) {
    std::printf("%-34s %16.2f   (target <= 1.5)\n", "CPU per MB, network / local",
                (networkCpu / networkMb) / (localCpu / localMb));
  }
  if (!fed) std::printf("note: feeding did not end within 60 s of the schedule: a reader stalled\n");
  if (!startErrors.empty() || !laterErrors.empty()) {
    std::printf("\ntapwise said:\n%s%s", startErrors.c_str(), laterErrors.c_str());
  }
  bool faithful = lost(network) == 0 && lost(local) == 0 && network.Check.Corrupted == 0 &&
                  local.Check.Corrupted == 0 && network.Check.Malformed == 0 && local.Check.Malformed == 0;
  return faithful && connected == served.size() ? 0 : 1;
}
