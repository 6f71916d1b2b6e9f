#pragma once
// A packet sink in front of another that passes on only the packets of the
// ports listed: how -onlyport: narrows what the headless monitor prints
// while capture, counting and recording, which are sinks of their own, see
// every packet. Tick thread only, as every sink.

#include "core/format/PacketSink.h"
#include "core/platform/PortList.h"

namespace tapwise {

class OnlyPortsSink : public PacketSink {
 public:
  // `next` outlives this.
  OnlyPortsSink(PacketSink& next, const PortSet& ports) : m_next(next), m_ports(ports) {}

  void Take(const PacketView& packet) override;

 private:
  PacketSink& m_next;
  PortSet m_ports;
};

}  // namespace tapwise
