// capture_bench: how fast and how faithfully the headless monitor captures.
//
// Throughput: 16 pseudo-terminals are fed with seeded bursts averaging 92,160
// bytes/s each (921,600 baud); tapwise listens on them and its hex lines are
// parsed back and checked byte for byte against what was sent. The same
// bursts go, at the same moments, to 16 more pseudo-terminals read by
// jpnevulator, so that the two CPU times are taken under one load.
// Idle: tapwise with 128 virtual ports and no traffic, CPU share over 10 s.
//
// It prints numbers. It exits 1 only when tapwise lost, reordered, corrupted
// or added bytes or printed lines that do not parse; 2 when it could not run.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/platform/PseudoTerminal.h"

#ifndef TAPWISE_PROGRAM
#define TAPWISE_PROGRAM "tapwise"
#endif

extern char** environ;

namespace tapwise {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int PortCount = 16;
constexpr int IdlePortCount = 128;
constexpr double PortRate = 92160.0;  // bytes/s: 921,600 baud at 10 bits a byte
constexpr size_t LineWidth = 80;
constexpr size_t FullPacket = 4096;
constexpr size_t MaxNotes = 5;
constexpr double FeedGraceSeconds = 60;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

struct Options {
  double FeedSeconds = 30;
  double IdleSeconds = 10;
  uint64_t Seed = 20240611;
  bool Throughput = true;
  bool Idle = true;
  bool Reference = true;
  std::string Program = TAPWISE_PROGRAM;
};

const char* const UsageText =
    "Usage: capture_bench [--seconds N] [--idle-seconds N] [--seed N] [--program PATH]\n"
    "                     [--no-reference] [--no-idle] [--no-throughput]\n"
    "  --seconds N       feed the 16 ports for N seconds (default 30)\n"
    "  --idle-seconds N  measure 128 idle ports over N seconds (default 10)\n"
    "  --seed N          seed of the traffic (default 20240611)\n"
    "  --program PATH    the tapwise binary (default: the one built with this bench)\n"
    "  --no-reference    do not run jpnevulator beside tapwise\n";

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    double number = 0;
    auto value = [&](double low, double high) {
      if (i + 1 >= argc) return false;
      char* end = nullptr;
      number = std::strtod(argv[++i], &end);
      return end != argv[i] && *end == '\0' && number >= low && number <= high;
    };
    if (arg == "--seconds" && value(0.5, 86400)) {
      options.FeedSeconds = number;
    } else if (arg == "--idle-seconds" && value(0.5, 86400)) {
      options.IdleSeconds = number;
    } else if (arg == "--seed" && value(0, 1e15)) {
      options.Seed = static_cast<uint64_t>(number);
    } else if (arg == "--program" && i + 1 < argc) {
      options.Program = argv[++i];
    } else if (arg == "--no-reference" || arg == "--no-idle" || arg == "--no-throughput") {
      (arg == "--no-reference" ? options.Reference : arg == "--no-idle" ? options.Idle : options.Throughput) =
          false;
    } else {
      std::fprintf(stderr, "capture_bench: bad option or value: %s\n%s", arg.c_str(), UsageText);
      return false;
    }
  }
  return true;
}

// ---- Traffic ---------------------------------------------------------------

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint64_t PortKey(uint64_t seed, int port) { return Mix(seed * 1000003u + static_cast<uint64_t>(port)); }

// The byte at a stream offset is a pure function of port and offset, so a
// received byte can be placed back into the sent stream without storing it.
// 0xFF (the receive path's line-error marker, also as FF 00) and control
// bytes come much more often than uniform bytes would bring them.
uint8_t DataByte(uint64_t key, uint64_t offset) {
  uint64_t h = Mix(key + offset);
  unsigned kind = static_cast<unsigned>(h >> 8) & 0xFF;
  if (kind < 24) return 0xFF;
  if (kind < 28) return 0x00;
  if (kind < 44) return static_cast<uint8_t>((h >> 16) & 0x1F);
  return static_cast<uint8_t>(h);
}

// One port's bursts: mostly short ones with gaps on both sides of the 10 ms
// packet gap, one in eight longer than a full 4096-byte packet.
class BurstSchedule {
 public:
  explicit BurstSchedule(uint64_t key) : m_state(key ^ 0x5DEECE66Dull) { NextDue = Uniform() * 0.02; }

  double NextDue = 0;  // seconds from the start of feeding

  size_t Take() {
    size_t size = (Next() & 7) == 0 ? 4096 + Next() % 8193 : 1 + Next() % 1536;
    m_queued += size;
    NextDue += static_cast<double>(size) / PortRate * 2.0 * Uniform();
    // Random gaps, but the long-run average stays on the nominal rate.
    double ideal = static_cast<double>(m_queued) / PortRate;
    NextDue = std::clamp(NextDue, ideal - 0.1, ideal + 0.1);
    return size;
  }

 private:
  uint64_t Next() { return Mix(m_state++); }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  uint64_t m_state;
  uint64_t m_queued = 0;
};

