#include "app/OnlyPortsSink.h"

#include "core/format/PacketView.h"

namespace tapwise {

void OnlyPortsSink::Take(const PacketView& packet) {
  if (m_ports.test(packet.Record().Port)) m_next.Take(packet);
}

}  // namespace tapwise
