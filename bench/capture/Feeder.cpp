#include "capture/Feeder.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "support/Timing.h"

namespace tapwise::bench {

namespace {

constexpr double FeedGraceSeconds = 60;

bool WriteSome(FeedTarget& target, double now, std::string& problem) {
  uint8_t buffer[16384];
  uint64_t written = target.WrittenBytes.load();
  size_t size = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, target.Queued - written));
  for (size_t i = 0; i < size; ++i) buffer[i] = DataByte(target.Key, written + i);
  target.OfferedBytes.store(std::max(target.OfferedBytes.load(), written + size));
  ssize_t n = write(target.Master, buffer, size);
  if (n < 0 && errno != EAGAIN && errno != EINTR) {
    problem = std::string("writing a pseudo-terminal failed: ") + std::strerror(errno);
    return false;
  }
  if (n < static_cast<ssize_t>(size)) ++target.BlockedWrites;
  if (n <= 0) return true;
  target.WrittenBytes.store(written + static_cast<uint64_t>(n));
  target.LastWrite = now;
  return true;
}

}  // namespace

std::string Feed(const std::vector<std::vector<FeedTarget>*>& groups, double seconds) {
  std::vector<BurstSchedule> schedules;
  for (const FeedTarget& target : *groups[0]) schedules.emplace_back(target.Key);
  const auto start = BenchClock::now();
  std::vector<pollfd> fds;
  std::vector<FeedTarget*> waiting;
  for (std::string problem;;) {
    double now = SecondsSince(start), nextDue = seconds;
    for (size_t p = 0; p < schedules.size(); ++p) {
      while (schedules[p].NextDue <= now && schedules[p].NextDue < seconds) {
        size_t size = schedules[p].Take();
        for (auto* group : groups) (*group)[p].Queued += size;
      }
      if (schedules[p].NextDue < seconds) nextDue = std::min(nextDue, schedules[p].NextDue);
    }
    fds.clear();
    waiting.clear();
    for (auto* group : groups) {
      for (FeedTarget& target : *group) {
        if (target.Queued == target.WrittenBytes.load()) continue;
        fds.push_back({target.Master, POLLOUT, 0});
        waiting.push_back(&target);
      }
    }
    if (now >= seconds && waiting.empty()) return "";
    if (now >= seconds + FeedGraceSeconds) return "feeding did not end within 60 s of the schedule: a reader stalled";
    double wait = now < seconds ? std::max(0.0, nextDue - now) : 0.2;
    auto nanos = static_cast<long long>(wait * 1e9);
    timespec timeout{static_cast<time_t>(nanos / 1000000000), static_cast<long>(nanos % 1000000000)};
    if (ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR)
      return std::string("poll: ") + std::strerror(errno);
    now = SecondsSince(start);
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL)) return "a pseudo-terminal's reader went away";
      if ((fds[i].revents & POLLOUT) && !WriteSome(*waiting[i], now, problem)) return problem;
    }
  }
}

}  // namespace tapwise::bench
