#include "core/recorder/Recorder.h"

#include <utility>

#include "core/format/PacketDataWriter.h"
#include "core/format/RawDataReader.h"
#include "core/util/AnsiStringLib.h"
#include "core/util/Clock.h"

namespace tapwise {

namespace {

size_t NameStart(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? 0 : slash + 1;
}

// The file-name part has a '.' after its first character.
bool HasExtension(const std::string& path) {
  return path.find('.', NameStart(path) + 1) != std::string::npos;
}

Result Refused() { return Result::Failure("a file is already being recorded or played"); }

}  // namespace

std::string Recorder::RecordingFileName(const std::string& chosen, int filterIndex) {
  const RecordFormat& format = DialogRecordFormat(true, filterIndex);
  if (format.Extension) return ReplaceFileExt(chosen, format.Extension);
  return HasExtension(chosen) ? chosen : chosen + ".txt";
}

RecorderState Recorder::RecordingStateFor(int filterIndex) { return DialogRecordFormat(true, filterIndex).State; }

RecorderState Recorder::PlayingStateFor(int filterIndex) { return DialogRecordFormat(false, filterIndex).State; }

std::string Recorder::BaseName(const std::string& path) { return path.substr(NameStart(path)); }

Result Recorder::StartRecording(const std::string& chosen, int filterIndex) {
  if (State() != RecorderState::Idle) return Refused();
  const std::string name = RecordingFileName(chosen, filterIndex);
  m_recordName = name;
  m_recordType = filterIndex;
  return StartRecordingFile(name, RecordingStateFor(filterIndex));
}

Result Recorder::StartRecordingFile(const std::string& path, RecorderState format) {
  if (State() != RecorderState::Idle || !IsRecordingState(format)) return Refused();
  {
    std::lock_guard lock(m_fileMutex);
    if (Result started = m_recording.Start(path, format, m_linkType, m_describePort); !started) return started;
    m_state.store(format);
  }
  SetStatus("Recording " + BaseName(m_recording.Path()), RecordingColour);
  return Result::Success();
}

Result Recorder::StartPlaying(const std::string& path, int filterIndex) {
  if (State() != RecorderState::Idle) return Refused();
  m_recordName = path;
  m_recordType = filterIndex;
  return StartPlayingFile(path, PlayingStateFor(filterIndex));
}

Result Recorder::StartPlayingFile(const std::string& path, RecorderState format) {
  if (State() != RecorderState::Idle || !IsPlayingState(format)) return Refused();
  Result opened = Result::Success();
  {
    std::lock_guard lock(m_fileMutex);
    // A file that does not open plays as an empty one; the failure goes back
    // to the caller all the same.
    opened = m_file.OpenForPlaying(path);
    m_packetData.Reset();
    m_hexData.Reset();
    m_playFileError.store(0);
    m_endOfFileStop.store(0);
    m_nextSendTime.store(TickCount());
    if (m_oneShot.load() != 0) m_paused.store(1);
    // Last, so the playback thread never steps on a file that is not ready.
    m_state.store(format);
  }
  SetStatus("Playing " + BaseName(path), PlayingColour);
  WakePlayer();
  return opened;
}

void Recorder::Stop() {
  {
    std::lock_guard lock(m_fileMutex);
    CloseLocked();
  }
  SetStatus("", IdleColour);
}

void Recorder::CloseLocked() {
  m_state.store(RecorderState::Idle);
  m_file.Close();
  m_recording.Close();
  m_endOfFileStop.store(0);
}

void Recorder::PauseClick(bool down) {
  m_nextSendTime.store(TickCount());
  m_paused.store(down ? 1 : 0);
  if (!down) WakePlayer();
}

void Recorder::SetPaused(bool paused) {
  // The playback thread pauses itself after a one-shot step; only a
  // release is news to it.
  m_paused.store(paused ? 1 : 0);
}

void Recorder::SetStatus(std::string text, uint32_t colour) {
  m_statusText = std::move(text);
  m_statusColour = colour;
}

void Recorder::SetPlaySettings(const PlaySettings& settings) {
  m_oneShot.store(settings.OneShot);
  m_playGap.store(settings.PlayGap);
  m_repeat.store(settings.Repeat);
  m_terminatorChar.store(settings.TerminatorChar);
  m_terminatorCount.store(settings.TerminatorCount);
  WakePlayer();
}

PlaySettings Recorder::GetPlaySettings() const {
  PlaySettings settings;
  settings.OneShot = m_oneShot.load();
  settings.PlayGap = m_playGap.load();
  settings.Repeat = m_repeat.load();
  settings.TerminatorChar = m_terminatorChar.load();
  settings.TerminatorCount = m_terminatorCount.load();
  return settings;
}

std::optional<RecordingFailure> Recorder::TakeRecordingFailure() { return m_recording.TakeFailure(); }

bool Recorder::TakePlayFileError() {
  if (m_playFileError.load() == 0) return false;
  if (IsPlayingState(State())) Stop();
  m_playFileError.store(0);
  return true;
}

bool Recorder::TakeEndOfFileStop() {
  if (m_endOfFileStop.exchange(0) == 0) return false;
  // Stop and a new Play clear the request, so one that is seen here always
  // belongs to the file that is playing now.
  return IsPlayingState(State());
}

void Recorder::SetEndOfFileNotifier(std::function<void()> notifier) {
  std::lock_guard lock(m_notifierMutex);
  m_endOfFileNotifier = std::move(notifier);
}

void Recorder::Take(const PacketView& packet) {
  if (!Paused()) Record(packet);
}

void Recorder::RecordPacket(const PacketRecord& record) { Record(PacketView(record, 0, m_lines)); }

void Recorder::Record(const PacketView& packet) {
  if (!IsRecordingState(State())) return;
  const std::string before = m_recording.Path();
  m_recording.Take(packet);
  Followed(before);
}

void Recorder::PollRecording() {
  if (!IsRecordingState(State())) return;
  const std::string before = m_recording.Path();
  m_recording.Poll();
  Followed(before);
}

void Recorder::Followed(const std::string& before) {
  if (m_recording.Open()) {
    // Rotation moved on to a new file: the status names it.
    if (m_recording.Path() != before) SetStatus("Recording " + BaseName(m_recording.Path()), RecordingColour);
    return;
  }
  // The write failed and the recording has closed itself; the recorder
  // follows it back to Idle and the window says so once.
  {
    std::lock_guard lock(m_fileMutex);
    CloseLocked();
  }
  SetStatus("Recording stopped: " + m_recording.FailureReason(), RecordingColour);
}

void Recorder::PlayStep(const PacketSender& send) {
  bool endOfFile = false;
  {
    std::lock_guard lock(m_fileMutex);
    const RecorderState state = State();
    if (!IsPlayingState(state)) return;
    bool pending = false;
    if (state == RecorderState::PlayPacketData) {
      if (!m_packetData.Read(m_file, m_playPacket)) m_playFileError.store(1);
      pending = m_packetData.HasPendingLine();
    } else if (state == RecorderState::PlayHex) {
      m_hexData.Read(m_file, m_playPacket);
      pending = m_hexData.HasPending();
    } else {
      ReadRawPacket(m_file, m_playPacket, m_terminatorChar.load(), m_terminatorCount.load());
    }
    if (m_file.AtEnd()) {
      if (m_repeat.load() != 0) {
        m_file.Rewind();
      } else if (!pending || PlayFileError()) {
        // Until the request is taken, later steps find the file at its end
        // again; the window hears of it once.
        endOfFile = m_endOfFileStop.exchange(1) == 0;
      }
    }
  }
  // Outside the lock: a port that takes its time must not hold up Stop.
  if (m_playPacket.Length > 0 && send) send(m_playPacket.Data, m_playPacket.Length);
  if (endOfFile) {
    std::lock_guard lock(m_notifierMutex);
    if (m_endOfFileNotifier) m_endOfFileNotifier();
  }
}

}  // namespace tapwise
