#include "capture/IdleRun.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "support/BenchProcess.h"
#include "support/Timing.h"

namespace tapwise::bench {

namespace {

IdlePhase MeasureIdle(const BenchProcess& process, double seconds, const char* label) {
  IdlePhase phase{label};
  auto start = BenchClock::now();
  double before = process.CpuSecondsSoFar();
  SleepSeconds(seconds);
  phase.CpuSeconds = process.CpuSecondsSoFar() - before;
  phase.Seconds = SecondsSince(start);
  return phase;
}

}  // namespace

int RunIdle(const CaptureOptions& options, IdleFigures& idle, std::vector<std::string>& problems) {
  std::vector<std::string> args = {options.Program, "-headless"};
  for (int n = 1; n <= IdlePortCount; ++n) args.push_back("-port:" + std::to_string(n) + "=pty");
  BenchProcess monitor;
  std::string problem;
  if (!monitor.Start(args, nullptr, problem)) return problems.push_back(problem), 2;
  std::printf("Idle: tapwise with %d virtual ports, twice %g s...\n", IdlePortCount, options.IdleSeconds);
  std::fflush(stdout);
  idle.Ports = monitor.WaitForPorts(IdlePortCount, 20);
  if (idle.Ports < IdlePortCount) problems.push_back("idle: tapwise opened " + std::to_string(idle.Ports) + " ports");
  SleepSeconds(1);  // settle
  idle.Phases.push_back(MeasureIdle(monitor, options.IdleSeconds, "nobody on the other ends"));
  // A program that opened a virtual port's other end and left hangs the pty
  // up, a state that polls ready for ever; this is what it costs.
  for (const std::string& line : monitor.ErrorLines(true)) {
    int fd = open(line.substr(line.find(' ') + 1).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) close(fd);
  }
  SleepSeconds(1);
  idle.Phases.push_back(MeasureIdle(monitor, options.IdleSeconds, "each other end opened and closed once"));
  idle.Threads = monitor.ThreadCount();
  monitor.Stop();
  std::string exit = monitor.ExitText();
  if (exit != "exit status 0") problems.push_back("idle: tapwise ended with " + exit + " after SIGTERM");
  for (const std::string& line : monitor.ErrorLines(false)) problems.push_back("idle: tapwise said: " + line);
  return 0;
}

}  // namespace tapwise::bench
