#include "core/util/Bcd.h"

#include <gtest/gtest.h>

namespace tapwise {
namespace {

TEST(Bcd, DigitsLandInNibbles) {
  const struct {
    uint16_t value;
    uint16_t bcd;
  } cases[] = {{0, 0x0000}, {7, 0x0007}, {59, 0x0059}, {99, 0x0099},
               {100, 0x0100}, {1234, 0x1234}, {9999, 0x9999}};
  for (const auto& c : cases) EXPECT_EQ(WordToBcd(c.value), c.bcd) << c.value;
  EXPECT_EQ(ByteToBcd(59), 0x59);
  EXPECT_EQ(ByteToBcd(0), 0x00);
}

}  // namespace
}  // namespace tapwise
