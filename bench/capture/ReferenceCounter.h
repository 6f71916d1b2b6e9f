#pragma once
// Counts the bytes the reference reader (jpnevulator) shows. With
// --timing-print a block starts with "date time: name"; data lines are hex
// pairs, a tab, then the ASCII column. Its output is only counted, not
// checked: the figures compared are CPU times under one load.

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tapwise::bench {

class ReferenceCounter {
 public:
  std::atomic<uint64_t> Bytes{0};
  uint64_t Blocks = 0;

  // Output comes in pieces, so it is read character by character.
  void Feed(const char* data, size_t size);

 private:
  int m_column = 0, m_skip = 0, m_digits = 0, m_held = 0;
};

}  // namespace tapwise::bench
