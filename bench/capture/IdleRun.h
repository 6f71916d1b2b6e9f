#pragma once
// The idle run: tapwise with 128 virtual ports and no traffic, its share of
// one core measured twice: as started, and after each virtual port's other
// end was opened and closed once.

#include <cstddef>
#include <string>
#include <vector>

#include "capture/CaptureOptions.h"

namespace tapwise::bench {

struct IdlePhase {
  std::string Label;
  double CpuSeconds = 0, Seconds = 0;
};

struct IdleFigures {
  size_t Ports = 0;
  int Threads = 0;
  std::vector<IdlePhase> Phases;
};

// 0, or 2 when tapwise could not be started; other troubles go to `problems`.
int RunIdle(const CaptureOptions& options, IdleFigures& idle, std::vector<std::string>& problems);

}  // namespace tapwise::bench
