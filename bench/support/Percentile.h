#pragma once
// The value at a percentile of sorted figures, by nearest rank rounded down
// (50 gives the upper median of an even count), so that the same run always
// names the same sample.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tapwise::bench {

// `sorted` must hold at least one value; `percent` is 0..100.
template <typename T>
T Percentile(const std::vector<T>& sorted, size_t percent) {
  return sorted[std::min(sorted.size() - 1, sorted.size() * percent / 100)];
}

}  // namespace tapwise::bench
