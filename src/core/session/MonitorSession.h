#pragma once
// One running monitor: the port map and the ports, the capture queue, the
// display drain, the recorder and its playback thread, the user packets and
// triggers with their calculated-byte state, the project, the play settings
// and the messages for the user. The window and the headless program each
// make one and present it; neither repeats the start-up or shutdown order.
//
//   Start(options)  start-up: the port map, defaults, the project files, the
//                   probe of COM1..COM128, the selected port, the recorder as
//                   the options ask, the packets to send, the playback thread
//   Tick()          one 50 ms timer pass: drains the queue once into the
//                   packet sinks (core/format/PacketSink.h) and collects what
//                   the user must be told, ports that came and went included
//   Shutdown()      (also the destructor) closes the record file, stops the
//                   playback thread, then the receive threads, and closes the
//                   ports: nothing is freed while another thread can reach it
//
// Edits of the project's data go through the Set…/Edit… methods, which mark
// the project changed, rebuild the triggers where the texts changed, and
// tell every SessionListener; the front ends only call them.
//
// Everything here runs on the owner's thread except what the receive and
// playback threads do inside the objects they were given.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/capture/TapLink.h"
#include "core/config/ProjectState.h"
#include "core/display/DisplayDrain.h"
#include "core/display/PacketHistory.h"
#include "core/platform/LatencyTimer.h"
#include "core/platform/PortMap.h"
#include "core/recorder/LiveFeed.h"
#include "core/recorder/PlaySettings.h"
#include "core/recorder/Recorder.h"
#include "core/recorder/Recording.h"
#include "core/session/MonitorOptions.h"
#include "core/session/PacketFanOut.h"
#include "core/session/SessionListener.h"
#include "core/stats/PortStatistics.h"
#include "core/userpackets/CalcState.h"
#include "core/userpackets/HighlightRules.h"
#include "core/userpackets/UserPackets.h"
#include "core/util/Result.h"
#include "core/util/UserMessages.h"
#include "core/util/WakeSignal.h"

namespace tapwise {

class TTxThread;

// What one timer pass found for the user.
struct TickEvents {
  // A write to a recording failed; that recording has been closed.
  std::optional<RecordingFailure> RecordingFailed;
  // What rotation did that stopped nothing (files removed from a full
  // disk), plain text.
  std::vector<std::string> RecordingNotices;
  // A packet data file was not in the layout; playing has been stopped.
  bool PlayFileError = false;
  // The file that was playing has ended and playing has been stopped.
  bool PlaybackFinished = false;
  // A tap's device took new line settings from its application: the
  // settings shown for its ports are out of date.
  bool SettingsFollowed = false;
  // What the user packets, the triggers and the project reader posted, in
  // message markup.
  std::vector<std::string> Messages;
  // Ports whose device went or came back, and ports that appeared.
  std::vector<PortEvent> PortChanges;
};

// What start-up found that is worth telling but stops nothing.
struct StartReport {
  std::vector<std::string> ProjectsRead;     // each project file read, as named
  std::vector<std::string> ProjectsMissing;  // each project file looked for and not found
  // Each port mapped by an option that could not be used, and each probed
  // port that exists but was refused (busy, not permitted), with the reason.
  std::vector<std::string> UnusablePorts;
  // The application's side of each tap, "COMB /dev/pts/N (tap of COMA …)".
  std::vector<std::string> Taps;
  // Start failed because no port opened: its message is the whole report,
  // headed "No COM Ports are Available", not an error of the program's.
  bool NoPortsOpened = false;
  // The live feed's socket, or why there is none (the monitor runs on
  // without it); both empty when it was turned off.
  std::string LiveFeedPath;
  std::string LiveFeedProblem;
  // What -lowlatency: did, a start line per port: "COM33 /dev/ttyUSB0:
  // latency timer 1 ms (was 16 ms)"; and where it could not, why, headed by
  // the option ("-lowlatency:1: COM1 /dev/ttyS0 has no latency timer …").
  std::vector<std::string> LatencyTimers;
  std::vector<std::string> LatencyProblems;

  // What the user should read of start-up's problems that stopped nothing,
  // on one line: missing projects, unusable ports, latency timers not set.
  std::string ProblemLine() const;
  // The taps' lines on one line, for the status bar.
  std::string TapLine() const;
};

class MonitorSession {
 public:
  // Ports come from a port map of the session's own, which Start fills
  // from the options.
  MonitorSession();
  // Ports come from the given opener (tests); port map options are refused.
  explicit MonitorSession(DeviceOpener& opener);
  ~MonitorSession();
  MonitorSession(const MonitorSession&) = delete;
  MonitorSession& operator=(const MonitorSession&) = delete;

