#pragma once
// One counted packet as the packet sinks see it: the record, the number the
// packet counter gave it, and its 80-column hex lines, formatted the first
// time a sink asks for them and then shared by every other sink of the same
// packet. The display and a packet data recording both want the lines; the
// packet is formatted once however many sinks read them, and not at all when
// none does (a raw or pcapng recording of a frozen display).
//
// A view lives for one packet on the tick's thread; the lines are kept in a
// buffer of the caller's that the next packet reuses, so a sink copies what
// it keeps.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/capture/PacketRecord.h"

namespace tapwise {

class PacketView {
 public:
  // `lines` is the caller's reusable buffer; it must outlive the view.
  PacketView(const PacketRecord& record, uint16_t sequence, std::vector<std::string>& lines)
      : m_record(record), m_sequence(sequence), m_lines(lines) {}
  PacketView(const PacketView&) = delete;
  PacketView& operator=(const PacketView&) = delete;

  const PacketRecord& Record() const { return m_record; }
  // The packet counter once this packet was counted (wraps from 65535 to 0).
  uint16_t Sequence() const { return m_sequence; }
  // The packet's hex lines, one per 16 bytes (at least one), exactly as
  // FormatHexLine makes them.
  std::span<const std::string> HexLines() const;

 private:
  const PacketRecord& m_record;
  uint16_t m_sequence;
  std::vector<std::string>& m_lines;
  mutable int m_formatted = -1;  // lines formatted, or -1 before the first ask
};

}  // namespace tapwise