// One master end being fed. `Offered` runs ahead of `Written` while a write
// is under way, so a byte that arrives before the feeder counted it is known.
struct FeedTarget {
  int Master = -1;
  uint64_t Key = 0;
  uint64_t Queued = 0;
  std::atomic<uint64_t> Written{0};
  std::atomic<uint64_t> Offered{0};
  uint64_t BlockedWrites = 0;
  double LastWrite = 0;
};

// ---- Checking tapwise's stream ---------------------------------------------

// Places each received byte at its position in the sent stream. A byte that
// continues the stream is taken at once; after a mismatch a window of bytes
// is collected and searched for near the expected position, which tells lost
// bytes (a jump forward), late or repeated ones (a jump back) and bytes that
// match nothing that was sent (corrupted) apart.
class StreamCheck {
 public:
  StreamCheck(int port, const FeedTarget& target) : m_port(port), m_target(target) {}

  std::string Where;  // set by the parser: where in the output the bytes are
  std::atomic<uint64_t> Distinct{0};
  uint64_t Received = 0, Reordered = 0, Repeated = 0, Corrupted = 0;
  std::vector<std::string> Notes;

  void Take(uint8_t byte) {
    ++Received;
    if (m_window.empty() && m_cursor < m_target.Offered.load() && byte == DataByte(m_target.Key, m_cursor)) {
      Assign(m_cursor++);
      return;
    }
    m_window.push_back(byte);
    if (m_window.size() >= Window) Resync(false);
  }

  void Finish() {
    Resync(true);
    uint64_t sent = m_target.Written.load();
    if (m_maxSeen < sent)
      Note("the last " + std::to_string(sent - m_maxSeen) + " bytes (from offset " + std::to_string(m_maxSeen) +
           ") never came out");
  }

  uint64_t Lost() const { return m_target.Written.load() - Distinct.load(); }

 private:
  static constexpr size_t Window = 32;
  static constexpr size_t MinMatch = 8;

  void Note(const std::string& text) {
    if (Notes.size() < MaxNotes) Notes.push_back("COM" + std::to_string(m_port) + ": " + text);
  }

  void Assign(uint64_t position) {
    if (position >= m_seen.size()) m_seen.resize(std::max<uint64_t>(position + 1, m_seen.size() * 2 + 65536));
    if (m_seen[position]) {
      ++Repeated;
      return;
    }
    m_seen[position] = true;
    Distinct.fetch_add(1, std::memory_order_relaxed);
    if (position < m_maxSeen) ++Reordered;
    m_maxSeen = std::max(m_maxSeen, position + 1);
  }

  size_t MatchLength(uint64_t at, uint64_t limit) const {
    size_t n = 0;
    while (n < m_window.size() && at + n < limit && m_window[n] == DataByte(m_target.Key, at + n)) ++n;
    return n;
  }

  // Finds the longest run of the window in the sent stream, nearest first.
  // A tail shorter than MinMatch is only believed where the stream was going.
  void Resync(bool final) {
    const uint64_t limit = m_target.Offered.load();
    // A badly broken stream resyncs often: then search less, so the run ends.
    const uint64_t forward = m_resyncs < 10000 ? (1u << 20) : 4096;
    const uint64_t back = m_resyncs < 10000 ? 65536 : 4096;
    while (!m_window.empty() && (final || m_window.size() >= Window)) {
      ++m_resyncs;
      uint64_t best = m_cursor;
      size_t bestLength = MatchLength(m_cursor, limit);
      const bool shortTail = m_window.size() < MinMatch;
      for (uint64_t d = 1; !shortTail && bestLength < m_window.size() && (d <= forward || d <= back); ++d) {
        if (d <= forward && m_cursor + d < limit) {
          size_t n = MatchLength(m_cursor + d, limit);
          if (n > bestLength) bestLength = n, best = m_cursor + d;
        }
        if (d <= back && d <= m_cursor) {
          size_t n = MatchLength(m_cursor - d, limit);
          if (n > bestLength) bestLength = n, best = m_cursor - d;
        }
      }
      if (bestLength > 0 && bestLength >= std::min(MinMatch, m_window.size())) {
        if (best > std::max(m_cursor, m_maxSeen)) {
          Note("jumped over " + std::to_string(best - std::max(m_cursor, m_maxSeen)) + " bytes to offset " +
               std::to_string(best) + " (" + Where + ")");
        } else if (best < m_cursor) {
          Note("offset " + std::to_string(best) + " came again or late, after offset " +
               std::to_string(m_cursor - 1) + " (" + Where + ")");
        }
        for (size_t i = 0; i < bestLength; ++i) Assign(best + i);
        m_cursor = best + bestLength;
        m_window.erase(m_window.begin(), m_window.begin() + static_cast<std::ptrdiff_t>(bestLength));
      } else {
        char text[80];
        std::snprintf(text, sizeof text, "byte %02X near offset %llu matches nothing sent (", m_window[0],
                      static_cast<unsigned long long>(m_cursor));
        Note(text + Where + ")");
        ++Corrupted;
        m_window.erase(m_window.begin());
      }
    }
  }

