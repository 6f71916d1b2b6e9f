#pragma once
// The headless monitor's statistics: one summary line per present port on
// standard error ("tapwise: stats COM5 rx_bytes=… load=1.2%"), every N
// seconds with -stats:N and once more at exit, and whenever SIGUSR1 comes
// (with or without -stats; without it, exit prints nothing new).
//
// The owner's thread only: the drain loop that runs the session's ticks.

#include <signal.h>

#include <chrono>
#include <cstdio>

namespace tapwise {

class MonitorSession;

// Blocks SIGUSR1 in the calling thread, as BlockStopSignals does for the
// stop signals and for the same reason: every thread started later
// inherits the block, and only the drain loop takes it. Returns the set.
sigset_t BlockReportSignal();

class HeadlessStats {
 public:
  using Clock = std::chrono::steady_clock;

  // intervalSeconds 0: no lines but on SIGUSR1.
  HeadlessStats(MonitorSession& session, int intervalSeconds, std::FILE* out = stderr);

  // After each tick: the lines, when the interval has passed since the
  // last ones.
  void Tick(Clock::time_point now = Clock::now());
  // The lines now (SIGUSR1).
  void Print();
  // At exit, before the session shuts down: the last lines with -stats.
  void AtExit();

 private:
  MonitorSession& m_session;
  const Clock::duration m_interval;
  std::FILE* m_out;
  Clock::time_point m_next;
};

}  // namespace tapwise
