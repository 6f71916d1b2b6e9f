#include "core/display/DisplayRows.h"

#include <algorithm>

#include "core/display/DisplayDrain.h"
#include "core/display/PacketHistory.h"
#include "core/format/HexLines.h"

namespace tapwise {

void DisplayRows::SetHistory(PacketHistory* history) {
  m_history = history;
  Refresh();
}

void DisplayRows::SetMaxRows(int rows) {
  m_maxRows = std::max(rows, DisplayBuffer::MaxLines);
  Refresh();
}

int DisplayRows::RingCount() const { return m_drain.Buffer().LineCount(); }

void DisplayRows::Refresh() {
  m_older = 0;
  m_aligned = false;
  m_lineRow = -1;
  if (!m_history || !m_drain.HexDisplay()) return;
  m_history->FollowDisplay();
  const DisplayBuffer& ring = m_drain.Buffer();
  const uint64_t lines = m_history->LineCount();
  const int ringCount = ring.LineCount();
  if (static_cast<uint64_t>(ringCount) > lines) return;
  // Both end with the last packet shown, unless something put lines in the
  // ring that the history never saw: then the ring is shown alone.
  if (ringCount > 0 && ring.Line(ringCount - 1).Sequence != m_history->At(m_history->Count() - 1).Sequence) return;
  m_aligned = true;
  const uint64_t above = lines - static_cast<uint64_t>(ringCount);
  m_older = static_cast<int>(std::min<uint64_t>(above, static_cast<uint64_t>(m_maxRows - ringCount)));
  m_firstLine = m_history->FrontLine() + (above - static_cast<uint64_t>(m_older));
  m_recordNumber = UINT64_MAX;
}

const DisplayLine& DisplayRows::Row(int row) const {
  if (row >= m_older || row < 0) return m_drain.Buffer().Line(row - m_older);
  if (row == m_lineRow) return m_line;
  // A history that lost lines since the last Refresh has nothing to show
  // for them (the subtraction then wraps to a line that is not held).
  const uint64_t line = m_firstLine + static_cast<uint64_t>(row) - m_history->FrontLine();
  const size_t index = m_history->PacketAtLine(line);
  if (index >= m_history->Count()) return m_drain.Buffer().Line(-1);
  const HistoryPacket& packet = m_history->At(index);
  if (packet.Number != m_recordNumber) {
    m_history->CopyTo(packet, m_record);
    m_recordNumber = packet.Number;
  }
  m_line.Sequence = packet.Sequence;
  m_line.Port = packet.Port;
  m_line.Origin = packet.Origin;
  m_line.Error = packet.Error;
  m_line.Time = packet.Time;
  FormatHexLine(m_record, static_cast<int>(line + m_history->FrontLine() - packet.FirstLine), m_line.Text);
  m_lineRow = row;
  return m_line;
}

int DisplayRows::RowOfLine(uint64_t line) const {
  if (!m_aligned || line < m_firstLine) return -1;
  const uint64_t row = line - m_firstLine;
  return row < static_cast<uint64_t>(Count()) ? static_cast<int>(row) : -1;
}

LineRange DisplayRows::PacketRowsAt(int row) const {
  return PacketRunAt(row, Count(), [this](int i) { return Row(i).Sequence; });
}

std::string DisplayRows::PacketText(LineRange rows, bool hexMode) const {
  std::string text;
  for (int i = rows.First; i < rows.First + rows.Count; ++i) DisplayBuffer::AppendClipboardLine(Row(i).Text, hexMode, text);
  return text;
}

}  // namespace tapwise
