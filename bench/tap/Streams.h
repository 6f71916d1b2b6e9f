#pragma once
// Byte streams fed at a steady rate in bursts and checked where they come
// out: every byte of stream s at offset k is known (Expected), so a lost,
// doubled or changed byte shows, and the time from writing each burst to
// the arrival of its first byte is the latency of that stream.
//
// One writer thread serves every stream and one reader thread polls them
// all, so the streams of the program and of the reference copy are treated
// alike in the same run.

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/Timing.h"

namespace tapwise::bench {

struct Stream {
  int WriteFd = -1;  // -1: fed only, nobody reads it here
  int ReadFd = -1;
  uint64_t Written = 0;  // the writer's
  uint64_t Read = 0;     // the reader's
  uint64_t Wrong = 0;    // bytes that arrived but were not the expected ones
  std::mutex Mutex;
  std::deque<std::pair<uint64_t, BenchClock::time_point>> Bursts;  // guarded by Mutex
  std::vector<double> LatenciesMs;                                 // the reader's
  std::atomic<bool> Measure{false};  // collect latencies (set once the warm-up is over)
};

uint8_t Expected(size_t stream, uint64_t offset);

class StreamRun {
 public:
  StreamRun(std::vector<std::unique_ptr<Stream>>& streams, double bytesPerSecond, double burstSeconds);
  ~StreamRun();
  // Stops writing, then reads on for `drainSeconds` so that what is in
  // flight can arrive.
  void Finish(double drainSeconds);

 private:
  void Write();
  void ReadAll();

  std::vector<std::unique_ptr<Stream>>& m_streams;
  const size_t m_burstBytes;
  const double m_burstSeconds;
  std::atomic<bool> m_stopWriting{false};
  std::atomic<bool> m_stopReading{false};
  std::thread m_writer;
  std::thread m_reader;
};

}  // namespace tapwise::bench
