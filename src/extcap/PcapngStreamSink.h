#pragma once
// A packet sink of the capture's own session: every packet as a pcapng
// block, queued whole on the FIFO. The stream begins with a section header
// and one interface per port open at the start, so the analyser shows the
// ports before their first packets. Runs on the session's tick thread and
// never waits (FifoOutput queues).

#include <cstdint>
#include <vector>

#include "core/format/PacketSink.h"
#include "core/format/PcapngWriter.h"
#include "extcap/FifoOutput.h"

namespace tapwise {

class PcapngStreamSink : public PacketSink {
 public:
  PcapngStreamSink(FifoOutput& out, uint16_t linkType, PcapngWriter::PortDescriber describe);

  // The section header and the interfaces of these ports, ascending.
  void Begin(const std::vector<uint8_t>& ports);
  void Take(const PacketView& packet) override;

 private:
  FifoOutput& m_out;
  PcapngWriter m_writer;
  std::string m_block;  // reused for each packet
};

}  // namespace tapwise
