#include "core/display/DisplayDrain.h"

#include "core/format/HexLines.h"

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

void DisplayDrain::AddHexLines(const PacketView& packet) {
  const PacketRecord& record = packet.Record();
  for (const std::string& text : packet.HexLines()) {
    DisplayLine& line = StartLine();
    // Into the slot's own storage: a ring that has gone round allocates
    // nothing for its lines.
    line.Text.assign(text);
    line.Port = record.Port;
    line.Origin = record.Origin;
    line.Error = record.Error;
    line.Time = record.Time;
    if (m_listener) m_listener->LineFinished(line);
  }
  PacketShown();
}

void DisplayDrain::AddAsciiText(const PacketView& packet) {
  const PacketRecord& record = packet.Record();
  const uint16_t length = record.Length <= PacketCapacity ? record.Length : PacketCapacity;
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
  }
  PacketShown();
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
