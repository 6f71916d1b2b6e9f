#include "app/HeadlessStats.h"

#include <pthread.h>

#include "core/session/MonitorSession.h"
#include "core/stats/FiguresText.h"

namespace tapwise {

sigset_t BlockReportSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  return set;
}

HeadlessStats::HeadlessStats(MonitorSession& session, int intervalSeconds, std::FILE* out)
    : m_session(session),
      m_interval(std::chrono::seconds(intervalSeconds)),
      m_out(out),
      m_next(Clock::now() + m_interval) {}

void HeadlessStats::Tick(Clock::time_point now) {
  if (m_interval == Clock::duration::zero() || now < m_next) return;
  Print();
  m_next += m_interval;
  // After a stall, the next lines come an interval from now, not in a burst.
  if (m_next <= now) m_next = now + m_interval;
}

void HeadlessStats::Print() {
  for (uint8_t port : m_session.PresentPorts()) {
    std::fprintf(m_out, "tapwise: stats %s\n", FiguresLine(m_session.PortFiguresNow(port)).c_str());
  }
  std::fflush(m_out);
}

void HeadlessStats::AtExit() {
  if (m_interval != Clock::duration::zero()) Print();
}

}  // namespace tapwise
