// idle_bench: what an idle monitor costs. tapwise with 128 virtual ports and
// no traffic, headless and with its window (under Xvfb when it is installed,
// else on the offscreen platform), left to settle and then watched for a
// while: its share of one core (utime + stime from /proc/PID/stat) and its
// wake-ups per second (voluntary context switches of all its threads, from
// /proc/PID/task/*/status), with the threads that woke most. Then one
// packet is sent, to show that the sleeping monitor still takes it.
//
//   idle_bench [--seconds N] [--settle N] [--program PATH] [--no-window] [--no-headless]
//
// Figures, not pass/fail: exit 0 unless the program could not be started.

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/BenchProcess.h"
#include "support/Timing.h"

using namespace tapwise::bench;

namespace {

constexpr int Ports = 128;

struct Options {
  double Seconds = 20;
  double Settle = 5;
  std::string Program = TAPWISE_PROGRAM;
  bool Window = true;
  bool Headless = true;
};

// Voluntary context switches of each thread, by thread id.
std::map<int, long long> WakeUpsByThread(pid_t pid) {
  std::map<int, long long> counts;
  const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(taskDir.c_str());
  if (!dir) return counts;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream status(taskDir + "/" + entry->d_name + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
        counts[std::atoi(entry->d_name)] = std::atoll(line.c_str() + std::strlen("voluntary_ctxt_switches:"));
      }
    }
  }
  closedir(dir);
  return counts;
}

struct Figures {
  int Threads = 0;
  double CpuPercent = 0;
  double WakeUpsPerSecond = 0;
  std::vector<std::pair<double, int>> Busiest;  // wake-ups per second, thread id
};

Figures Measure(const BenchProcess& process, double seconds) {
  const std::map<int, long long> before = WakeUpsByThread(process.Pid());
  const double cpuBefore = process.CpuSecondsSoFar();
  const auto start = BenchClock::now();
  SleepSeconds(seconds);
  const double elapsed = SecondsSince(start);
  const double cpu = process.CpuSecondsSoFar() - cpuBefore;
  const std::map<int, long long> after = WakeUpsByThread(process.Pid());
  Figures figures;
  figures.Threads = static_cast<int>(after.size());
  figures.CpuPercent = 100.0 * cpu / elapsed;
  long long total = 0;
  for (const auto& [thread, count] : after) {
    const auto earlier = before.find(thread);
    const long long woke = count - (earlier == before.end() ? 0 : earlier->second);
    total += woke;
    if (woke > 0) figures.Busiest.emplace_back(static_cast<double>(woke) / elapsed, thread);
  }
  std::sort(figures.Busiest.rbegin(), figures.Busiest.rend());
  if (figures.Busiest.size() > 3) figures.Busiest.resize(3);
  figures.WakeUpsPerSecond = static_cast<double>(total) / elapsed;
  return figures;
}

std::vector<std::string> PortArgs() {
  std::vector<std::string> args;
  for (int n = 1; n <= Ports; ++n) args.push_back("-port:" + std::to_string(n) + "=pty");
  return args;
}

// An Xvfb of our own on a free display number, listening on no network.
struct Xvfb {
  pid_t Pid = -1;
  std::string Display;
  bool Start() {
    if (access("/usr/bin/Xvfb", X_OK) != 0) return false;
    for (int number = 90; number < 110; ++number) {
      if (access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) == 0) continue;
      Display = ":" + std::to_string(number);
      Pid = fork();
      if (Pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execl("/usr/bin/Xvfb", "Xvfb", Display.c_str(), "-nolisten", "tcp", "-screen", "0", "1024x768x24",
              static_cast<char*>(nullptr));
        _exit(127);
      }
      for (int wait = 0; wait < 50; ++wait) {
        if (access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) == 0) return true;
        SleepSeconds(0.1);
      }
      Stop();
      return false;
    }
    return false;
  }
  void Stop() {
    if (Pid <= 0) return;
    kill(Pid, SIGTERM);
    waitpid(Pid, nullptr, 0);
    Pid = -1;
  }
  ~Xvfb() { Stop(); }
};

