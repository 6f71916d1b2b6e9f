#include "core/userpackets/CalcState.h"

namespace tapwise {

uint8_t CalcState::TakeCounter() {
  // fetch_add on an 8-bit atomic wraps at 256, which is the counter's rule.
  return m_counter.fetch_add(1);
}

uint32_t CalcState::Random(uint32_t n) {
  uint32_t seed = m_seed.load();
  uint32_t next;
  do {
    next = seed * 134775813u + 1u;
  } while (!m_seed.compare_exchange_weak(seed, next));
  return static_cast<uint32_t>((static_cast<uint64_t>(next) * n) >> 32);
}

}  // namespace tapwise
