#pragma once
// Collecting what the receive threads queue, with a generous deadline.

#include <chrono>
#include <memory>
#include <vector>

#include "capture/CaptureQueue.h"

namespace tapwise {

using Records = std::vector<std::unique_ptr<PacketRecord>>;

// Takes records until `count` have been collected or `timeout` has passed.
Records WaitForRecords(CaptureQueue& queue, size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Takes whatever arrives during `period`.
Records CollectFor(CaptureQueue& queue, std::chrono::milliseconds period);

std::vector<uint8_t> Bytes(const PacketRecord& record);

}  // namespace tapwise