  int m_port;
  const FeedTarget& m_target;
  uint64_t m_cursor = 0;
  uint64_t m_maxSeen = 0;
  uint64_t m_resyncs = 0;
  std::vector<bool> m_seen;
  std::vector<uint8_t> m_window;
};

using PortChecks = std::vector<std::unique_ptr<StreamCheck>>;  // index = port - 1

int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Lines of exactly 80 characters and CR LF: a 12-character header ("COM" or
// "ERR", the port character, ' ' or '*', mm:ss.t) on a packet's first line
// and 12 spaces on the rest, 16 bytes in hex in groups of four, the text column.
class HexOutputParser {
 public:
  explicit HexOutputParser(PortChecks& checks) : m_checks(checks) {}

  uint64_t Lines = 0, Packets = 0, FullPackets = 0, Oversize = 0, ErrorPackets = 0, SentPackets = 0;
  uint64_t Malformed = 0;
  std::vector<std::string> Notes;

  void Feed(const char* data, size_t size) {
    m_pending.append(data, size);
    size_t start = 0;
    for (size_t end; (end = m_pending.find('\n', start)) != std::string::npos; start = end + 1) {
      if (end - start == LineWidth + 1 && m_pending[end - 1] == '\r') {
        Line(reinterpret_cast<const unsigned char*>(m_pending.data() + start));
      } else {
        Bad("a line of " + std::to_string(end - start) + " bytes before LF", m_pending.substr(start, end - start));
      }
    }
    m_pending.erase(0, start);
  }

  void Finish() {
    if (!m_pending.empty()) Bad("an unfinished last line", m_pending);
    ClosePacket();
  }

 private:
  void Bad(const std::string& what, const std::string& line) {
    ++Malformed;
    if (Notes.size() >= MaxNotes) return;
    std::string shown;
    for (unsigned char c : line.substr(0, LineWidth)) shown += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    Notes.push_back("output line " + std::to_string(Lines) + ": " + what + ": \"" + shown + "\"");
  }

  void ClosePacket() {
    if (m_port == 0) return;
    ++Packets;
    if (m_length == FullPacket) ++FullPackets;
    if (m_length > FullPacket) ++Oversize;
    m_port = 0;
  }

  static bool HeaderOk(const unsigned char* p) {
    auto digit = [&](int i) { return p[i] >= '0' && p[i] <= '9'; };
    return (std::memcmp(p, "COM", 3) == 0 || std::memcmp(p, "ERR", 3) == 0) && (p[4] == ' ' || p[4] == '*') &&
           digit(5) && digit(6) && p[7] == ':' && digit(8) && digit(9) && p[10] == '.' && digit(11);
  }

  void Line(const unsigned char* p) {
    ++Lines;
    auto bad = [&](const char* what) { Bad(what, std::string(reinterpret_cast<const char*>(p), LineWidth)); };
    bool continuation = std::all_of(p, p + 12, [](unsigned char c) { return c == ' '; });
    if (continuation) {
      if (m_port == 0 || m_lastLineShort) return bad("a continuation line without a full line before it");
    } else {
      if (!HeaderOk(p)) return bad("a header that does not parse");
      int port = p[3] >= '1' && p[3] <= '9' ? p[3] - '0' : p[3] >= 'a' ? p[3] - 87 : 0;
      if (port < 1 || port > static_cast<int>(m_checks.size())) return bad("a port that was not fed");
      ClosePacket();
      m_port = port;
      m_length = 0;
      ErrorPackets += p[0] == 'E';
      SentPackets += p[4] == '*';
      m_checks[port - 1]->Where = "packet " + std::to_string(Packets + 1) + " of the output, header \"" +
                                  std::string(reinterpret_cast<const char*>(p), 12) + "\", line " +
                                  std::to_string(Lines);
    }
    uint8_t bytes[16];
    int count = 0;
    for (int j = 0; j < 16; ++j) {
      const unsigned char* cell = p + 12 + 3 * j + j / 4;
      int high = HexDigit(cell[1]), low = HexDigit(cell[2]);
      if (cell[0] != ' ' || (j % 4 == 3 && cell[3] != ' ')) return bad("the hex cells are not spaced right");
      if (high >= 0 && low >= 0 && count == j) {
        bytes[count++] = static_cast<uint8_t>(high * 16 + low);
      } else if (cell[1] != ' ' || cell[2] != ' ') {
        return bad("a hex cell that does not parse");
      }
    }
    for (int j = 0; j < 16; ++j) {
      unsigned char expected = j >= count ? ' ' : bytes[j] < 32 ? 183 : bytes[j];
      if (p[64 + j] != expected) return bad("the text column disagrees with the hex");
    }
    if (count == 0) {
      if (continuation) return bad("an empty continuation line");
      return ClosePacket();  // an empty packet: one line, header only
    }
    m_lastLineShort = count < 16;
    m_length += static_cast<size_t>(count);
    StreamCheck& check = *m_checks[m_port - 1];
    for (int j = 0; j < count; ++j) check.Take(bytes[j]);
  }

  PortChecks& m_checks;
  std::string m_pending;
  int m_port = 0;
  size_t m_length = 0;
  bool m_lastLineShort = false;
};

// Counts the bytes jpnevulator shows. With --timing-print a block starts with
// "date time: name"; data lines are hex pairs, a tab, then the ASCII column.
// Output comes in pieces, so it is read character by character.
class ReferenceCounter {
 public:
  std::atomic<uint64_t> Bytes{0};
  uint64_t Blocks = 0;

  void Feed(const char* data, size_t size) {
    uint64_t bytes = 0;  // wraps when a header takes back what looked like hex
    for (size_t i = 0; i < size; ++i) {
      auto c = static_cast<unsigned char>(data[i]);
      if (c == '\n') {
        m_column = m_skip = m_digits = m_held = 0;
        continue;
      }
      // A header is told from hex ("41 42") by its fifth character: "2024-".
      int column = m_column++;
      if (column == 4 && c == '-') {
        ++Blocks;
        m_skip = 1;
        bytes -= static_cast<uint64_t>(m_held);
        continue;
      }
      if (m_skip || c == '\t') {
        m_skip = 1;
        continue;
      }
      m_digits = HexDigit(c) < 0 ? 0 : m_digits + 1;
      if (m_digits < 2) continue;
      m_digits = 0;
      ++bytes;
      if (column < 4) ++m_held;
    }
    Bytes.fetch_add(bytes);
  }

 private:
  int m_column = 0, m_skip = 0, m_digits = 0, m_held = 0;
};

// ---- Pseudo-terminals and child processes ----------------------------------

struct Child {
  pid_t Pid = -1;
  int Out = -1;  // read end of its standard output; -1 when that went to /dev/null
  std::thread ErrorReader;
  std::mutex ErrorMutex;
  std::string ErrorText;  // all it wrote to standard error
  rusage Usage{};
  int Status = 0;

  // Its stderr lines; `ports` picks the "COMn path" lines or all others.
  std::vector<std::string> ErrorLines(bool ports) {
    std::lock_guard lock(ErrorMutex);
    std::vector<std::string> lines;
    std::istringstream text(ErrorText);
    for (std::string line; std::getline(text, line);) {
      bool port = line.size() > 4 && line.compare(0, 3, "COM") == 0 && line[3] >= '0' && line[3] <= '9';
      if (port == ports) lines.push_back(line);
    }
    return lines;
  }
};

bool Spawn(const std::vector<std::string>& args, bool captureOut, Child& child, std::string& problem) {
  int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
  if ((captureOut && pipe2(outPipe, O_CLOEXEC) != 0) || pipe2(errPipe, O_CLOEXEC) != 0) {
    problem = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  // A large pipe keeps the child from waiting on the bench between its reads.
  if (captureOut) fcntl(outPipe[0], F_SETPIPE_SZ, 1 << 20);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (captureOut) {
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int rc = posix_spawnp(&child.Pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captureOut) close(outPipe[1]);
  close(errPipe[1]);
  if (rc != 0) {
    problem = "cannot start " + args[0] + ": " + std::strerror(rc);
    if (captureOut) close(outPipe[0]);
    close(errPipe[0]);
    return false;
  }
  child.Out = captureOut ? outPipe[0] : -1;
  child.ErrorReader = std::thread([&child, fd = errPipe[0]] {
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      std::lock_guard lock(child.ErrorMutex);
      child.ErrorText.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
  });
  return true;
}

// Waits for `count` "COMn path" lines (the ports it opened) or for time to run out.
size_t WaitForPorts(Child& child, size_t count, double seconds) {
  auto start = Clock::now();
  while (child.ErrorLines(true).size() < count && Since(start) < seconds) Sleep(0.02);
  return child.ErrorLines(true).size();
}

// SIGTERM, then the exit status and the CPU time of its whole life from wait4.
void Stop(Child& child) {
  if (child.Pid <= 0) return;
  kill(child.Pid, SIGTERM);
  auto start = Clock::now();
  while (wait4(child.Pid, &child.Status, WNOHANG, &child.Usage) != child.Pid) {
    if (Since(start) > 10) {
      kill(child.Pid, SIGKILL);
      wait4(child.Pid, &child.Status, 0, &child.Usage);
      break;
    }
    Sleep(0.005);
  }
  child.Pid = -1;
  if (child.ErrorReader.joinable()) child.ErrorReader.join();
}

double CpuSeconds(const rusage& usage) {
  auto value = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return value(usage.ru_utime) + value(usage.ru_stime);
}

std::string ExitText(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return std::string("killed by ") + strsignal(WTERMSIG(status));
  return "status " + std::to_string(status);
}

// True once `pid` holds all of `paths` open; jpnevulator has no other way to say so.
bool WaitUntilOpen(pid_t pid, const std::vector<std::string>& paths, double seconds) {
  auto start = Clock::now();
  while (Since(start) < seconds) {
    size_t found = 0;
    for (int fd = 0; fd < 1024; ++fd) {
      char link[256];
      std::string path = "/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd);
      ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
      if (n > 0) found += std::count(paths.begin(), paths.end(), std::string(link, static_cast<size_t>(n)));
    }
    if (found >= paths.size()) return true;
    Sleep(0.02);
  }
  return false;
}

template <typename Parser>
std::thread StartOutputReader(int fd, Parser& parser) {
  return std::thread([fd, &parser] {
    std::vector<char> buffer(1 << 18);
    for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      parser.Feed(buffer.data(), static_cast<size_t>(n));
    }
  });
}

// ---- Feeding -----------------------------------------------------------------

bool WriteSome(FeedTarget& target, double now, std::string& problem) {
  uint8_t buffer[16384];
  uint64_t written = target.Written.load();
  size_t size = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, target.Queued - written));
  for (size_t i = 0; i < size; ++i) buffer[i] = DataByte(target.Key, written + i);
  target.Offered.store(std::max(target.Offered.load(), written + size));
  ssize_t n = write(target.Master, buffer, size);
  if (n < 0 && errno != EAGAIN && errno != EINTR) {
    problem = std::string("writing a pseudo-terminal failed: ") + std::strerror(errno);
    return false;
  }
  if (n < static_cast<ssize_t>(size)) ++target.BlockedWrites;
  if (n <= 0) return true;
  target.Written.store(written + static_cast<uint64_t>(n));
  target.LastWrite = now;
  return true;
}

