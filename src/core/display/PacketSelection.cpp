#include "core/display/PacketSelection.h"

namespace tapwise {

bool PacketSelection::SelectAt(const DisplayBuffer& buffer, int index, bool hexMode) {
  LineRange lines = buffer.PacketLinesAt(index);
  if (lines.Count == 0) return false;
  m_selectedPacket = buffer.Line(index).Sequence;
  m_selectedPacketText = buffer.PacketText(lines, hexMode);
  return true;
}

bool PacketSelection::SelectAt(const DisplayRows& rows, int row, bool hexMode) {
  const LineRange lines = rows.PacketRowsAt(row);
  if (lines.Count == 0) return false;
  m_selectedPacket = rows.Row(row).Sequence;
  m_selectedPacketText = rows.PacketText(lines, hexMode);
  return true;
}

}  // namespace tapwise
