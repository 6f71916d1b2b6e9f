#include "core/format/PacketView.h"

#include "core/format/HexLines.h"

namespace tapwise {

std::span<const std::string> PacketView::HexLines() const {
  if (m_formatted < 0) {
    m_formatted = HexLineCount(m_record);
    // Never shrunk: strings beyond this packet's lines keep their storage
    // for a longer packet later.
    if (m_lines.size() < static_cast<size_t>(m_formatted)) m_lines.resize(static_cast<size_t>(m_formatted));
    for (int i = 0; i < m_formatted; ++i) FormatHexLine(m_record, i, m_lines[static_cast<size_t>(i)]);
  }
  return {m_lines.data(), static_cast<size_t>(m_formatted)};
}

}  // namespace tapwise
