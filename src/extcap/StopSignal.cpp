#include "extcap/StopSignal.h"

#include <ctime>

namespace tapwise {

bool StopSignalPending(const sigset_t& stopSignals) {
  const timespec now{0, 0};
  return sigtimedwait(&stopSignals, nullptr, &now) > 0;
}

}  // namespace tapwise
