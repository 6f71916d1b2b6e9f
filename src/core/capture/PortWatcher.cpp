#include "core/capture/PortWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace tapwise {

TPortWatcher::TPortWatcher(Visit visit)
    : m_visit(std::move(visit)), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TPortWatcher::~TPortWatcher() {
  Stop();
  if (m_wakeFd >= 0) close(m_wakeFd);
}

void TPortWatcher::Start() {
  if (m_thread.joinable()) return;
  m_stop.store(false);
  m_thread = std::thread([this] { Execute(); });
}

void TPortWatcher::Stop() {
  if (!m_thread.joinable()) return;
  m_stop.store(true);
  Wake();
  m_thread.join();
}

void TPortWatcher::Wake() {
  if (m_wakeFd < 0) return;
  uint64_t one = 1;
  // A full counter still wakes the thread, so a failed write needs no retry.
  [[maybe_unused]] ssize_t written = write(m_wakeFd, &one, sizeof one);
}

void TPortWatcher::Watch(uint8_t port, const std::string& path, int delayMs) {
  {
    std::lock_guard lock(m_mutex);
    Entry entry;
    entry.Path = path;
    entry.NotBefore = Clock::now() + std::chrono::milliseconds(delayMs);
    m_requests[port] = std::move(entry);
  }
  Wake();
}

void TPortWatcher::TakeRequests() {
  std::map<uint8_t, Entry> requests;
  {
    std::lock_guard lock(m_mutex);
    requests.swap(m_requests);
  }
  for (auto& [port, entry] : requests) m_entries[port] = std::move(entry);
}

int TPortWatcher::MillisecondsToNextVisit() const {
  const Clock::time_point now = Clock::now();
  long long soonest = std::numeric_limits<int>::max();
  bool any = false;
  for (const auto& [port, entry] : m_entries) {
    if (!entry.Pending) continue;
    any = true;
    const long long left = std::chrono::ceil<std::chrono::milliseconds>(entry.NotBefore - now).count();
    soonest = std::min(soonest, std::max(left, 0LL));
  }
  return any ? static_cast<int>(soonest) : -1;
}

void TPortWatcher::VisitDue() {
  for (auto it = m_entries.begin(); it != m_entries.end() && !m_stop.load();) {
    Entry& entry = it->second;
    const Clock::time_point now = Clock::now();
    if (!entry.Pending || now < entry.NotBefore) {
      ++it;
      continue;
    }
    // The watch first, then the look: a path that appears in between still
    // brings an event.
    m_paths.Follow(entry.Path);
    if (!PathWatch::Exists(entry.Path)) {
      entry.Pending = false;
      ++it;
      continue;
    }
    switch (m_visit(it->first)) {
      case Outcome::Done:
        it = m_entries.erase(it);
        continue;
      case Outcome::WaitForChange:
        entry.Pending = false;
        break;
      case Outcome::RetryLater:
        entry.NotBefore = now + std::chrono::milliseconds(entry.RetryMs);
        entry.RetryMs = std::min(entry.RetryMs * 2, MaxRetryMs);
        break;
    }
    ++it;
  }
}

void TPortWatcher::Execute() {
  while (!m_stop.load()) {
    pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {m_paths.Handle(), POLLIN, 0}};
    int timeout = MillisecondsToNextVisit();
    // Without inotify the paths can only be looked at now and then, and
    // without the wake-up descriptor Stop is seen only at a timeout.
    if ((!m_paths.Ok() && !m_entries.empty()) || m_wakeFd < 0) {
      timeout = timeout < 0 ? MaxRetryMs : std::min(timeout, MaxRetryMs);
    }
    if (poll(fds, 2, timeout) < 0 && errno != EINTR) {
      usleep(MaxRetryMs * 1000);
      continue;
    }
    if (fds[0].revents & POLLIN) {
      uint64_t count;
      [[maybe_unused]] ssize_t drained = read(m_wakeFd, &count, sizeof count);
    }
    TakeRequests();
    if (m_paths.TakeEvents() || !m_paths.Ok()) {
      for (auto& [port, entry] : m_entries) entry.Pending = true;
    }
    VisitDue();
  }
}

}  // namespace tapwise
