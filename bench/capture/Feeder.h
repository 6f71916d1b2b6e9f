#pragma once
// Writes the bursts of the throughput run into the pseudo-terminals' masters.

#include <string>
#include <vector>

#include "capture/Traffic.h"

namespace tapwise::bench {

// For `seconds`, each port's bursts are queued to its target in every group
// (one group per program fed) at the same moment; each target is written as
// its pty takes the bytes (poll, never dropped), so a slow reader holds back
// only its own ptys. Afterwards it goes on until everything queued is
// written. Returns a problem, or "" when all went well.
std::string Feed(const std::vector<std::vector<FeedTarget>*>& groups, double seconds);

}  // namespace tapwise::bench
