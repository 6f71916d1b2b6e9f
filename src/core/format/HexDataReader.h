#pragma once
// Reads a hand-made hex data file: lines of hex numbers (0..FF, one or more
// digits each) separated by spaces, tabs or commas. One call gathers the
// values of consecutive lines into one packet, up to 4096 bytes; a line that
// is not such a list (a line of text, a value above FF) ends the packet and
// is not sent. So a file normally plays as one packet per 4096 bytes, and
// text lines separate packets. A line longer than MaxLineLength is no list
// either; and a call that has taken PacketScanLimit bytes ends its packet,
// so that a run of empty lines cannot hold up a step.
//
// Values of a line that do not fit into the packet are kept and start the
// next one, and a last line without a line end is played too: nothing a
// file holds is dropped.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/format/PlayPacket.h"
#include "core/format/RecordFile.h"

namespace tapwise {

class HexDataReader {
 public:
  void Reset();
  void Read(RecordFile& file, PlayPacket& packet);
  // Values read but not yet played.
  bool HasPending() const { return m_carryAt < m_carry.size(); }

 private:
  std::string m_line;
  std::vector<uint8_t> m_carry;
  size_t m_carryAt = 0;
};

}  // namespace tapwise
