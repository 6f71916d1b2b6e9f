#pragma once
// How the headless monitor waits between its passes: until the next pass is
// due, a stop signal comes, or (while the monitor sleeps) the session's wake
// descriptor says a packet, message or port event is waiting. The signals
// stay blocked in every thread and are taken here through a signalfd, so a
// sleeping monitor wakes only when something happens; where no signalfd can
// be had, sigtimedwait takes them and the session's wakes are only seen on
// the timer.
//
// The drain loop's thread only.

#include <signal.h>

#include <chrono>

namespace tapwise {

class HeadlessWait {
 public:
  // Signal: a stop signal came; Report: SIGUSR1 (print the statistics).
  enum class Outcome { Due, Woken, Signal, Report };

  // stopSignals (SIGUSR1 among them, when it is to be taken) are blocked
  // already; wakeFd may be -1.
  HeadlessWait(const sigset_t& stopSignals, int wakeFd);
  ~HeadlessWait();
  HeadlessWait(const HeadlessWait&) = delete;
  HeadlessWait& operator=(const HeadlessWait&) = delete;

  // Waits until `due`, a stop signal, or with watchWake a wake-up.
  Outcome Until(std::chrono::steady_clock::time_point due, bool watchWake);

 private:
  sigset_t m_stopSignals;
  int m_wakeFd;
  int m_signalFd = -1;
};

}  // namespace tapwise
