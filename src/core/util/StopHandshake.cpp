#include "core/util/StopHandshake.h"

#include <chrono>
#include <thread>

namespace tapwise {

void WaitForStopCleared(const std::atomic<uint8_t>& stopRequest) {
  while (stopRequest.load() != 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace tapwise
