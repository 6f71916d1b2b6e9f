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

void Recording::SetRotation(const RotationSettings& rotation, bool append) {
  m_rotation = rotation;
  m_append = append;
}

Result Recording::Start(const std::string& path, RecorderState format, uint16_t linkType,
                        PcapngWriter::PortDescriber describePort) {
  if (Open() || !IsRecordingState(format)) return Result::Failure("a file is already being recorded or played");
  if (format == RecorderState::RecordPcapng && PipeStream::IsStreamTarget(path)) {
    return StartStream(path, linkType, std::move(describePort));
  }
  RotatingFile::Builder header;
  if (format == RecorderState::RecordPcapng) {
    // Each file is a pcapng file from its first byte: even a recording that
    // never sees a packet opens in an analyser.
    m_pcapng = PcapngWriter(linkType, std::move(describePort));
    header = [this](std::string& out) { m_pcapng.AppendSectionHeader(out); };
  }
  if (Result opened = m_file.Open(path, m_rotation, m_append, std::move(header)); !opened) return opened;
  m_path = m_file.CurrentPath();
  m_failure.reset();
  m_failureReason.clear();
  m_format = format;
  return Result::Success();
}

Result Recording::StartStream(const std::string& path, uint16_t linkType, PcapngWriter::PortDescriber describePort) {
  // A stream cannot be named anew or added to.
  if (m_rotation.Rotates() || m_append) {
    return Result::Failure(std::string(PipeStream::IsStandardOutput(path) ? "standard output" : "a named pipe") +
                           " is a stream, which -rotate: and -append cannot be used with");
  }
  if (Result opened = m_stream.Open(path); !opened) return opened;
  m_pcapng = PcapngWriter(linkType, std::move(describePort));
  m_block.clear();
  m_pcapng.AppendSectionHeader(m_block);
  if (Result written = m_stream.Write(m_block); !written) return written;
  m_path = path;
  m_failure.reset();
  m_failureReason.clear();
  m_format = RecorderState::RecordPcapng;
  return Result::Success();
}

void Recording::Close() {
  m_format = RecorderState::Idle;
  m_file.Close();
  m_stream.Close();
}

void Recording::Take(const PacketView& packet) {
  if (!Open()) return;
  const PacketRecord& record = packet.Record();
  if (m_stream.IsOpen()) {
    // Sent at once, so that the reader sees the packet within the tick.
    m_block.clear();
    m_pcapng.AppendPacket(record, m_block);
    Written(m_stream.Write(m_block));
    return;
  }
  RotatingFile::Builder build;
  if (m_format == RecorderState::RecordPacketData) {
    build = [&packet](std::string& out) { AppendPacketDataLines(packet.HexLines(), out); };
  } else if (m_format == RecorderState::RecordPcapng) {
    build = [this, &record](std::string& out) { m_pcapng.AppendPacket(record, out); };
  } else {
    build = [&record](std::string& out) {
      const size_t count = record.Length <= PacketCapacity ? record.Length : PacketCapacity;
      out.append(reinterpret_cast<const char*>(record.Data), count);
    };
  }
  // Each packet is written whole or not at all, so every format stays
  // readable up to the last packet that fitted.
  Written(m_file.WritePacket(build));
}

void Recording::Poll() {
  if (Open()) Written(m_stream.IsOpen() ? m_stream.Flush() : m_file.Poll());
}

void Recording::Written(const Result& written) {
  if (written) {
    if (m_file.IsOpen()) m_path = m_file.CurrentPath();
    return;
  }
  // A recording that cannot be written must not go on looking as if it
  // were: it ends here, and the front end says so once.
  Close();
  m_failureReason = written.Message();
  std::string sentence = m_failureReason;
  if (!sentence.empty() && sentence[0] >= 'a' && sentence[0] <= 'z') {
    sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
  }
  RecordingFailure failure;
  failure.Text = "Recording stopped: " + m_failureReason;
  failure.Markup = "\\1Error: Recording stopped\\n" + MarkupSafe(sentence);
  m_failure = std::move(failure);
}

std::optional<RecordingFailure> Recording::TakeFailure() { return std::exchange(m_failure, {}); }

}  // namespace tapwise
