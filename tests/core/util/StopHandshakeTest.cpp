// The owner's side of the stop handshake: the wait returns only once the
// worker has cleared the request, however late that comes.

#include "core/util/StopHandshake.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tapwise {
namespace {

TEST(StopHandshake, ReturnsOnlyAfterTheWorkerClearsTheRequest) {
  // 0 ms: cleared before the first look; 3 ms: inside one 10 ms pause;
  // 35 ms: after several looks have found it still set.
  for (int delayMs : {0, 3, 35}) {
    std::atomic<uint8_t> stopRequest{1};
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
      // What the worker does before it answers must be finished when the
      // owner goes on (the receive thread drops its packet, for one).
      workerDone.store(true);
      stopRequest.store(0);
    });
    WaitForStopCleared(stopRequest);
    EXPECT_TRUE(workerDone.load()) << "returned before the worker answered, delay " << delayMs << " ms";
    EXPECT_EQ(stopRequest.load(), 0) << "delay " << delayMs << " ms";
    worker.join();
  }
}

}  // namespace
}  // namespace tapwise
