#pragma once
// The throughput run: tapwise (and beside it jpnevulator, on ptys of its
// own) fed the same bursts at the same moments; tapwise's hex lines checked
// byte for byte against what was sent; both CPU times taken.

#include <cstdint>
#include <string>
#include <vector>

#include "capture/CaptureOptions.h"

namespace tapwise::bench {

struct CaptureFigures {
  bool Ran = false;
  uint64_t Sent = 0, Received = 0, Lost = 0, Reordered = 0, Corrupted = 0, Repeated = 0;
  uint64_t Packets = 0, FullPackets = 0, BlockedWrites = 0;
  double CpuSeconds = 0;
  double FeedRate = 0;  // bytes/s per port, as achieved
  std::string Exit;
  std::vector<std::string> Notes;
};

// 0 when every byte came out once and in order, 1 when tapwise lost,
// reordered, corrupted or added bytes or printed lines that do not parse,
// 2 when the run could not be set up (the reason in `problems`).
int RunThroughput(const CaptureOptions& options, CaptureFigures& tapwise, CaptureFigures& reference,
                  std::vector<std::string>& problems);

}  // namespace tapwise::bench
