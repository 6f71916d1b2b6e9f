#include "core/display/DisplayBuffer.h"

namespace tapwise {

namespace {
// Columns 14 to 63 of a hex line: the hex digits of its sixteen bytes.
constexpr size_t HexDigitsStart = 13;
constexpr size_t HexDigitsWidth = 50;

uint16_t Advance(uint16_t slot) { return slot + 1 == DisplayBuffer::SlotCount ? 0 : slot + 1; }

std::string_view TrimSpaces(std::string_view s) {
  size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  size_t last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}
}  // namespace

DisplayLine& DisplayBuffer::NewDisplayLine(uint16_t sequence) {
  m_current = m_next;
  m_next = Advance(m_next);
  if (m_next == m_oldest) m_oldest = Advance(m_oldest);
  DisplayLine& line = m_slots[m_current];
  line.Sequence = sequence;
  line.Port = 0;
  line.Origin = OriginReceived;
  line.Error = 0;
  line.Mark = 0;
  line.Time = 0;
  line.Text.clear();
  return line;
}

void DisplayBuffer::Clear() {
  m_oldest = 0;
  m_next = 0;
}

int DisplayBuffer::LineCount() const {
  return m_next >= m_oldest ? m_next - m_oldest : SlotCount - (m_oldest - m_next);
}

uint16_t DisplayBuffer::SlotOf(int index) const {
  int slot = (m_oldest + index) % SlotCount;
  return static_cast<uint16_t>(slot < 0 ? slot + SlotCount : slot);
}

const DisplayLine& DisplayBuffer::Line(int index) const {
  static const DisplayLine empty;
  if (index < 0 || index >= LineCount()) return empty;
  return m_slots[SlotOf(index)];
}

void DisplayBuffer::SetMark(int index, uint8_t mark) {
  if (index >= 0 && index < LineCount()) m_slots[SlotOf(index)].Mark = mark;
}

LineRange DisplayBuffer::PacketLinesAt(int index) const {
  return PacketRunAt(index, LineCount(), [this](int i) { return Line(i).Sequence; });
}

std::string DisplayBuffer::PacketText(LineRange lines, bool hexMode) const {
  std::string text;
  for (int i = lines.First; i < lines.First + lines.Count; ++i) AppendClipboardLine(Line(i).Text, hexMode, text);
  return text;
}

void DisplayBuffer::AppendClipboardLine(const std::string& line, bool hexMode, std::string& text) {
  if (!hexMode) {
    text += line;
  } else if (line.size() > HexDigitsStart) {
    text += TrimSpaces(std::string_view(line).substr(HexDigitsStart, HexDigitsWidth));
  }
  text += "\r\n";
}

}  // namespace tapwise
