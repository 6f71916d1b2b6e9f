#pragma once
// Waiting on the receive threads, always with a generous deadline: what they
// queue, or a condition they bring about.

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "core/capture/CaptureQueue.h"

namespace tapwise {

using Records = std::vector<std::unique_ptr<PacketRecord>>;

// Takes records until `count` have been collected or `timeout` has passed.
Records WaitForRecords(CaptureQueue& queue, size_t count,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Takes whatever arrives during `period`.
Records CollectFor(CaptureQueue& queue, std::chrono::milliseconds period);

std::vector<uint8_t> Bytes(const PacketRecord& record);

// Polls done() until it holds (true) or the timeout passes (false).
bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(3));

}  // namespace tapwise
