#include "core/display/DisplayDrain.h"

#include "core/capture/TWComms.h"
#include "core/format/HexLines.h"

namespace tapwise {

namespace {
constexpr uint8_t CR = 13;
constexpr uint8_t LF = 10;
}  // namespace

DisplayDrain::DisplayDrain(TWComms& comms) : m_comms(comms) {}

size_t DisplayDrain::DrainQueue() {
  size_t taken = 0;
  // Each record is freed as soon as it has been shown, before the next is
  // taken, so a long drain never holds more than one of them.
  while (std::unique_ptr<PacketRecord> record = m_comms.Queue().TakeFirst()) {
    ++taken;
    ShowPacket(*record);
  }
  return taken;
}

void DisplayDrain::ShowPacket(const PacketRecord& record) {
  if (!m_comms.IsPortEnabled(record.Port)) return;
  ++m_packetCounter;
  if (!m_frozen) {
    if (m_hexDisplay) {
      AddHexLines(record);
    } else {
      AddAsciiText(record);
    }
  }
  if (m_recording && !m_recording->Paused()) m_recording->RecordPacket(record);
}

void DisplayDrain::AddHexLines(const PacketRecord& record) {
  ForEachHexLine(record, [this, &record](std::string text) {
    DisplayLine& line = StartLine();
    line.Text = std::move(text);
    line.Port = record.Port;
    line.Origin = record.Origin;
    line.Error = record.Error;
    line.Time = record.Time;
    if (m_listener) m_listener->LineFinished(line);
  });
  PacketShown();
}

void DisplayDrain::AddAsciiText(const PacketRecord& record) {
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

void DisplayDrain::Clear() {
  m_buffer.Clear();
  m_openLine = false;
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
