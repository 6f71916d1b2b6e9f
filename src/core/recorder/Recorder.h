#pragma once
// The recorder and player behind the Play, Record, Stop and Pause buttons.
// It owns the file being played with its readers, the file being recorded
// (a Recording), and the state that the session's packet fan-out (it is a
// packet sink) and the playback thread read.
//
// The window drives it from its buttons: StartRecording/StartPlaying with
// the file and filter index its dialogs returned, Stop, PauseClick. A
// recording that does not start is shown as FileNotOpenedText. After
// each it shows StatusText in StatusColour and sets its buttons from
// RecordEnabled/PlayEnabled/StopDown. On its 50 ms timer it mirrors Paused()
// in the Pause button and polls three things that arise elsewhere:
//  - TakeRecordingFailure: a write to the recording failed; the recording
//    has been closed (state Idle) and the message must be shown once;
//  - TakePlayFileError: a packet data file was not in the layout; playing
//    has been stopped and InvalidPacketDataFileText must be shown;
//  - TakeEndOfFileStop: the playback thread reached the end of the file and
//    asks for Stop to be pressed; the caller presses it (which calls Stop).
//    The thread never touches the window; it also calls the end-of-file
//    notifier, which the window may turn into a queued call instead of
//    waiting for the timer.
//
// Threads: the window's thread calls everything except PlayStep, which only
// the playback thread calls. One lock guards the file and the readers, so a
// Stop never closes the file under a step, and a step never runs on a file
// that is not ready; a packet is sent outside the lock, so a slow port never
// holds up the window. A step reads a bounded part of the file whatever the
// file holds (no more than PacketScanLimit plus a line), so Stop, and the
// playback thread's own stop, wait for the lock only as long as one short
// step takes.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/format/HexDataReader.h"
#include "core/format/PacketDataReader.h"
#include "core/format/PacketSink.h"
#include "core/format/PcapngWriter.h"
#include "core/format/PlayPacket.h"
#include "core/format/RecordFile.h"
#include "core/recorder/PlaySettings.h"
#include "core/recorder/RecordFormats.h"
#include "core/recorder/RecorderState.h"
#include "core/recorder/Recording.h"
#include "core/util/Result.h"

namespace tapwise {

// Status colours as 0xRRGGBB (QColor accepts them as a QRgb).
constexpr uint32_t RecordingColour = 0x800000;  // maroon
constexpr uint32_t PlayingColour = 0x008000;    // green
constexpr uint32_t IdleColour = 0x000000;       // black

// Error texts in message markup. The window shows the first for any
// recording that does not start, whatever the reason.
inline constexpr const char* FileNotOpenedText = "\\1Error: File could not be opened";
inline constexpr const char* InvalidPacketDataFileText = "\\1Error: Invalid Packet Data file";

class Recorder : public PacketSink {
 public:
  using PacketSender = std::function<void(const uint8_t* bytes, uint16_t count)>;

  Recorder() = default;
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // --- File names ---
  // The name a recording gets from the chosen name: the extension of the
  // filter's format (".DAT", ".pcapng") replaces its own; a format without
  // one adds ".txt" to a name without one. The filter indices are the
  // dialogs' (see RecordFormats.h).
  static std::string RecordingFileName(const std::string& chosen, int filterIndex);
  static RecorderState RecordingStateFor(int filterIndex);
  static RecorderState PlayingStateFor(int filterIndex);
  // The name without its folder.
  static std::string BaseName(const std::string& path);

  // --- Buttons (window thread) ---
  // A failure of the four starts carries a plain reason, for the caller to
  // put into its own message: the system's ("No such file or directory"),
  // or "a file is already being recorded or played" when the recorder is
  // not Idle or the state asked for is not one of the kind started.
  //
  // From Idle only: applies the name rules, remembers RecordName (the file
  // used) and RecordType, creates the file and starts recording. On failure
  // the state stays Idle.
  [[nodiscard]] Result StartRecording(const std::string& chosen, int filterIndex);
  // Records to exactly this file in the given recording state.
  [[nodiscard]] Result StartRecordingFile(const std::string& path, RecorderState format);
  // From Idle only: remembers RecordName and RecordType, opens the file,
  // resets the readers and the error flag, pauses in one-shot mode and only
  // then enters the playing state.
  //
  // The playing state is entered even when the file does not open: it then
  // plays as an empty file, at its end at once, which is what the Play
  // button does. The failure says why it did not open, and the recorder is
  // playing all the same; a caller that will not play an empty file calls
  // Stop. Only a refusal leaves the state alone, so IsPlayingState(State())
  // tells the two apart.
  [[nodiscard]] Result StartPlaying(const std::string& path, int filterIndex);
  [[nodiscard]] Result StartPlayingFile(const std::string& path, RecorderState format);
  // Closes the file and returns to Idle. Paused is left as it is.
  void Stop();
  // The Pause button was clicked into `down`.
  void PauseClick(bool down);

  RecorderState State() const { return m_state.load(); }
  bool RecordEnabled() const { return !IsPlayingState(State()); }
  bool PlayEnabled() const { return !IsRecordingState(State()); }
  bool StopDown() const { return State() == RecorderState::Idle; }

  const std::string& StatusText() const { return m_statusText; }
  uint32_t StatusColour() const { return m_statusColour; }
  // How far playing has come through the file, 0..100.
  uint8_t Progress() const { return m_file.Progress(); }

