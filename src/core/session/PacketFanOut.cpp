#include "core/session/PacketFanOut.h"

#include <algorithm>
#include <memory>

#include "core/capture/TWComms.h"

namespace tapwise {

void PacketFanOut::AddSink(PacketSink& sink) {
  if (std::find(m_sinks.begin(), m_sinks.end(), &sink) == m_sinks.end()) m_sinks.push_back(&sink);
}

void PacketFanOut::RemoveSink(PacketSink& sink) { std::erase(m_sinks, &sink); }

size_t PacketFanOut::DrainQueue() {
  size_t taken = 0;
  // Each record is freed as soon as every sink has had it, before the next
  // is taken, so a long drain never holds more than one of them.
  while (std::unique_ptr<PacketRecord> record = m_comms.Queue().TakeFirst()) {
    ++taken;
    Deliver(*record);
  }
  return taken;
}

void PacketFanOut::Deliver(const PacketRecord& record) {
  if (!m_comms.IsPortEnabled(record.Port)) return;
  ++m_packetCounter;
  const PacketView view(record, m_packetCounter, m_lines);
  for (PacketSink* sink : m_sinks) sink->Take(view);
}

}  // namespace tapwise
