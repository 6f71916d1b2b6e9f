// hotplug_bench: what ports that come and go cost the headless monitor.
//
// COM1..COM128 are all mapped to links in a folder of the bench's own, which
// stand for USB adapters: a pseudo-terminal behind a symbolic link. Only
// COM128 is plugged in at start (the monitor needs one port to start with);
// once it is pulled out every slot is absent and watched, and the monitor's
// CPU share over the idle time is measured. Then COM128 is plugged in again
// and again, and COM64 (absent since start) once: each time the bench writes
// a byte every 20 ms from the moment the link appears and times how long it
// takes until the monitor prints its first hex line.
//
// It prints numbers. It exits 2 when it could not run, 1 when a device that
// came back was never shown, otherwise 0, whatever the times.

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/BenchProcess.h"
#include "support/Percentile.h"
#include "support/Timing.h"
#include "tests/support/Pty.h"

namespace {

using namespace tapwise;
using namespace tapwise::bench;

constexpr int SlotCount = 128;
constexpr int ReturningPort = 128;
constexpr int NewPort = 64;
constexpr double ByteIntervalSeconds = 0.02;

struct Options {
  double IdleSeconds = 10;
  int Returns = 10;
  std::string Program = TAPWISE_PROGRAM;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--idle-seconds" && hasValue) {
      options.IdleSeconds = std::atof(argv[++i]);
    } else if (arg == "--returns" && hasValue) {
      options.Returns = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--program" && hasValue) {
      options.Program = argv[++i];
    } else {
      std::fprintf(stderr, "usage: hotplug_bench [--idle-seconds N] [--returns N] [--program PATH]\n");
      return false;
    }
  }
  return true;
}

// An adapter as the bench plugs it in and pulls it out.
class Adapter {
 public:
  explicit Adapter(std::string link) : m_link(std::move(link)) {}
  ~Adapter() { Unplug(); }
  const std::string& Link() const { return m_link; }
  bool Plug() {
    m_wire = std::make_unique<Pty>();
    return m_wire->Ok() && symlink(m_wire->SlavePath().c_str(), m_link.c_str()) == 0;
  }
  void Unplug() {
    unlink(m_link.c_str());
    m_wire.reset();
  }
  Pty& Wire() { return *m_wire; }

 private:
  std::string m_link;
  std::unique_ptr<Pty> m_wire;
};

// Lines of the monitor's standard output, and when the last one ended.
struct OutputClock {
  std::atomic<uint64_t> Lines{0};
  std::atomic<int64_t> LastLineAt{0};  // BenchClock ticks
  void Feed(const char* data, size_t size) {
    const auto newlines = static_cast<uint64_t>(std::count(data, data + size, '\n'));
    if (newlines == 0) return;
    LastLineAt.store(BenchClock::now().time_since_epoch().count());
    Lines.fetch_add(newlines);
  }
};

size_t CountError(const BenchProcess& monitor, const std::string& line) {
  const std::vector<std::string> said = monitor.ErrorLines(true);
  return static_cast<size_t>(std::count(said.begin(), said.end(), line));
}

// Waits until the monitor has said `line` more than `before` times.
bool WaitForError(const BenchProcess& monitor, const std::string& line, double seconds, size_t before = 0) {
  const auto start = BenchClock::now();
  while (SecondsSince(start) < seconds) {
    if (CountError(monitor, line) > before) return true;
    SleepSeconds(0.01);
  }
  return false;
}