  // The start-up order. Fails with the message for the user and the exit
  // status: 2 for a bad option, 1 when no port opened (the message is the
  // "No COM Ports are Available" report in markup) or a file to record or
  // play cannot be used. Runs once.
  [[nodiscard]] Result Start(const MonitorOptions& options);
  const StartReport& Report() const { return m_report; }
  bool Started() const { return m_started; }

  TickEvents Tick();

  // --- Idle ---
  // The monitor sleeps when a second of passes (QuietTicks) found nothing
  // to do: no packet, message or event, nothing playing, no live client.
  // The front end then runs its pass once a second (the clock, a rotation
  // due by time, a recording folder that went) and, between passes, sleeps
  // in poll on WakeHandle, which polls readable when a packet is queued, a
  // message is posted or a port comes or goes: it then runs a pass at once
  // and goes on every 50 ms. A user action wakes it too (WakeUp).
  static constexpr int TickMs = 50;
  static constexpr int SleepingTickMs = 1000;
  static constexpr unsigned QuietTicks = 20;
  bool Asleep() const { return m_quietTicks >= QuietTicks; }
  // How long until the next pass is due.
  int NextTickMs() const { return Asleep() ? SleepingTickMs : TickMs; }
  // Also readable when a client comes to the live feed (a capture
  // interface asking for the ports must have its answer within a tick). The
  // same descriptor from construction on; -1 when the system gave neither
  // eventfd nor epoll: then only the timer runs passes.
  int WakeHandle() const { return m_wakeSet >= 0 ? m_wakeSet : m_wake.Handle(); }
  // How many times something posted to WakeHandle, for tests.
  uint64_t WakeCount() const { return m_wake.Notified(); }
  void WakeUp() { m_quietTicks = 0; }
  // Someone shows the selected port's modem lines (the window's tab): the
  // playback thread reads them every 250 ms while the port can tell them.
  void WatchModemLines(bool watch);
  // How many passes the playback thread has made, for tests of its sleep.
  uint64_t PlaybackPasses() const;

  // Idempotent; the session cannot be started again.
  void Shutdown();

  // Reads a project file (see ProjectState::ReadProject) into the running
  // monitor: ports, options, user packets, then the triggers are rebuilt
  // whatever was read. A file that exists and cannot be read is posted as a
  // message as well as returned. A change of display mode clears the display.
  [[nodiscard]] ProjectRead ReadProject(const std::string& chosen);
  // Saves the project to the file chosen (see ProjectState::WriteProject);
  // a failure carries the markup message.
  [[nodiscard]] Result WriteProject(const std::string& chosen);

  TWComms& Comms() { return m_comms; }
  const TWComms& Comms() const { return m_comms; }
  const DeviceOpener& Opener() const { return m_opener; }
  // The device of port n as the user should see it, with the name they gave
  // the port: "/dev/ttyUSB0 \"Meter\"" (start lines, the pcapng interface).
  std::string PortDescription(uint8_t n) const;
  // The COM numbers of the present ports, in ascending order.
  std::vector<uint8_t> PresentPorts() const { return m_comms.PresentPorts(); }
  // The display lines (the first packet sink).
  DisplayDrain& Drain() { return m_drain; }
  // The display's history: a sink only where a window adds it (AddSink),
  // so that the headless monitor keeps none.
  PacketHistory& History() { return m_history; }
  Recorder& GetRecorder() { return m_recorder; }
  // The recording the options started beside a file that plays (headless
  // only, see MonitorOptions::RecordBesidePlay); closed otherwise.
  const Recording& SideRecording() const { return m_sideRecording; }
  // The live feed (a packet sink of its own), or null when it is off or
  // could not be opened.
  const LiveFeed* Live() const { return m_live.get(); }
  // The file the command line's recording writes now (with rotation a
  // stamped name), whichever of the two holds it; "" when none does.
  const std::string& RecordingPath() const {
    return m_sideRecording.Open() ? m_sideRecording.Path() : m_recorder.RecordingPath();
  }
  UserPackets& GetUserPackets() { return m_userPackets; }
  ProjectState& Project() { return m_project; }
  UserMessages& Messages() { return m_messages; }
  CalcState& Calc() { return m_calc; }

  // --- Packet sinks ---
  // Every tick hands each counted packet to the statistics, the display, the
  // recorder, the side recording, then the sinks added here, in the order
  // they were added. A sink is removed before it goes.
  void AddSink(PacketSink& sink) { m_fanOut.AddSink(sink); }
  void RemoveSink(PacketSink& sink) { m_fanOut.RemoveSink(sink); }
  uint16_t PacketCounter() const { return m_fanOut.PacketCounter(); }

  // --- Statistics per port (a sink of the session's own, the first) ---
  // Port n's figures as of now, its load at its line settings.
  PortFigures PortFiguresNow(uint8_t n);
  void ResetStatistics() { m_stats.Reset(); }

