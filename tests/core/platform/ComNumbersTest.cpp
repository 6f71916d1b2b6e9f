#include "core/platform/ComNumbers.h"

#include <gtest/gtest.h>

#include <vector>

namespace tapwise {
namespace {

TEST(ComNumbers, TheRangeHoldsEveryNumberOnceInOrder) {
  // A byte-wide counter must not stop short of the last port nor wrap past it.
  std::vector<int> seen;
  for (uint8_t n : AllComNumbers()) seen.push_back(n);
  ASSERT_EQ(seen.size(), size_t{MaxComPorts});
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], static_cast<int>(i) + 1);
  for (auto [n, name] : std::vector<std::pair<int, const char*>>{{1, "COM1"}, {10, "COM10"}, {128, "COM128"}}) {
    EXPECT_EQ(ComName(n), name);
  }
}

}  // namespace
}  // namespace tapwise