// Each port's bursts are queued to its target in every group at the same
// moment; each target is written as its pty takes the bytes (poll, never
// dropped), so a slow reader holds back only its own ptys. Returns a problem.
std::string Feed(const std::vector<std::vector<FeedTarget>*>& groups, double seconds) {
  std::vector<BurstSchedule> schedules;
  for (const FeedTarget& target : *groups[0]) schedules.emplace_back(target.Key);
  const auto start = Clock::now();
  std::vector<pollfd> fds;
  std::vector<FeedTarget*> waiting;
  for (std::string problem;;) {
    double now = Since(start), nextDue = seconds;
    for (size_t p = 0; p < schedules.size(); ++p) {
      while (schedules[p].NextDue <= now && schedules[p].NextDue < seconds) {
        size_t size = schedules[p].Take();
        for (auto* group : groups) (*group)[p].Queued += size;
      }
      if (schedules[p].NextDue < seconds) nextDue = std::min(nextDue, schedules[p].NextDue);
    }
    fds.clear();
    waiting.clear();
    for (auto* group : groups) {
      for (FeedTarget& target : *group) {
        if (target.Queued == target.Written.load()) continue;
        fds.push_back({target.Master, POLLOUT, 0});
        waiting.push_back(&target);
      }
    }
    if (now >= seconds && waiting.empty()) return "";
    if (now >= seconds + FeedGraceSeconds) return "feeding did not end within 60 s of the schedule: a reader stalled";
    double wait = now < seconds ? std::max(0.0, nextDue - now) : 0.2;
    auto nanos = static_cast<long long>(wait * 1e9);
    timespec timeout{static_cast<time_t>(nanos / 1000000000), static_cast<long>(nanos % 1000000000)};
    if (ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR)
      return std::string("poll: ") + std::strerror(errno);
    now = Since(start);
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) return "a pseudo-terminal's reader went away";
      if ((fds[i].revents & POLLOUT) && !WriteSome(*waiting[i], now, problem)) return problem;
    }
  }
}

