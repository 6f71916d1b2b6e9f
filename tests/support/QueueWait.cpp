#include "support/QueueWait.h"

#include <thread>

namespace tapwise {

Records WaitForRecords(CaptureQueue& queue, size_t count, std::chrono::milliseconds timeout) {
  Records records;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (records.size() < count && std::chrono::steady_clock::now() < deadline) {
    if (auto record = queue.TakeFirst()) {
      records.push_back(std::move(record));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  return records;
}

Records CollectFor(CaptureQueue& queue, std::chrono::milliseconds period) {
  return WaitForRecords(queue, SIZE_MAX, period);
}

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::vector<uint8_t> Bytes(const PacketRecord& record) {
  return {record.Data, record.Data + record.Length};
}

}  // namespace tapwise