// Writes one packet into the first virtual port's other end and says
// whether the monitor showed it (headless: on its standard output).
bool OnePacketShows(const BenchProcess& monitor, const std::vector<std::string>& portLines,
                    const std::function<bool()>& shown) {
  if (portLines.empty()) return false;
  const std::string& line = portLines.front();
  const int fd = open(line.substr(line.find(' ') + 1).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  const char packet[] = "idle bench";
  const bool written = write(fd, packet, sizeof packet - 1) == static_cast<ssize_t>(sizeof packet - 1);
  bool seen = false;
  for (int wait = 0; written && wait < 50 && !seen; ++wait) {
    SleepSeconds(0.1);
    seen = shown();
  }
  close(fd);
  (void)monitor;
  return seen;
}

void Print(const char* label, const Figures& figures, double seconds) {
  std::printf("%-34s %7d %12.3f %14.1f   ", label, figures.Threads, figures.CpuPercent, figures.WakeUpsPerSecond);
  for (const auto& [rate, thread] : figures.Busiest) std::printf(" %d:%.1f", thread, rate);
  std::printf("\n");
  (void)seconds;
}

int RunOne(const Options& options, bool window, std::vector<std::string>& problems) {
  std::vector<std::string> args = {options.Program};
  if (!window) args.push_back("-headless");
  args.push_back("-live:off");
  if (window) args.push_back("-nosplash");
  for (std::string& port : PortArgs()) args.push_back(std::move(port));
  Xvfb xvfb;
  std::string platform = "headless";
  if (window) {
    if (xvfb.Start()) {
      setenv("DISPLAY", xvfb.Display.c_str(), 1);
      unsetenv("QT_QPA_PLATFORM");
      platform = "window, Xvfb " + xvfb.Display;
    } else {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      platform = "window, offscreen";
    }
  }
  std::string out;
  std::mutex outMutex;
  BenchProcess monitor;
  std::string problem;
  auto onOutput = [&](const char* data, size_t size) {
    std::lock_guard lock(outMutex);
    out.append(data, size);
  };
  if (!monitor.Start(args, window ? BenchProcess::OutputSink{} : BenchProcess::OutputSink(onOutput), problem)) {
    problems.push_back(problem);
    return 2;
  }
  if (window) {
    // The window says nothing of its ports; a receive thread each shows them open.
    for (int wait = 0; wait < 300 && monitor.ThreadCount() < Ports; ++wait) SleepSeconds(0.1);
    if (monitor.ThreadCount() < Ports) problems.push_back(platform + ": did not open its ports");
  } else if (const size_t ports = monitor.WaitForPorts(Ports, 30); ports < Ports) {
    problems.push_back(platform + ": " + std::to_string(ports) + " port lines");
  }
  SleepSeconds(options.Settle);
  const Figures figures = Measure(monitor, options.Seconds);
  Print(platform.c_str(), figures, options.Seconds);
  if (!window) {
    const bool shown = OnePacketShows(monitor, monitor.ErrorLines(true), [&] {
      std::lock_guard lock(outMutex);
      return out.find("69 64 6C 65") != std::string::npos;
    });
    if (!shown) problems.push_back("headless: the packet after the idle spell was not shown");
  }
  monitor.Stop();
  if (window) {
    unsetenv("DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      options.Seconds = std::atof(argv[++i]);
    } else if (arg == "--settle" && i + 1 < argc) {
      options.Settle = std::atof(argv[++i]);
    } else if (arg == "--program" && i + 1 < argc) {
      options.Program = argv[++i];
    } else if (arg == "--no-window") {
      options.Window = false;
    } else if (arg == "--no-headless") {
      options.Headless = false;
    } else {
      std::fprintf(stderr,
                   "usage: idle_bench [--seconds N] [--settle N] [--program PATH] [--no-window] [--no-headless]\n");
      return 2;
    }
  }
  std::printf("tapwise with %d idle virtual ports, %g s settle, %g s measured\n\n", Ports, options.Settle,
              options.Seconds);
  std::printf("%-34s %7s %12s %14s   %s\n", "", "threads", "CPU % core", "wake-ups/s", "busiest threads (tid:wake-ups/s)");
  std::vector<std::string> problems;
  int status = 0;
  if (options.Headless) status = std::max(status, RunOne(options, false, problems));
  if (options.Window) status = std::max(status, RunOne(options, true, problems));
  for (const std::string& problem : problems) std::printf("note: %s\n", problem.c_str());
  return status;
}
