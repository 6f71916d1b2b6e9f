#include "core/capture/CaptureQueue.h"

namespace tapwise {

void CaptureQueue::Append(std::unique_ptr<PacketRecord> record) {
  bool first = false;
  {
    std::lock_guard lock(m_mutex);
    m_records.push_back(std::move(record));
    first = m_records.size() == 1;
  }
  if (first && m_wake != nullptr) m_wake->Notify();
}

size_t CaptureQueue::Count() const {
  std::lock_guard lock(m_mutex);
  return m_records.size();
}

std::unique_ptr<PacketRecord> CaptureQueue::TakeFirst() {
  std::lock_guard lock(m_mutex);
  if (m_records.empty()) return nullptr;
  std::unique_ptr<PacketRecord> first = std::move(m_records.front());
  m_records.pop_front();
  return first;
}

void CaptureQueue::Clear() {
  // Free outside the lock: a producer appending meanwhile need not wait for
  // thousands of frees. At shutdown there are no producers left anyway.
  std::deque<std::unique_ptr<PacketRecord>> records;
  {
    std::lock_guard lock(m_mutex);
    records.swap(m_records);
  }
}

}  // namespace tapwise
