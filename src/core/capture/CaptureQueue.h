#pragma once
// The one hand-over point between the threads that make packets (receive
// threads, the transmit routine on any thread) and the one consumer that
// shows and records them. First in, first out; unbounded; owns every record
// between Append and TakeFirst. Each operation holds the lock only for the
// pointer move. A record that finds the queue empty notifies the wake
// signal given (the consumer drains the whole queue each pass, so that is
// the one append a sleeping consumer needs to hear of).

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

#include "core/capture/PacketRecord.h"
#include "core/util/WakeSignal.h"

namespace tapwise {

class CaptureQueue {
 public:
  // Before any producer runs; the signal outlives the queue's producers.
  void SetWakeSignal(WakeSignal* wake) { m_wake = wake; }
  void Append(std::unique_ptr<PacketRecord> record);
  size_t Count() const;
  // The oldest record, removed from the queue; null when the queue is empty.
  std::unique_ptr<PacketRecord> TakeFirst();
  // Frees every queued record, front to back.
  void Clear();

 private:
  mutable std::mutex m_mutex;
  std::deque<std::unique_ptr<PacketRecord>> m_records;
  WakeSignal* m_wake = nullptr;
};

}  // namespace tapwise
