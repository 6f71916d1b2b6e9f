#include "capture/CaptureOptions.h"

#include <cstdio>
#include <cstdlib>

namespace tapwise::bench {

namespace {

const char* const UsageText =
    "Usage: capture_bench [--seconds N] [--idle-seconds N] [--seed N] [--program PATH]\n"
    "                     [--no-reference] [--no-idle] [--no-throughput]\n"
    "  --seconds N       feed the 16 ports for N seconds (default 30)\n"
    "  --idle-seconds N  measure 128 idle ports over N seconds (default 10)\n"
    "  --seed N          seed of the traffic (default 20240611)\n"
    "  --program PATH    the tapwise binary (default: the one built with this bench)\n"
    "  --no-reference    do not run jpnevulator beside tapwise\n";

}  // namespace

bool ParseOptions(int argc, char** argv, CaptureOptions& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    double number = 0;
    auto value = [&](double low, double high) {
      if (i + 1 >= argc) return false;
      char* end = nullptr;
      number = std::strtod(argv[++i], &end);
      return end != argv[i] && *end == '\0' && number >= low && number <= high;
    };
    if (arg == "--seconds" && value(0.5, 86400)) {
      options.FeedSeconds = number;
    } else if (arg == "--idle-seconds" && value(0.5, 86400)) {
      options.IdleSeconds = number;
    } else if (arg == "--seed" && value(0, 1e15)) {
      options.Seed = static_cast<uint64_t>(number);
    } else if (arg == "--program" && i + 1 < argc) {
      options.Program = argv[++i];
    } else if (arg == "--no-reference" || arg == "--no-idle" || arg == "--no-throughput") {
      (arg == "--no-reference" ? options.Reference : arg == "--no-idle" ? options.Idle : options.Throughput) =
          false;
    } else {
      std::fprintf(stderr, "capture_bench: bad option or value: %s\n%s", arg.c_str(), UsageText);
      return false;
    }
  }
  return true;
}

}  // namespace tapwise::bench
