#pragma once
// The one hand-over point between the threads that make packets (receive
// threads, the transmit routine on any thread) and the one consumer that
// shows and records them. First in, first out; unbounded; owns every record
// between Append and TakeFirst. Each operation holds the lock only for the
// pointer move.

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "core/capture/PacketRecord.h"

namespace tapwise {

class CaptureQueue {
 public:
  void Append(std::unique_ptr<PacketRecord> record);
  size_t Count() const;
  // The oldest record, removed from the queue; null when the queue is empty.
  std::unique_ptr<PacketRecord> TakeFirst();
  // Frees every queued record, front to back.
  void Clear();

 private:
  mutable std::mutex m_mutex;
  std::deque<std::unique_ptr<PacketRecord>> m_records;
};

}  // namespace tapwise
