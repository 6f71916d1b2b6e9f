#pragma once
// The table capture_bench prints at the end, with the targets beside it.

#include <string>
#include <vector>

#include "capture/CaptureOptions.h"
#include "capture/IdleRun.h"
#include "capture/ThroughputRun.h"

namespace tapwise::bench {

void Report(const CaptureOptions& options, const CaptureFigures& tapwise, const CaptureFigures& reference,
            const IdleFigures& idle, const std::vector<std::string>& problems);

}  // namespace tapwise::bench
