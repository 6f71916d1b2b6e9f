#include "core/display/DisplayDrain.h"

#include <algorithm>

#include "core/format/HexLines.h"
#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {
constexpr uint8_t CR = 13;
constexpr uint8_t LF = 10;
}  // namespace

void DisplayDrain::Take(const PacketView& packet) {
  m_packetCounter = packet.Sequence();
  if (m_frozen) return;
  if (m_hexDisplay) {
    AddHexLines(packet);
  } else {
    AddAsciiText(packet);
  }
}

uint8_t DisplayDrain::MarkOf(const PacketRecord& record) const {
  if (!m_marker || !m_marker->Any()) return 0;
  return m_marker->MarkOf(record.Data, record.Length <= PacketCapacity ? record.Length : PacketCapacity);
}

void DisplayDrain::AddHexLines(const PacketView& packet) {
  const PacketRecord& record = packet.Record();
  const uint8_t mark = MarkOf(record);
  for (const std::string& text : packet.HexLines()) {
    DisplayLine& line = StartLine();
    // Into the slot's own storage: a ring that has gone round allocates
    // nothing for its lines.
    line.Text.assign(text);
    line.Port = record.Port;
    line.Origin = record.Origin;
    line.Error = record.Error;
    line.Mark = mark;
    line.Time = record.Time;
    if (m_listener) m_listener->LineFinished(line);
  }
  PacketShown();
}

void DisplayDrain::AddAsciiText(const PacketView& packet) {
  const PacketRecord& record = packet.Record();
  const uint16_t length = record.Length <= PacketCapacity ? record.Length : PacketCapacity;
  const uint8_t mark = MarkOf(record);
  for (uint16_t i = 0; i < length; ++i) {
    const uint8_t byte = record.Data[i];
    if (m_buffer.LineCount() == 0) {
      StartLine();
      m_openLine = true;
    }
    // A line that was reported finished (or is a hex line) takes no more text.
    if (byte == CR || !m_openLine || m_buffer.CurrentLine().Text.size() >= HexLineWidth) {
      StartLine();
      m_openLine = true;
    }
    if (byte == CR || byte == LF) continue;
    DisplayLine& line = m_buffer.CurrentLine();
    line.Text += ShownCharacter(byte);
    line.Port = record.Port;
    line.Sequence = m_packetCounter;
    // A line of running text is marked when any packet it shows matched.
    if (mark != 0) line.Mark = mark;
  }
  PacketShown();
}

void DisplayDrain::Remark() {
  if (!m_hexDisplay) return;
  // Columns 14 to 63 of a hex line hold the bytes in hex; the characters
  // after them cannot be read back (the middle dot stands for many bytes).
  constexpr size_t HexStart = 13;
  constexpr size_t HexEnd = 63;
  const int count = m_buffer.LineCount();
  for (int first = 0; first < count;) {
    const uint16_t sequence = m_buffer.Line(first).Sequence;
    int end = first;
    m_remarkBytes.clear();
    for (; end < count && m_buffer.Line(end).Sequence == sequence; ++end) {
      const std::string& text = m_buffer.Line(end).Text;
      for (size_t at = HexStart; at + 1 < std::min(text.size(), HexEnd); ++at) {
        const int high = HexDigitValue(text[at]);
        const int low = HexDigitValue(text[at + 1]);
        if (high < 0 || low < 0) continue;
        m_remarkBytes.push_back(static_cast<uint8_t>(high * 16 + low));
        ++at;
      }
    }
    const uint8_t mark = m_marker && m_marker->Any() ? m_marker->MarkOf(m_remarkBytes.data(), m_remarkBytes.size()) : 0;
    for (int index = first; index < end; ++index) m_buffer.SetMark(index, mark);
    first = end;
  }
}

bool DisplayDrain::SwitchMode(bool hex) {
  if (hex == m_hexDisplay) return false;
  FinishOpenLine();
  m_hexDisplay = hex;
  Clear();
  return true;
}

void DisplayDrain::Clear() {
  m_buffer.Clear();
  m_openLine = false;
  ++m_clearCount;
}

void DisplayDrain::FinishOpenLine() {
  if (!m_openLine) return;
  m_openLine = false;
  if (m_listener && m_buffer.LineCount() > 0) m_listener->LineFinished(m_buffer.CurrentLine());
}

DisplayLine& DisplayDrain::StartLine() {
  FinishOpenLine();
  return m_buffer.NewDisplayLine(m_packetCounter);
}

void DisplayDrain::PacketShown() {
  if (m_listener) m_listener->PacketShown();
}

}  // namespace tapwise
