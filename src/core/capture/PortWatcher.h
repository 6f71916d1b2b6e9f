#pragma once
// The one thread that waits for ports to (re)appear: every port whose path
// is absent at start-up and every port whose device has gone is watched
// here, on one inotify descriptor, by the folders on the way to its path.
// When a watched path exists the visit given at construction is called for
// its port, on this thread; it opens the port (or does what else it must)
// and says how it went:
//   Done            the port is no longer watched
//   WaitForChange   nothing to do until a watched folder changes again
//   RetryLater      refused (busy, not permitted yet): asked again after a
//                   wait that doubles from FirstRetryMs up to MaxRetryMs
//                   for as long as the refusals last
// Between events the thread sleeps in poll without a timeout, unless a
// retry is due, so a hundred absent ports cost nothing.
//
// One thread for all ports rather than one inotify descriptor per receive
// thread: a user gets 128 inotify instances in all by default, shared with
// every other program, and ports absent at start-up have no receive thread.
//
// Watch may be called from any thread (receive threads do when their device
// goes); Start and Stop from the owner's. After Stop has returned no visit
// runs.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "core/platform/PathWatch.h"

namespace tapwise {

class TPortWatcher {
 public:
  static constexpr int FirstRetryMs = 50;
  static constexpr int MaxRetryMs = 2000;

  enum class Outcome : uint8_t { Done, WaitForChange, RetryLater };
  using Visit = std::function<Outcome(uint8_t port)>;

  explicit TPortWatcher(Visit visit);
  ~TPortWatcher();
  TPortWatcher(const TPortWatcher&) = delete;
  TPortWatcher& operator=(const TPortWatcher&) = delete;

  void Start();
  void Stop();

  // Watches path for port, replacing an earlier watch of the port; the
  // first visit comes no sooner than delayMs from now.
  void Watch(uint8_t port, const std::string& path, int delayMs = 0);

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    std::string Path;
    // Looked at on the next pass that is not before NotBefore; cleared
    // while the path is absent, until a folder changes.
    bool Pending = true;
    Clock::time_point NotBefore;
    int RetryMs = FirstRetryMs;
  };

  void Execute();
  void Wake();
  int MillisecondsToNextVisit() const;
  void TakeRequests();
  void VisitDue();

  const Visit m_visit;
  PathWatch m_paths;
  int m_wakeFd = -1;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::map<uint8_t, Entry> m_requests;  // guarded by m_mutex
  std::map<uint8_t, Entry> m_entries;   // the watcher thread's own
  std::thread m_thread;
};

}  // namespace tapwise
