#pragma once
// A recording that goes to another program as it is made: standard output
// ("-") or a named pipe (FIFO), read by a packet analyser. Unlike a file,
// a stream is never rewound, cut back or rotated, so only the pcapng
// recording (blocks written whole, in order, never revisited) goes to one.
//
// Nothing here waits on the reader. The descriptor is non-blocking; what
// the reader has not taken yet waits in a buffer of Limit bytes, and every
// Write and Flush sends as much of it as the pipe takes at once. A reader
// that falls Limit behind, or one that goes away (EPIPE; SIGPIPE is ignored
// by the programs, see ProcessSetup.h), fails the stream: the recording
// stops, the monitor does not. A FIFO that nobody has opened for reading
// yet is opened on a later Flush; until then its bytes wait in the buffer.
//
// Standard output that is a regular file is written as any file is; one
// that is a terminal is refused (pcapng is binary).
//
// No thread and no lock: the recording's owner calls it on its own thread.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/util/Result.h"

namespace tapwise {

class PipeStream {
 public:
  static constexpr size_t DefaultLimit = size_t{4} << 20;
  // What Close waits at most for a reader to take the last bytes.
  static constexpr std::chrono::milliseconds CloseLinger{500};

  // The path standing for standard output.
  static bool IsStandardOutput(const std::string& path) { return path == "-"; }
  // "-", or a path that names a FIFO now.
  static bool IsStreamTarget(const std::string& path);

  explicit PipeStream(size_t limit = DefaultLimit) : m_limit(limit) {}
  ~PipeStream() { Close(); }
  PipeStream(const PipeStream&) = delete;
  PipeStream& operator=(const PipeStream&) = delete;

  // Opens standard output ("-") or the FIFO. Fails with the plain reason
  // when the target cannot take a stream; a FIFO without a reader is no
  // failure (see above).
  [[nodiscard]] Result Open(const std::string& path);
  // Queues the bytes and sends what the reader takes now. Fails, and
  // closes, when the reader has gone or fell behind.
  [[nodiscard]] Result Write(std::string_view bytes);
  // Sends what waits; opens a FIFO whose reader has come. Fails as Write.
  [[nodiscard]] Result Flush();
  // Sends what waits for up to `linger`, then closes (the standard output
  // gets its own flags back and stays open for the program).
  void Close(std::chrono::milliseconds linger = CloseLinger);
  bool IsOpen() const { return m_open; }
  // A FIFO whose reader has not opened it yet.
  bool AwaitingReader() const { return m_open && m_fd < 0; }
  size_t Waiting() const { return m_pending.size() - m_sent; }

 private:
  Result Fail(std::string reason);
  // Opens the FIFO for writing if a reader has it open: 0, or the error
  // (ENXIO while no reader has it open).
  int TryOpenFifo();

  size_t m_limit;
  std::string m_path;
  bool m_open = false;
  int m_fd = -1;
  // The status flags standard output had before O_NONBLOCK was added.
  int m_restoreFlags = -1;
  std::string m_pending;
  size_t m_sent = 0;
};

}  // namespace tapwise