  // --- Edits (each marks the project changed and tells the listeners) ---
  void AddListener(SessionListener& listener);
  void RemoveListener(SessionListener& listener);
  // The port's line settings, applied to the open port at once.
  void SetPortSettings(uint8_t port, const PortSettings& settings);
  // The quiet gap that ends a packet, in milliseconds.
  void SetPacketGap(uint16_t milliseconds);
  // The display mode (hex lines when set, else running text). A new mode
  // starts the display afresh, an unfinished text line reported first; the
  // same mode again changes nothing. True when the mode changed.
  bool SetDisplayMode(bool hex);
  bool HexDisplay() const { return m_drain.HexDisplay(); }
  // The highlight rules (by place, 1..8), which mark the matching packets'
  // lines in the display: the held lines at once, then every packet added.
  void SetHighlightRules(const HighlightRuleSet& rules);
  const HighlightRules& Highlights() const { return m_highlights; }
  // Runs edit on the user packet table (none: the table was edited in
  // place already, as the window's grid does), then rebuilds the triggers;
  // what the rebuild finds wrong is posted to Messages().
  void EditUserPackets(const std::function<void(UserPacketTable&)>& edit = {});
  const PlaySettings& GetPlaySettings() const { return m_playSettings; }
  // The play settings in force, for the next play step; the same settings
  // again change nothing.
  void SetPlaySettings(const PlaySettings& settings);
  // How recordings move on to new files (none: one file): the project's,
  // or the command line's -rotate: over it. A change applies from the next
  // recording on; the one running keeps the files it was started with.
  const RotationSettings& RecordRotation() const { return m_rotation; }
  void SetRecordRotation(const RotationSettings& rotation);
  // The project's changes are let go unsaved (the user declined to save and
  // then cancelled opening another): it counts as unchanged, and the
  // triggers follow the texts as they are.
  void DiscardProjectChanges();

  // COM number of the selected port (the window's selected tab); read by
  // the receive and playback threads.
  std::atomic<uint8_t> SelectedPort{0};
  // Modem bits of the selected port (bit 0 CTS, 1 DSR, 2 CD), read by the
  // playback thread every 250 ms while watched (WatchModemLines); 8 = not
  // known yet.
  std::atomic<uint8_t> ModemStatus{8};

 private:
  void ApplyDefaults();
  [[nodiscard]] Result ApplyPortOptions(const MonitorOptions& options);
  // The command line's names and line settings, over the project's.
  void ApplyNamesAndLines(const MonitorOptions& options);
  // Once the ports are open: a rate or frame of a -line: option that a
  // device refused fails the start.
  [[nodiscard]] Result CheckLineOptions(const MonitorOptions& options);
  uint8_t FirstSelectedPort(const MonitorOptions& options, Result& problem) const;
  [[nodiscard]] Result StartRecorder(const MonitorOptions& options);
  // Start-up and project reads set these without counting as an edit.
  void ApplyPlaySettings(const PlaySettings& settings);
  void Edited(SessionChange change);
  void Notify(SessionChange change);
  void AddOwnSinks();
  // Before the ports open, once their settings are known.
  void StartTaps();
  void StartLiveFeed(const MonitorOptions& options);
  // -lowlatency: before the ports open; again for a port plugged in.
  void SetLatencyTimers(const MonitorOptions& options, const PortSet& skipped);
  void FollowLatencyTimers(const std::vector<PortEvent>& changes);

  // First, so that it outlives everything that posts to it.
  WakeSignal m_wake;
  int m_wakeSet = -1;  // epoll over m_wake and the live feed's listening socket
  std::unique_ptr<PortMap> m_ownMap;  // null when an opener was given
  DeviceOpener& m_opener;
  TWComms m_comms;
  UserMessages m_messages;
  CalcState m_calc;
  UserPackets m_userPackets;
  DisplayDrain m_drain;
  HighlightRules m_highlights;
  PacketHistory m_history{m_drain};
  Recorder m_recorder;
  Recording m_sideRecording;
  std::unique_ptr<LiveFeed> m_live;
  PortStatistics m_stats;
  PacketFanOut m_fanOut;
  std::vector<SessionListener*> m_listeners;
  ProjectState m_project;
  PlaySettings m_playSettings;
  RotationSettings m_rotation;
  std::unique_ptr<TTxThread> m_player;
  // Made before the ports open, stopped before they close, freed after.
  std::vector<std::unique_ptr<TapLink>> m_taps;
  uint32_t m_followsSeen = 0;
  std::unique_ptr<LatencyTimer> m_latency;  // with -lowlatency: only
  PortSet m_lowLatency;
  unsigned m_quietTicks = 0;
  std::atomic<uint8_t> m_watchModemLines{0};
  StartReport m_report;
  bool m_started = false;
  bool m_shutDown = false;
};

}  // namespace tapwise
