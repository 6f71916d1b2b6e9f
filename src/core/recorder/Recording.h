#pragma once
// One file being recorded, in one of the recording formats: the file, its
// writer and what went wrong with it. The recorder keeps one for its Record
// button; the session keeps another for a recording the command line asks
// for while a file plays. As a packet sink it writes every packet it is
// handed while it is open; whoever registers it decides about pausing.
//
// Tick thread only: nothing here is shared with the playback thread, which
// only ever reads the recorder's own file.

#include <cstdint>
#include <optional>
#include <string>

#include "core/format/PacketSink.h"
#include "core/format/PcapngWriter.h"
#include "core/format/RecordFile.h"
#include "core/recorder/RecorderState.h"
#include "core/util/Result.h"

namespace tapwise {

struct RecordingFailure {
  std::string Text;    // plain, for a status bar or standard error
  std::string Markup;  // for the error message box
};

class Recording : public PacketSink {
 public:
  Recording() = default;
  Recording(const Recording&) = delete;
  Recording& operator=(const Recording&) = delete;

  // Creates (or truncates) path and writes what the format starts with (a
  // pcapng section header). Fails with the system's plain reason, or when
  // `format` is not a recording state or a file is open already.
  [[nodiscard]] Result Start(const std::string& path, RecorderState format, uint16_t linkType,
                             PcapngWriter::PortDescriber describePort);
  void Close();
  // Idle when closed, else the recording state it was started in.
  RecorderState Format() const { return m_format; }
  bool Open() const { return m_format != RecorderState::Idle; }
  const std::string& Path() const { return m_path; }

  // Writes the packet whole, or not at all. A write that fails closes the
  // recording and keeps the failure for TakeFailure.
  void Take(const PacketView& packet) override;
  std::optional<RecordingFailure> TakeFailure();
  // The system's reason of the last failed write, until the next Start.
  const std::string& FailureReason() const { return m_failureReason; }

 private:
  RecordFile m_file;
  PcapngWriter m_pcapng;
  std::string m_buffer;
  std::string m_path;
  RecorderState m_format = RecorderState::Idle;
  std::optional<RecordingFailure> m_failure;
  std::string m_failureReason;
};

}  // namespace tapwise
