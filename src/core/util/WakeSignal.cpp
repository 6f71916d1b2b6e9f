#include "core/util/WakeSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace tapwise {

WakeSignal::WakeSignal() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeSignal::~WakeSignal() {
  if (m_fd >= 0) close(m_fd);
}

void WakeSignal::Notify() {
  m_notified.fetch_add(1, std::memory_order_relaxed);
  if (m_fd < 0) return;
  const uint64_t one = 1;
  // A full counter still polls readable, so a failed write needs no retry.
  [[maybe_unused]] const ssize_t written = write(m_fd, &one, sizeof one);
}

void WakeSignal::Drain() {
  if (m_fd < 0) return;
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t drained = read(m_fd, &count, sizeof count);
}

}  // namespace tapwise
