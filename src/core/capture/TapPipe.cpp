#include "core/capture/TapPipe.h"

#include <chrono>
#include <utility>

namespace tapwise {

TapPipe::TapPipe(Deliver deliver, Idle idle, int idleMs, Stamp stamp)
    : m_deliver(std::move(deliver)), m_idle(std::move(idle)), m_idleMs(idleMs), m_stamp(std::move(stamp)) {}

TapPipe::~TapPipe() { Stop(); }

void TapPipe::Start() {
  if (!m_thread.joinable() && !Stopping()) m_thread = std::thread([this] { Execute(); });
}

void TapPipe::Stop() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping.store(true);
  }
  m_changed.notify_all();
  if (m_thread.joinable()) m_thread.join();
  std::lock_guard lock(m_mutex);
  m_chunks.clear();
  m_queuedBytes = 0;
}

void TapPipe::Forward(const uint8_t* bytes, size_t count) {
  if (count == 0) return;
  Chunk chunk{std::vector<uint8_t>(bytes, bytes + count), m_stamp ? m_stamp() : std::nullopt};
  std::unique_lock lock(m_mutex);
  // A chunk larger than the whole queue still goes in once the queue is empty.
  m_changed.wait(lock, [&] { return Stopping() || m_queuedBytes == 0 || m_queuedBytes + count <= CapacityBytes; });
  if (Stopping()) return;
  m_queuedBytes += count;
  m_chunks.push_back(std::move(chunk));
  lock.unlock();
  m_changed.notify_all();
}

void TapPipe::Execute() {
  const auto idleWait = std::chrono::milliseconds(m_idleMs);
  std::unique_lock lock(m_mutex);
  while (!Stopping()) {
    if (m_chunks.empty()) {
      const bool woken = m_changed.wait_for(lock, idleWait, [&] { return Stopping() || !m_chunks.empty(); });
      if (!woken && m_idle) {
        lock.unlock();
        m_idle();
        lock.lock();
      }
      continue;
    }
    Chunk chunk = std::move(m_chunks.front());
    m_chunks.pop_front();
    lock.unlock();
    m_deliver(chunk);
    lock.lock();
    // Room is made only once the chunk is out, so the bound holds for what
    // is queued and in delivery together.
    m_queuedBytes -= chunk.Bytes.size();
    m_changed.notify_all();
  }
}

}  // namespace tapwise
