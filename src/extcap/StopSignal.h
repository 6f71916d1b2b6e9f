#pragma once
// Whether one of the stop signals (blocked by the caller, see
// core/util/ProcessSetup.h) has come, without waiting for one.

#include <signal.h>

namespace tapwise {

bool StopSignalPending(const sigset_t& stopSignals);

}  // namespace tapwise
