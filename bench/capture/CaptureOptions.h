#pragma once
// What a capture_bench run does, from its command line.

#include <cstdint>
#include <string>

#ifndef TAPWISE_PROGRAM
#define TAPWISE_PROGRAM "tapwise"
#endif

namespace tapwise::bench {

constexpr int PortCount = 16;
constexpr int IdlePortCount = 128;
constexpr double PortRate = 92160.0;  // bytes/s: 921,600 baud at 10 bits a byte

struct CaptureOptions {
  double FeedSeconds = 30;
  double IdleSeconds = 10;
  uint64_t Seed = 20240611;
  bool Throughput = true;
  bool Idle = true;
  bool Reference = true;
  std::string Program = TAPWISE_PROGRAM;
};

// False, with the usage on stderr, on an option or value it does not know.
bool ParseOptions(int argc, char** argv, CaptureOptions& options);

}  // namespace tapwise::bench
