#pragma once
// Ports that are pseudo-terminals the test holds the far end of, opened by
// the real POSIX backend through a FakeOpener: give the opener to the
// session, then AddPort for each COM number before the session starts.
// Declared before the session, so that the far ends outlive it.

#include <cstdint>
#include <memory>
#include <vector>

#include "support/FakeOpener.h"
#include "support/Pty.h"

namespace tapwise {

struct PtyPorts {
  std::vector<std::unique_ptr<Pty>> ptys;
  FakeOpener opener;

  // COM n opens the slave of a new pseudo-terminal, whose master is returned.
  Pty& AddPort(uint8_t n);
};

}  // namespace tapwise
