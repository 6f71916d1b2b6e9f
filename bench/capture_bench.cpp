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
//
// The parts are in bench/capture/: the traffic and its feeder, the two runs
// and the report; what other benchmarks use too is in bench/support/.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/CaptureOptions.h"
#include "capture/CaptureReport.h"
#include "capture/IdleRun.h"
#include "capture/ThroughputRun.h"

int main(int argc, char** argv) {
  using namespace tapwise::bench;
  CaptureOptions options;
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