// Plugs the adapter in and feeds it until the monitor shows a line; the time
// from the link's appearance to that line in ms, or -1 after 5 s.
double TimeToFirstLine(Adapter& adapter, OutputClock& output) {
  const uint64_t linesBefore = output.Lines.load();
  const auto plugged = BenchClock::now();
  if (!adapter.Plug()) return -1;
  while (SecondsSince(plugged) < 5) {
    // Bytes written before the monitor opens the device may be dropped by
    // its open; the next ones arrive. The pause between bytes is longer than
    // the packet gap, or they would make one packet that never ends.
    [[maybe_unused]] ssize_t written = write(adapter.Wire().MasterFd(), "!", 1);
    SleepSeconds(ByteIntervalSeconds);
    if (output.Lines.load() > linesBefore) {
      const BenchClock::time_point shown{BenchClock::duration(output.LastLineAt.load())};
      return Milliseconds(shown - plugged);
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return 2;
  if (access(options.Program.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "hotplug_bench: no tapwise program at %s (build it first)\n", options.Program.c_str());
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);
  char folderTemplate[] = "/tmp/tapwise-hotplug-XXXXXX";
  if (!mkdtemp(folderTemplate)) return std::perror("hotplug_bench: mkdtemp"), 2;
  const std::string folder = folderTemplate;

  std::vector<std::unique_ptr<Adapter>> adapters;
  std::vector<std::string> args = {options.Program, "-headless"};
  for (int n = 1; n <= SlotCount; ++n) {
    adapters.push_back(std::make_unique<Adapter>(folder + "/adapter" + std::to_string(n)));
    args.push_back("-port:" + std::to_string(n) + "=" + adapters.back()->Link());
  }
  Adapter& returning = *adapters[ReturningPort - 1];
  Adapter& late = *adapters[NewPort - 1];
  const std::string returningName = "COM" + std::to_string(ReturningPort) + " " + returning.Link();
  int status = 0;
  {
    if (!returning.Plug()) return std::fprintf(stderr, "hotplug_bench: no pseudo-terminal\n"), 2;
    OutputClock output;
    BenchProcess monitor;
    std::string problem;
    if (!monitor.Start(args, [&](const char* data, size_t size) { output.Feed(data, size); }, problem)) {
      std::fprintf(stderr, "hotplug_bench: %s\n", problem.c_str());
      return 2;
    }
    if (!WaitForError(monitor, returningName, 10)) {
      std::fprintf(stderr, "hotplug_bench: tapwise did not open %s\n", returning.Link().c_str());
      return 2;
    }
    std::printf("%d slots mapped to absent links, COM%d pulled out: idle for %g s...\n", SlotCount,
                ReturningPort, options.IdleSeconds);
    std::fflush(stdout);
    returning.Unplug();
    if (!WaitForError(monitor, returningName + " gone", 5)) status = 1;
    SleepSeconds(1);  // settle
    const auto idleStart = BenchClock::now();
    const double cpuBefore = monitor.CpuSecondsSoFar();
    SleepSeconds(options.IdleSeconds);
    const double idleCpu = monitor.CpuSecondsSoFar() - cpuBefore;
    const double idleSeconds = SecondsSince(idleStart);
    const int threads = monitor.ThreadCount();

    std::vector<double> returns;
    for (int i = 0; i < options.Returns; ++i) {
      const double ms = TimeToFirstLine(returning, output);
      if (ms < 0) status = 1;
      returns.push_back(ms);
      const size_t gone = CountError(monitor, returningName + " gone");
      returning.Unplug();
      if (!WaitForError(monitor, returningName + " gone", 5, gone)) status = 1;
      SleepSeconds(0.2);
    }
    const double newMs = TimeToFirstLine(late, output);
    if (newMs < 0) status = 1;
    monitor.Stop();

    std::sort(returns.begin(), returns.end());
    std::printf("\n| figure | value | target |\n|---|---|---|\n");
    std::printf("| idle CPU, %d watched slots absent | %.3f s in %.1f s = %.2f %% of one core | < 0.5 %% |\n",
                SlotCount, idleCpu, idleSeconds, 100 * idleCpu / idleSeconds);
    std::printf("| threads while idle | %d | |\n", threads);
    std::printf("| device back to first line shown, %d returns | median %.0f ms, largest %.0f ms | < 1000 ms |\n",
                options.Returns, Percentile(returns, 50), returns.back());
    std::printf("| new device (absent at start) to first line shown | %.0f ms | < 1000 ms |\n", newMs);
    std::printf("| tapwise's whole run | %.3f CPU s, %s | |\n", monitor.CpuSeconds(), monitor.ExitText().c_str());
    if (status != 0) std::printf("\nA device that came back was not shown within 5 s, or its going not reported.\n");
  }
  adapters.clear();
  std::filesystem::remove_all(folder);
  return status;
}
