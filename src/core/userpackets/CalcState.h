#pragma once
// The sources of the calculated bytes $0..$8: an 8-bit counter and a linear
// congruential random generator. A running monitor owns one; every compile
// of every text, user packet or trigger, on any thread, draws from it, so a
// counter value is never handed out twice and the random sequence of a run
// is the same from one run to the next (the seed starts at 0 and is never
// taken from the clock).
//
// Each read-and-step is one indivisible operation; two threads compiling at
// once each get their own value.

#include <atomic>
#include <cstdint>

namespace tapwise {

class CalcState {
 public:
  // The current counter value; the counter then moves on by one (FFh -> 00h).
  uint8_t TakeCounter();
  // One step of the generator (seed := seed * 134775813 + 1), then the upper
  // 32 bits of seed * n: a value in 0..n-1 (0 when n is 0).
  uint32_t Random(uint32_t n);

  uint8_t CalcCounter() const { return m_counter.load(); }
  uint32_t Seed() const { return m_seed.load(); }

 private:
  std::atomic<uint8_t> m_counter{0};
  std::atomic<uint32_t> m_seed{0};
};

}  // namespace tapwise