// ---- The throughput run --------------------------------------------------------

struct CaptureFigures {
  bool Ran = false;
  uint64_t Sent = 0, Received = 0, Lost = 0, Reordered = 0, Corrupted = 0, Repeated = 0;
  uint64_t Packets = 0, FullPackets = 0, BlockedWrites = 0;
  double CpuSeconds = 0;
  double FeedRate = 0;  // bytes/s per port, as achieved
  std::string Exit;
  std::vector<std::string> Notes;
};

// What was written, how often a write had to wait, and the achieved rate
// (bytes/s per port from the start until the group's last byte was taken).
void FeedFigures(const std::vector<FeedTarget>& targets, double seconds, CaptureFigures& figures) {
  for (const FeedTarget& target : targets) {
    seconds = std::max(seconds, target.LastWrite);
    figures.Sent += target.Written.load();
    figures.BlockedWrites += target.BlockedWrites;
  }
  figures.FeedRate = static_cast<double>(figures.Sent) / static_cast<double>(targets.size()) / seconds;
}

struct Rig {
  // The program's own pseudo-terminals: non-blocking masters, slaves made raw.
  std::vector<std::unique_ptr<tapwise::PseudoTerminal>> Ptys;
  std::vector<FeedTarget> Targets;
  Child Process;
  std::thread Reader;
};

