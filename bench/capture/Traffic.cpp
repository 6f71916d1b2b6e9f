#include "capture/Traffic.h"

#include <algorithm>

#include "capture/CaptureOptions.h"

namespace tapwise::bench {

BurstSchedule::BurstSchedule(uint64_t key) : m_state(key ^ 0x5DEECE66Dull) { NextDue = Uniform() * 0.02; }

size_t BurstSchedule::Take() {
  size_t size = (Next() & 7) == 0 ? 4096 + Next() % 8193 : 1 + Next() % 1536;
  m_queued += size;
  NextDue += static_cast<double>(size) / PortRate * 2.0 * Uniform();
  // Random gaps, but the long-run average stays on the nominal rate.
  double ideal = static_cast<double>(m_queued) / PortRate;
  NextDue = std::clamp(NextDue, ideal - 0.1, ideal + 0.1);
  return size;
}

}  // namespace tapwise::bench
