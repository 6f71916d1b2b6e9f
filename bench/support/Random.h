#pragma once
// Seeded pseudo-random numbers, so that a run can be repeated byte for byte.
// Inline: the traffic generators call them once per byte.

#include <cstdint>

namespace tapwise::bench {

// A stateless mix of 64 bits (the SplitMix64 finaliser): Mix(key + n) gives
// a stream that can be read at any position without stepping through it.
inline uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// One step of a 64-bit xorshift; the state must not be 0.
inline uint64_t NextRandom(uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}

}  // namespace tapwise::bench
