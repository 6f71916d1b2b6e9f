#pragma once
// One file being recorded, in one of the recording formats: the file, its
// writer and what went wrong with it. The recorder keeps one for its Record
// button; the session keeps another for a recording the command line asks
// for while a file plays. As a packet sink it writes every packet it is
// handed while it is open; whoever registers it decides about pausing.
//
// A pcapng recording may also go to a stream (PipeStream: standard output
// as "-", or a named pipe), read by an analyser as it is written; each
// packet's blocks are sent as the packet is taken. A stream is not rotated
// or added to.
//
// Tick thread only: nothing here is shared with the playback thread, which
// only ever reads the recorder's own file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/format/PacketSink.h"
#include "core/format/PcapngWriter.h"
#include "core/recorder/PipeStream.h"
#include "core/recorder/RecorderState.h"
#include "core/recorder/RotatingFile.h"
#include "core/recorder/RotationSettings.h"
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

  // How the next Start names and rotates its files, and whether it adds to
  // an existing file (see RotatingFile); the clock is the system's unless a
  // test gives its own.
  void SetRotation(const RotationSettings& rotation, bool append);
  void SetWallClock(RotatingFile::WallClock clock) { m_file.SetClock(std::move(clock)); }

  // Creates (or truncates, or with append adds to) path, or its first
  // stamped file, and writes what the format starts with (a pcapng section
  // header). Fails with the system's plain reason, or when `format` is not a
  // recording state or a file is open already. For pcapng, "-" and a FIFO
  // are streams; rotation or append with one fails, saying so.
  [[nodiscard]] Result Start(const std::string& path, RecorderState format, uint16_t linkType,
                             PcapngWriter::PortDescriber describePort);
  void Close();
  // Idle when closed, else the recording state it was started in.
  RecorderState Format() const { return m_format; }
  bool Open() const { return m_format != RecorderState::Idle; }
  // The file being written, or the last one: with rotation a stamped name;
  // "-" for standard output.
  const std::string& Path() const { return m_path; }

  // Writes the packet whole, or not at all. A write that fails closes the
  // recording and keeps the failure for TakeFailure.
  void Take(const PacketView& packet) override;
  // Starts the next file when its time has come though no packet has, and
  // stops a recording whose file has gone; a failure is kept as Take's is.
  void Poll();
  std::optional<RecordingFailure> TakeFailure();
  // What the last failed write or poll said (the file and the system's
  // reason), until the next Start.
  const std::string& FailureReason() const { return m_failureReason; }
  // Files removed from a full disk to make room: plain text, once each.
  std::vector<std::string> TakeNotices() { return m_file.TakeNotices(); }

 private:
  // After a write or a poll: a failure closes the recording.
  void Written(const Result& written);
  [[nodiscard]] Result StartStream(const std::string& path, uint16_t linkType,
                                   PcapngWriter::PortDescriber describePort);

  RotatingFile m_file;
  // Open instead of m_file when the recording goes to a stream.
  PipeStream m_stream;
  std::string m_block;
  RotationSettings m_rotation;
  bool m_append = false;
  PcapngWriter m_pcapng;
  std::string m_path;
  RecorderState m_format = RecorderState::Idle;
  std::optional<RecordingFailure> m_failure;
  std::string m_failureReason;
};

}  // namespace tapwise
