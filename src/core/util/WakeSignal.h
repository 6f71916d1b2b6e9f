#pragma once
// A descriptor that polls readable once something was posted for the thread
// that sleeps on it: the capture queue, the user messages and the port
// events post; the front end's tick sleeps in poll on Handle() while its
// monitor is idle, and wakes at once instead of on its next timer pass.
//
// Notify may come from any thread and never blocks; it is cheap (one
// eventfd write) and a burst of them wakes once. Drain, on the sleeper's
// thread, takes what was posted so the descriptor polls quiet again.

#include <atomic>
#include <cstdint>

namespace tapwise {

class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  void Notify();
  void Drain();
  // -1 when the system gave no eventfd: the sleeper then only has its timer.
  int Handle() const { return m_fd; }
  // How many times Notify was called, for tests and benchmarks.
  uint64_t Notified() const { return m_notified.load(std::memory_order_relaxed); }

 private:
  int m_fd = -1;
  std::atomic<uint64_t> m_notified{0};
};

}  // namespace tapwise