bool BuildRig(Rig& rig, uint64_t seed, std::string& problem) {
  rig.Targets = std::vector<FeedTarget>(PortCount);
  for (int p = 0; p < PortCount; ++p) {
    rig.Ptys.push_back(tapwise::PseudoTerminal::Create(&problem));
    if (!rig.Ptys.back()) return false;
    rig.Targets[p].Master = rig.Ptys.back()->MasterFd();
    rig.Targets[p].Key = PortKey(seed, p + 1);
  }
  return true;
}

void StopRig(Rig& rig) {
  Stop(rig.Process);
  if (rig.Reader.joinable()) rig.Reader.join();
  if (rig.Process.Out >= 0) close(rig.Process.Out);
  rig.Ptys.clear();
}

// Waits until every byte written came out of both readers, or until nothing
// moved for 3 s. Whatever tapwise still holds at SIGTERM is never printed.
void WaitForOutput(const PortChecks& checks, const Rig& tapwise, const ReferenceCounter* reference,
                   const Rig& jpnevulator) {
  auto lastProgress = Clock::now();
  uint64_t lastTotal = 0;
  for (;;) {
    uint64_t total = reference ? reference->Bytes.load() : 0;
    bool done = true;
    for (size_t p = 0; p < checks.size(); ++p) {
      total += checks[p]->Distinct.load();
      done = done && checks[p]->Distinct.load() == tapwise.Targets[p].Written.load();
    }
    if (reference) {
      uint64_t sent = 0;
      for (const FeedTarget& target : jpnevulator.Targets) sent += target.Written.load();
      done = done && reference->Bytes.load() >= sent;
    }
    if (done) return;
    if (total != lastTotal) lastTotal = total, lastProgress = Clock::now();
    if (Since(lastProgress) > 3) return;
    Sleep(0.05);
  }
}

int RunThroughput(const Options& options, CaptureFigures& tapwise, CaptureFigures& reference,
                  std::vector<std::string>& problems) {
  Rig monitor, sniffer;
  std::string problem;
  if (!BuildRig(monitor, options.Seed, problem) || (options.Reference && !BuildRig(sniffer, options.Seed, problem)))
    return problems.push_back(problem), 2;

  PortChecks checks;
  std::vector<std::string> args = {options.Program, "-headless"};
  for (int p = 0; p < PortCount; ++p) {
    checks.push_back(std::make_unique<StreamCheck>(p + 1, monitor.Targets[p]));
    args.push_back("-port:" + std::to_string(p + 1) + "=" + monitor.Ptys[p]->SlavePath());
  }
  if (!Spawn(args, true, monitor.Process, problem)) return problems.push_back(problem), 2;
  HexOutputParser parser(checks);
  monitor.Reader = StartOutputReader(monitor.Process.Out, parser);
  if (size_t opened = WaitForPorts(monitor.Process, PortCount, 15); opened < PortCount) {
    StopRig(monitor);
    problems.push_back("tapwise opened " + std::to_string(opened) + " of " + std::to_string(PortCount) + " ports");
    for (const std::string& line : monitor.Process.ErrorLines(false)) problems.push_back("tapwise said: " + line);
    return 2;
  }

  ReferenceCounter counter;
  if (options.Reference) {
    // The same packet gap as tapwise's default, and the ASCII column too.
    args = {"jpnevulator", "--read", "--timing-print", "--timing-delta=10000", "--ascii"};
    std::vector<std::string> paths;
    for (int p = 0; p < PortCount; ++p) {
      args.push_back("--tty=" + sniffer.Ptys[p]->SlavePath() + ":" + std::to_string(p + 1));
      paths.push_back(sniffer.Ptys[p]->SlavePath());
    }
    if (!Spawn(args, true, sniffer.Process, problem)) {
      StopRig(monitor);
      return problems.push_back(problem + " (bench/run installs it; or pass --no-reference)"), 2;
    }
    sniffer.Reader = StartOutputReader(sniffer.Process.Out, counter);
    if (!WaitUntilOpen(sniffer.Process.Pid, paths, 15)) problems.push_back("jpnevulator did not open all ports");
  }

  std::printf("Feeding %d ports at %.0f bytes/s each for %g s%s...\n", PortCount, PortRate, options.FeedSeconds,
              options.Reference ? ", to tapwise and to jpnevulator" : "");
  std::fflush(stdout);
  std::vector<std::vector<FeedTarget>*> groups = {&monitor.Targets};
  if (options.Reference) groups.push_back(&sniffer.Targets);
  problem = Feed(groups, options.FeedSeconds);
  if (!problem.empty()) problems.push_back(problem);
  WaitForOutput(checks, monitor, options.Reference ? &counter : nullptr, sniffer);

  StopRig(monitor);
  parser.Finish();
  tapwise.Ran = true;
  FeedFigures(monitor.Targets, options.FeedSeconds, tapwise);
  for (const auto& check : checks) {
    check->Finish();
    tapwise.Received += check->Received;
    tapwise.Lost += check->Lost();
    tapwise.Reordered += check->Reordered;
    tapwise.Corrupted += check->Corrupted;
    tapwise.Repeated += check->Repeated;
    tapwise.Notes.insert(tapwise.Notes.end(), check->Notes.begin(), check->Notes.end());
  }
  tapwise.Packets = parser.Packets;
  tapwise.FullPackets = parser.FullPackets;
  tapwise.CpuSeconds = CpuSeconds(monitor.Process.Usage);
  tapwise.Exit = ExitText(monitor.Process.Status);
  tapwise.Notes.insert(tapwise.Notes.end(), parser.Notes.begin(), parser.Notes.end());
  auto note = [&](uint64_t count, const char* what) {
    if (count > 0) tapwise.Notes.push_back(std::to_string(count) + what);
  };
  note(parser.Malformed, " output lines did not parse");
  note(parser.Oversize, " packets were longer than 4096 bytes");
  note(parser.ErrorPackets, " packets were flagged ERR (a pty has no line errors)");
  note(parser.SentPackets, " packets were marked as transmitted");
  if (tapwise.Exit != "exit status 0") tapwise.Notes.push_back("ended with " + tapwise.Exit + " after SIGTERM");
  for (const std::string& line : monitor.Process.ErrorLines(false)) tapwise.Notes.push_back("said: " + line);

  if (options.Reference) {
    StopRig(sniffer);
    reference.Ran = true;
    FeedFigures(sniffer.Targets, options.FeedSeconds, reference);
    reference.Received = counter.Bytes.load();
    reference.Lost = reference.Sent > reference.Received ? reference.Sent - reference.Received : 0;
    reference.Packets = counter.Blocks;
    reference.CpuSeconds = CpuSeconds(sniffer.Process.Usage);
    reference.Exit = ExitText(sniffer.Process.Status);
    for (const std::string& line : sniffer.Process.ErrorLines(false)) reference.Notes.push_back("said: " + line);
  }
  bool broken = tapwise.Lost + tapwise.Reordered + tapwise.Corrupted + tapwise.Repeated + parser.Malformed +
                    parser.Oversize > 0;
  return broken ? 1 : 0;
}

