#pragma once
// The selected packet: the Sequence number a click picked and the text the
// clipboard functions copy. Both outlive Clear and the lines themselves: a
// packet whose lines have left the ring simply shows no frame, and its text
// stays. At start nothing is selected (0, which no line has until the
// counter comes round to it).

#include <cstdint>
#include <string>

#include "core/display/DisplayBuffer.h"
#include "core/display/DisplayRows.h"

namespace tapwise {

class PacketSelection {
 public:
  // A click on held line `index` (y div LineHeight): selects the packet that
  // wrote that line and takes the text of its lines. False, with the
  // selection unchanged, when no line is held at `index`.
  bool SelectAt(const DisplayBuffer& buffer, int index, bool hexMode);
  // The same for row `row` of the rows the display shows, history rows included.
  bool SelectAt(const DisplayRows& rows, int row, bool hexMode);

  uint16_t SelectedPacket() const { return m_selectedPacket; }
  const std::string& SelectedPacketText() const { return m_selectedPacketText; }
  // Whether the line is drawn with the focus frame.
  bool IsSelected(const DisplayLine& line) const { return line.Sequence == m_selectedPacket; }

 private:
  uint16_t m_selectedPacket = 0;
  std::string m_selectedPacketText;
};

}  // namespace tapwise
