#include "platform/WriteSignals.h"

#include <signal.h>

namespace tapwise {

void IgnoreWriteSignals() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  sigaction(SIGXFSZ, &ignore, nullptr);
}

}  // namespace tapwise
