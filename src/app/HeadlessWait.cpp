#include "app/HeadlessWait.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace tapwise {

HeadlessWait::HeadlessWait(const sigset_t& stopSignals, int wakeFd)
    : m_stopSignals(stopSignals), m_wakeFd(wakeFd), m_signalFd(signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK)) {}

HeadlessWait::~HeadlessWait() {
  if (m_signalFd >= 0) close(m_signalFd);
}

HeadlessWait::Outcome HeadlessWait::Until(std::chrono::steady_clock::time_point due, bool watchWake) {
  const auto remaining = due - std::chrono::steady_clock::now();
  if (remaining <= std::chrono::steady_clock::duration::zero()) return Outcome::Due;
  if (m_signalFd < 0) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
    const timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    const int signal = sigtimedwait(&m_stopSignals, nullptr, &timeout);
    if (signal == SIGUSR1) return Outcome::Report;
    return signal > 0 ? Outcome::Signal : Outcome::Due;
  }
  // Rounded up: waking a little early would only mean a second wait.
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(remaining).count();
  pollfd fds[2] = {{m_signalFd, POLLIN, 0}, {watchWake ? m_wakeFd : -1, POLLIN, 0}};
  const int ready = poll(fds, 2, ms > INT_MAX ? INT_MAX : static_cast<int>(ms));
  if (ready < 0) return errno == EINTR ? Outcome::Woken : Outcome::Due;
  if (fds[0].revents & POLLIN) {
    signalfd_siginfo info{};
    if (read(m_signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      return info.ssi_signo == SIGUSR1 ? Outcome::Report : Outcome::Signal;
    }
  }
  if (fds[1].revents & POLLIN) return Outcome::Woken;
  return std::chrono::steady_clock::now() >= due ? Outcome::Due : Outcome::Woken;
}

}  // namespace tapwise
