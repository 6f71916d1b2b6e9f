#include <gtest/gtest.h>

#include <thread>

#include "capture/TWComms.h"
#include "display/QueueDrain.h"
#include "support/FakeOpener.h"

namespace tapwise {
namespace {

TEST(QueueDrain, TakesEverythingInOrderAndCountsOnlyEnabledPorts) {
  FakeOpener opener;
  opener.AddFake(1);
  opener.AddFake(2);
  TWComms comms(opener);
  comms.CreatePorts();
  comms.SetPortEnabled(2, false);
  const uint8_t bytes[8] = {1, 2, 3};
  for (uint8_t port : std::initializer_list<uint8_t>{1, 2, 1, 7, 1}) comms.WritePacket(port, bytes, port);

  uint16_t counter = 65534;  // the counter wraps rather than stopping
  std::vector<uint16_t> shown;
  size_t taken = DrainQueue(comms, counter, [&](const PacketRecord& record) { shown.push_back(record.Length); });
  EXPECT_EQ(taken, 5u);
  EXPECT_EQ(shown, (std::vector<uint16_t>{1, 1, 1}));
  EXPECT_EQ(counter, 1);
  EXPECT_EQ(comms.Queue().Count(), 0u);
}

}  // namespace
}  // namespace tapwise