// ---- The idle run ------------------------------------------------------------

struct IdlePhase {
  std::string Label;
  double CpuSeconds = 0, Seconds = 0;
};

struct IdleFigures {
  size_t Ports = 0;
  int Threads = 0;
  std::vector<IdlePhase> Phases;
};

// utime + stime of the whole process from /proc/<pid>/stat, in seconds.
double ProcessCpu(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  size_t nameEnd = text.rfind(')');  // the name may hold spaces
  std::istringstream fields(nameEnd == std::string::npos ? "" : text.substr(nameEnd + 2));
  std::string field;
  unsigned long long ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i >= 14) ticks += std::stoull(field);
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

IdlePhase MeasureIdle(pid_t pid, double seconds, const char* label) {
  IdlePhase phase{label};
  auto start = Clock::now();
  double before = ProcessCpu(pid);
  Sleep(seconds);
  phase.CpuSeconds = ProcessCpu(pid) - before;
  phase.Seconds = Since(start);
  return phase;
}

int RunIdle(const Options& options, IdleFigures& idle, std::vector<std::string>& problems) {
  std::vector<std::string> args = {options.Program, "-headless"};
  for (int n = 1; n <= IdlePortCount; ++n) args.push_back("-port:" + std::to_string(n) + "=pty");
  Child monitor;
  std::string problem;
  if (!Spawn(args, false, monitor, problem)) return problems.push_back(problem), 2;
  std::printf("Idle: tapwise with %d virtual ports, twice %g s...\n", IdlePortCount, options.IdleSeconds);
  std::fflush(stdout);
  idle.Ports = WaitForPorts(monitor, IdlePortCount, 20);
  if (idle.Ports < IdlePortCount) problems.push_back("idle: tapwise opened " + std::to_string(idle.Ports) + " ports");
  Sleep(1);  // settle
  idle.Phases.push_back(MeasureIdle(monitor.Pid, options.IdleSeconds, "nobody on the other ends"));
  // A program that opened a virtual port's other end and left hangs the pty
  // up, a state that polls ready for ever; this is what it costs.
  for (const std::string& line : monitor.ErrorLines(true)) {
    int fd = open(line.substr(line.find(' ') + 1).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) close(fd);
  }
  Sleep(1);
  idle.Phases.push_back(MeasureIdle(monitor.Pid, options.IdleSeconds, "each other end opened and closed once"));
  std::ifstream status("/proc/" + std::to_string(monitor.Pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Threads:", 0) == 0) idle.Threads = std::atoi(line.c_str() + 8);
  Stop(monitor);
  std::string exit = ExitText(monitor.Status);
  if (exit != "exit status 0") problems.push_back("idle: tapwise ended with " + exit + " after SIGTERM");
  for (const std::string& line : monitor.ErrorLines(false)) problems.push_back("idle: tapwise said: " + line);
  return 0;
}

// ---- Report ------------------------------------------------------------------------

std::string Count(uint64_t value) {
  std::string digits = std::to_string(value), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

void Row(const char* label, const std::string& a, const std::string& b, const char* target = "") {
  std::printf("  %-40s %15s %18s   %s\n", label, a.c_str(), b.c_str(), target);
}

void Report(const Options& options, const CaptureFigures& tapwise, const CaptureFigures& reference,
            const IdleFigures& idle, const std::vector<std::string>& problems) {
  std::printf("\n=== Tapwise capture benchmark (seed %llu) ===\n", static_cast<unsigned long long>(options.Seed));
  if (tapwise.Ran) {
    auto other = [&](const std::string& value) { return reference.Ran ? value : std::string("-"); };
    std::printf("\nThroughput: %d ports x %.0f bytes/s (921,600 baud), %g s of bursts\n\n", PortCount, PortRate,
                options.FeedSeconds);
    Row("", "tapwise", "jpnevulator", "target");
    Row("bytes sent", Count(tapwise.Sent), other(Count(reference.Sent)));
    Row("bytes received (parsed from its output)", Count(tapwise.Received), other(Count(reference.Received)));
    Row("bytes lost", Count(tapwise.Lost), other(Count(reference.Lost)), "0");
    Row("bytes reordered / corrupted", Count(tapwise.Reordered) + " / " + Count(tapwise.Corrupted), "-",
        "0 / 0");
    Row("extra bytes (repeated + corrupted)", Count(tapwise.Repeated + tapwise.Corrupted), "-", "0");
    Row("packets (jpnevulator: blocks)", Count(tapwise.Packets), other(Count(reference.Packets)));
    Row("packets of exactly 4096 bytes", Count(tapwise.FullPackets), "-");
    Row("CPU seconds (user+sys)", Fixed(tapwise.CpuSeconds, 2), other(Fixed(reference.CpuSeconds, 2)));
    Row("achieved feed rate (bytes/s per port)", Fixed(tapwise.FeedRate, 0), other(Fixed(reference.FeedRate, 0)),
        "92160");
    Row("feeder writes that had to wait", Count(tapwise.BlockedWrites), other(Count(reference.BlockedWrites)));
    Row("end after SIGTERM", tapwise.Exit, other(reference.Exit));
    std::printf("\n");
    if (reference.Ran && reference.CpuSeconds > 0) {
      double ratio = tapwise.CpuSeconds / reference.CpuSeconds;
      std::printf("  CPU ratio tapwise / jpnevulator: %.2f   target: at most 1.00   %s\n", ratio,
                  ratio <= 1.0 ? "met" : "NOT MET");
    }
    bool intact = tapwise.Lost + tapwise.Reordered + tapwise.Corrupted + tapwise.Repeated == 0;
    std::printf("  Integrity: %s   target: 0 bytes lost, reordered or corrupted   %s\n",
                intact ? "every byte came out once, in order" : "BYTES LOST, REORDERED, CORRUPTED OR ADDED",
                intact ? "met" : "NOT MET");
  }
  if (!idle.Phases.empty()) {
    std::printf("\nIdle: %zu virtual ports, %d threads; CPU from /proc/<pid>/stat (10 ms steps) over:\n\n",
                idle.Ports, idle.Threads);
  }
  for (const IdlePhase& phase : idle.Phases) {
    double percent = phase.CpuSeconds / phase.Seconds * 100.0;
    std::printf("  %-38s %5.1f s: %6.2f s CPU = %5.2f %% of one core   target: under 3 %%   %s\n",
                phase.Label.c_str(), phase.Seconds, phase.CpuSeconds, percent, percent < 3.0 ? "met" : "NOT MET");
  }
  std::vector<std::string> notes = problems;
  for (const std::string& note : tapwise.Notes) notes.push_back("tapwise: " + note);
  for (const std::string& note : reference.Notes) notes.push_back("jpnevulator: " + note);
  if (!notes.empty()) std::printf("\nNotes:\n");
  for (const std::string& note : notes) std::printf("  - %s\n", note.c_str());
  std::printf("\n");
}

}  // namespace
}  // namespace tapwise

int main(int argc, char** argv) {
  using namespace tapwise;
  Options options;
  if (!ParseOptions(argc, argv, options)) return 2;
  if (access(options.Program.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "capture_bench: no tapwise program at %s (build it first)\n", options.Program.c_str());
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> problems;
  CaptureFigures tapwise, reference;
  IdleFigures idle;
  int status = 0;
  if (options.Throughput) status = RunThroughput(options, tapwise, reference, problems);
  if (options.Idle && status != 2) status = std::max(status, RunIdle(options, idle, problems));
  Report(options, tapwise, reference, idle, problems);
  return status;
}
