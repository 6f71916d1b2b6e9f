#pragma once
// A TCP port on 127.0.0.1 that nothing listens on now, for a server the test
// or benchmark starts itself. 0 when none could be had.

#include <cstdint>

namespace tapwise {

uint16_t FreeLoopbackPort();

}  // namespace tapwise
