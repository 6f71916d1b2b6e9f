#include "core/recorder/Recording.h"

#include <utility>

#include "core/format/PacketDataWriter.h"

namespace tapwise {

namespace {

// Markup has no way to show a backslash; a path shows its folders with '/'.
std::string MarkupSafe(std::string text) {
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return text;
}

}  // namespace

Result Recording::Start(const std::string& path, RecorderState format, uint16_t linkType,
                        PcapngWriter::PortDescriber describePort) {
  if (Open() || !IsRecordingState(format)) return Result::Failure("a file is already being recorded or played");
  if (Result opened = m_file.OpenForRecording(path); !opened) return opened;
  if (format == RecorderState::RecordPcapng) {
    // The file is a pcapng file from its first byte: even a recording that
    // never sees a packet opens in an analyser.
    m_pcapng = PcapngWriter(linkType, std::move(describePort));
    m_buffer.clear();
    m_pcapng.AppendSectionHeader(m_buffer);
    if (Result written = m_file.Write(m_buffer.data(), m_buffer.size()); !written) {
      m_file.Close();
      return written;
    }
  }
  m_path = path;
  m_failure.reset();
  m_failureReason.clear();
  m_format = format;
  return Result::Success();
}

void Recording::Close() {
  m_format = RecorderState::Idle;
  m_file.Close();
}

void Recording::Take(const PacketView& packet) {
  if (!Open()) return;
  const PacketRecord& record = packet.Record();
  const uint8_t* bytes = record.Data;
  size_t count = record.Length <= PacketCapacity ? record.Length : PacketCapacity;
  if (m_format == RecorderState::RecordPacketData) {
    m_buffer.clear();
    AppendPacketDataLines(packet.HexLines(), m_buffer);
    bytes = reinterpret_cast<const uint8_t*>(m_buffer.data());
    count = m_buffer.size();
  } else if (m_format == RecorderState::RecordPcapng) {
    m_buffer.clear();
    m_pcapng.AppendPacket(record, m_buffer);
    bytes = reinterpret_cast<const uint8_t*>(m_buffer.data());
    count = m_buffer.size();
  }
  // Each packet is written whole or not at all, so every format stays
  // readable up to the last packet that fitted.
  const Result written = m_file.Write(bytes, count);
  if (written) return;
  // A recording that cannot be written must not go on looking as if it
  // were: it ends here, and the front end says so once.
  Close();
  m_failureReason = written.Message();
  RecordingFailure failure;
  failure.Text = "Recording stopped: cannot write to " + m_path + ": " + m_failureReason;
  failure.Markup = "\\1Error: Recording stopped\\nCannot write to " + MarkupSafe(m_path) + ": " +
                   MarkupSafe(m_failureReason);
  m_failure = std::move(failure);
}

std::optional<RecordingFailure> Recording::TakeFailure() { return std::exchange(m_failure, {}); }

}  // namespace tapwise
