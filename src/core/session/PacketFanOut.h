#pragma once
// The one pass from the capture queue to the packet sinks (see
// core/format/PacketSink.h for what a sink may and may not do). It takes
// every record out of the queue in order and frees each before taking the
// next; a record of a port that is not enabled (or not present) is freed
// untouched. Every other record adds one to the packet counter and goes, as
// one PacketView, to each sink in the order they were added.
//
// Owned by the session; tests and benchmarks make their own over a port
// manager. Tick thread only; the capture queue is the one object it shares
// with other threads.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/capture/PacketRecord.h"
#include "core/format/PacketSink.h"

namespace tapwise {

class TWComms;

class PacketFanOut {
 public:
  explicit PacketFanOut(TWComms& comms) : m_comms(comms) {}
  PacketFanOut(const PacketFanOut&) = delete;
  PacketFanOut& operator=(const PacketFanOut&) = delete;

  // After the sinks added before it; a sink added twice is taken once.
  void AddSink(PacketSink& sink);
  void RemoveSink(PacketSink& sink);

  // Takes every queued record, oldest first, until the queue is empty;
  // returns how many were taken (passed on or not).
  size_t DrainQueue();
  // One record, as DrainQueue passes each on: filtered, counted, handed out.
  void Deliver(const PacketRecord& record);

  // Wraps from 65535 to 0; never reset.
  uint16_t PacketCounter() const { return m_packetCounter; }

 private:
  TWComms& m_comms;
  std::vector<PacketSink*> m_sinks;
  uint16_t m_packetCounter = 0;
  // The hex lines of the packet being handed out, reused packet to packet.
  std::vector<std::string> m_lines;
};

}  // namespace tapwise