  // The last file chosen and the dialog filter it was chosen with; kept in
  // the settings and offered again by both dialogs.
  const std::string& RecordName() const { return m_recordName; }
  void SetRecordName(const std::string& name) { m_recordName = name; }
  int RecordType() const { return m_recordType; }
  void SetRecordType(int type) { m_recordType = type; }

  // For pcapng recordings: the link type of every interface, and the device
  // text each port's interface is described with. Taken when a recording
  // starts.
  void SetLinkType(uint16_t linkType) { m_linkType = linkType; }
  // How the next recording rotates, and whether it adds to the file named
  // instead of truncating it (pcapng: a new section); the clock rotation
  // goes by (tests give their own).
  void SetRotation(const RotationSettings& rotation, bool append) { m_recording.SetRotation(rotation, append); }
  void SetWallClock(RotatingFile::WallClock clock) { m_recording.SetWallClock(std::move(clock)); }
  // The file being written, or the last one: with rotation, the stamped
  // name of the newest file.
  const std::string& RecordingPath() const { return m_recording.Path(); }
  uint16_t LinkType() const { return m_linkType; }
  void SetPortDescriber(PcapngWriter::PortDescriber describe) { m_describePort = std::move(describe); }

  // The play settings in force; the window passes every change on.
  void SetPlaySettings(const PlaySettings& settings);
  PlaySettings GetPlaySettings() const;

  // --- Polled by the window's timer ---
  std::optional<RecordingFailure> TakeRecordingFailure();
  // Starts the next file of a recording that rotates by time, and stops a
  // recording whose file has gone (a failure to take, as for a write).
  void PollRecording();
  // Files removed from a full disk to make room, plain text, once each.
  std::vector<std::string> TakeRecordingNotices() { return m_recording.TakeNotices(); }
  // True once per error; playing has then been stopped.
  bool TakePlayFileError();
  // True once per request of the playback thread to end the file that is
  // playing; the caller then presses Stop. Leaves the state alone.
  bool TakeEndOfFileStop();
  // Called on the playback thread after each end-of-file request.
  void SetEndOfFileNotifier(std::function<void()> notifier);
  // Called on the window's thread whenever the playback thread has
  // something new to look at (a file to play, Pause released, new play
  // settings), so that it can sleep while nothing plays. Set and cleared
  // by the playback thread's owner, on that thread.
  void SetPlayWaker(std::function<void()> waker) { m_playWaker = std::move(waker); }

  // --- Shared flags ---
  bool Paused() const { return m_paused.load() != 0; }
  void SetPaused(bool paused);
  uint32_t NextSendTime() const { return m_nextSendTime.load(); }
  void SetNextSendTime(uint32_t tick) { m_nextSendTime.store(tick); }
  bool PlayFileError() const { return m_playFileError.load() != 0; }

  // --- The packet fan-out (window thread) ---
  // Records the packet unless the recorder is paused or not recording. A
  // write that fails ends the recording (state Idle) and leaves the failure
  // for TakeRecordingFailure.
  void Take(const PacketView& packet) override;
  // Records one packet whatever Pause says, as Take does otherwise.
  void RecordPacket(const PacketRecord& record);

  // --- The playback thread ---
  // Reads one packet for the playing state and sends it when it has bytes;
  // at the end of the file rewinds (Repeat) or asks for Stop. Nothing
  // happens unless a file is playing.
  void PlayStep(const PacketSender& send);

 private:
  void SetStatus(std::string text, uint32_t colour);
  void WakePlayer() const {
    if (m_playWaker) m_playWaker();
  }
  void Record(const PacketView& packet);
  // After a write or a poll of the recording that was at `before`.
  void Followed(const std::string& before);
  // Closes and returns to Idle; the lock is held.
  void CloseLocked();

  mutable std::mutex m_fileMutex;
  RecordFile m_file;               // guarded by m_fileMutex
  PacketDataReader m_packetData;   // guarded by m_fileMutex
  HexDataReader m_hexData;         // guarded by m_fileMutex
  PlayPacket m_playPacket;         // the playback thread's
  Recording m_recording;           // the window thread's
  std::vector<std::string> m_lines;  // RecordPacket's hex lines
  uint16_t m_linkType = LinkTypeUser0;
  PcapngWriter::PortDescriber m_describePort;

  std::atomic<RecorderState> m_state{RecorderState::Idle};
  std::atomic<uint8_t> m_paused{0};
  std::atomic<uint32_t> m_nextSendTime{0};
  std::atomic<uint8_t> m_playFileError{0};
  std::atomic<uint8_t> m_endOfFileStop{0};

  std::atomic<uint8_t> m_oneShot{1};
  std::atomic<uint8_t> m_playGap{10};
  std::atomic<uint8_t> m_repeat{0};
  std::atomic<uint8_t> m_terminatorChar{0};
  std::atomic<uint16_t> m_terminatorCount{1};

  std::mutex m_notifierMutex;
  std::function<void()> m_endOfFileNotifier;  // guarded by m_notifierMutex
  std::function<void()> m_playWaker;          // the window thread's

  std::string m_statusText;
  uint32_t m_statusColour = IdleColour;
  std::string m_recordName;
  int m_recordType = 0;
};

}  // namespace tapwise
