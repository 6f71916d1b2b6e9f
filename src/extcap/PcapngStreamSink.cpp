#include "extcap/PcapngStreamSink.h"

#include <utility>

namespace tapwise {

PcapngStreamSink::PcapngStreamSink(FifoOutput& out, uint16_t linkType, PcapngWriter::PortDescriber describe)
    : m_out(out), m_writer(linkType, std::move(describe)) {}

void PcapngStreamSink::Begin(const std::vector<uint8_t>& ports) {
  m_block.clear();
  m_writer.AppendSectionHeader(m_block);
  for (uint8_t port : ports) m_writer.DeclareInterface(port, m_block);
  m_out.Queue(m_block);
}

void PcapngStreamSink::Take(const PacketView& packet) {
  m_block.clear();
  m_writer.AppendPacket(packet.Record(), m_block);
  m_out.Queue(m_block);
}

}  // namespace tapwise
