#include "support/PtyAdapter.h"

#include <unistd.h>

namespace tapwise {

bool PtyAdapter::Make() {
  if (m_wire) return true;
  auto wire = std::make_unique<Pty>();
  if (!wire->Ok()) return false;
  m_wire = std::move(wire);
  return true;
}

bool PtyAdapter::Plug() {
  if (!Make()) return false;
  return symlink(m_wire->SlavePath().c_str(), m_link.c_str()) == 0;
}

void PtyAdapter::Unplug() {
  unlink(m_link.c_str());
  m_wire.reset();
}

}  // namespace tapwise
