#pragma once
// One direction of a tap: the chunks a receive thread read on one side, in
// order, and a thread of the pipe's own that delivers them to the other
// side. The receive thread only queues, so a far side that is slow to take
// bytes (an application that stopped reading) holds up this pipe's thread,
// never a receive thread that other ports or the other direction depend on.
// The queue is bounded: once CapacityBytes wait, Forward waits for room,
// which holds back the reads of this one port; nothing read is dropped.
//
// Threads: Forward on the receive thread of the side read; Deliver, Idle
// and Stopping on the pipe's thread; Start, Stop and the destructor on the
// owner's.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/capture/ReadForwarder.h"
#include "core/platform/Termios2.h"

namespace tapwise {

class TapPipe : public ReadForwarder {
 public:
  static constexpr size_t CapacityBytes = 256 * 1024;

  struct Chunk {
    std::vector<uint8_t> Bytes;
    // The line settings of the side read, as they were when the chunk was
    // read (only where the pipe was given a stamp).
    std::optional<FollowedLine> Line;
  };
  // Runs on the pipe's thread for each chunk, in order; it may take as long
  // as the far side needs, looking at Stopping now and then.
  using Deliver = std::function<void(Chunk&)>;
  // Runs on the pipe's thread every idleMs while nothing waits.
  using Idle = std::function<void()>;
  // Runs on the receive thread for each chunk it forwards.
  using Stamp = std::function<std::optional<FollowedLine>()>;

  TapPipe(Deliver deliver, Idle idle, int idleMs, Stamp stamp = {});
  ~TapPipe() override;
  TapPipe(const TapPipe&) = delete;
  TapPipe& operator=(const TapPipe&) = delete;

  void Start();
  // Ends the pipe's thread; chunks still waiting are dropped, and from here
  // on Forward returns at once. Runs before the receive threads are stopped,
  // so that none of them waits for room that would never come.
  void Stop();
  bool Stopping() const { return m_stopping.load(); }

  void Forward(const uint8_t* bytes, size_t count) override;

 private:
  void Execute();

  Deliver m_deliver;
  Idle m_idle;
  const int m_idleMs;
  Stamp m_stamp;
  std::mutex m_mutex;
  std::condition_variable m_changed;  // a chunk came, room was made, or stop
  std::deque<Chunk> m_chunks;         // guarded by m_mutex
  size_t m_queuedBytes = 0;           // guarded by m_mutex
  std::atomic<bool> m_stopping{false};
  std::thread m_thread;
};

}  // namespace tapwise
