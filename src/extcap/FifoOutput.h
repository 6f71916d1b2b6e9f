#pragma once
// The capture's way out: the FIFO the packet analyser made and reads (or a
// plain file, for a user who runs the program by hand). Blocks are queued
// whole and written without waiting, so neither a slow reader nor one that
// has gone holds up the ports; what the reader has not taken yet waits here,
// up to Limit. The owner's thread calls everything.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/util/Result.h"

namespace tapwise {

class FifoOutput {
 public:
  static constexpr size_t DefaultLimit = size_t{64} << 20;

  explicit FifoOutput(size_t limit = DefaultLimit) : m_limit(limit) {}
  ~FifoOutput();
  FifoOutput(const FifoOutput&) = delete;
  FifoOutput& operator=(const FifoOutput&) = delete;

  // Opens the path for writing. A FIFO is waited for until its reader has
  // opened it, asking `stop` every few milliseconds whether to give up (a
  // stop signal: then it succeeds without opening, IsOpen() false); a plain
  // file is made or emptied. Fails saying why.
  [[nodiscard]] Result Open(const std::string& path, const std::function<bool()>& stop);
  bool IsOpen() const { return m_fd >= 0; }

  // Whole blocks, in order.
  void Queue(std::string_view bytes) { m_pending.append(bytes); }
  // Writes what the reader takes now. Fails once the reader has gone or a
  // write failed, or when more than the limit waits (the reader stalled);
  // ReaderGone() tells the first apart, which is the normal end of a capture.
  [[nodiscard]] Result Flush();
  // Whether the reader closed its end, even with nothing to write.
  bool ReaderGone();
  // At the end: waits at most `limit` for what is queued to go.
  void Drain(std::chrono::milliseconds limit);
  size_t Waiting() const { return m_pending.size() - m_sent; }

 private:
  int m_fd = -1;
  size_t m_limit;
  bool m_readerGone = false;
  std::string m_pending;
  size_t m_sent = 0;
};

}  // namespace tapwise
