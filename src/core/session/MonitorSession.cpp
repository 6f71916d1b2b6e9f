#include "core/session/MonitorSession.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/recorder/LiveFeedFolder.h"
#include "core/recorder/TxThread.h"
#include "core/session/PortReport.h"
#include "core/session/ProjectApply.h"

namespace tapwise {

namespace {

// Two names of one file, as far as the names tell (the file to record may
// not exist yet): recording it would wipe what is to be played.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const std::filesystem::path first = std::filesystem::weakly_canonical(a, error);
  if (error) return a == b;
  const std::filesystem::path second = std::filesystem::weakly_canonical(b, error);
  return error ? a == b : first == second;
}

}  // namespace

MonitorSession::MonitorSession()
    : m_ownMap(std::make_unique<PortMap>()),
      m_opener(*m_ownMap),
      m_comms(m_opener),
      m_userPackets(m_comms, SelectedPort, m_messages, m_calc),
      m_fanOut(m_comms) {
  AddOwnSinks();
  // Network ports say there when they lose or regain their server.
  m_ownMap->SetMessages(&m_messages);
}

MonitorSession::MonitorSession(DeviceOpener& opener)
    : m_opener(opener), m_comms(m_opener), m_userPackets(m_comms, SelectedPort, m_messages, m_calc), m_fanOut(m_comms) {
  AddOwnSinks();
}

void MonitorSession::AddOwnSinks() {
  m_wakeSet = epoll_create1(EPOLL_CLOEXEC);
  if (m_wakeSet >= 0) {
    epoll_event event{};
    event.events = EPOLLIN;
    if (m_wake.Handle() < 0 || epoll_ctl(m_wakeSet, EPOLL_CTL_ADD, m_wake.Handle(), &event) != 0) {
      close(m_wakeSet);
      m_wakeSet = -1;
    }
  }
  m_comms.SetTriggerStep(&m_userPackets);
  m_drain.SetMarker(&m_highlights);
  m_comms.SetWakeSignal(&m_wake);
  m_messages.SetWakeSignal(&m_wake);
  // First, so that every packet is counted whatever another sink decides.
  m_fanOut.AddSink(m_stats);
  // The display first: what a recording holds never waits on it, but the
  // window's lines are the ones a user compares a recording with.
  m_fanOut.AddSink(m_drain);
  m_fanOut.AddSink(m_recorder);
  m_fanOut.AddSink(m_sideRecording);
}

MonitorSession::~MonitorSession() {
  Shutdown();
  if (m_wakeSet >= 0) close(m_wakeSet);
}

void MonitorSession::ApplyDefaults() {
  for (uint8_t n : AllComNumbers()) m_comms.SetPortSettings(n, PortSettings{});
  m_drain.SetHexDisplay(true);
  ApplyPlaySettings(PlaySettings{});
  m_rotation = RotationSettings{};
  m_userPackets.Table().Clear();
}

Result MonitorSession::ApplyPortOptions(const MonitorOptions& options) {
  if (options.PortOptions.empty()) return Result::Success();
  if (!m_ownMap) return Result::Failure("port options need the session's own port map", 2);
  for (const std::string& option : options.PortOptions) {
    if (Result applied = m_ownMap->ApplyOption(option); !applied) return applied;
  }
  // Only once every option is sound: a refused one leaves the disk as it was.
  return m_ownMap->MakeLinks();
}

Result MonitorSession::Start(const MonitorOptions& options) {
  if (m_started || m_shutDown) return Result::Failure("the monitor has been started already", 2);
  m_started = true;
  if (Result mapped = ApplyPortOptions(options); !mapped) return mapped;

  ApplyDefaults();
  m_comms.NoHandshake.store(options.NoHandshake ? 1 : 0);
  m_userPackets.SetTriggerMode(options.Triggers);
  // Before the ports open, so that they open with the project's settings.
  // The last one read gives the display mode and the play options.
  for (const std::string& file : options.ProjectFiles) {
    // One that cannot be read has posted its message.
    const ProjectRead read = ReadProject(file);
    if (read.Read()) {
      m_report.ProjectsRead.push_back(m_project.ConfigName());
    } else if (read.Missing) {
      m_report.ProjectsMissing.push_back(m_project.ConfigName());
    }
  }
  if (options.ProjectFiles.empty()) (void)m_userPackets.RebuildTriggerTable();
  ApplyNamesAndLines(options);
  if (options.Rotation.Rotates()) m_rotation = options.Rotation;

  ModemStatus.store(8);
  StartTaps();
  const PortSet skipped = options.SkippedPorts(m_opener);
  SetLatencyTimers(options, skipped);
  m_comms.SetSkippedPorts(skipped);
  m_comms.CreatePorts();
  m_report.UnusablePorts = UnusablePorts(m_comms, m_opener);
  if (m_comms.PresentCount() == 0) {
    m_report.NoPortsOpened = true;
    return Result::Failure(NoPortsReport(m_comms, m_opener), 1);
  }
  if (Result lines = CheckLineOptions(options); !lines) return lines;

  Result selected = Result::Success();
  SelectedPort.store(FirstSelectedPort(options, selected));
  if (!selected) return selected;

  m_recorder.SetLinkType(static_cast<uint16_t>(options.LinkType));
  m_recorder.SetPortDescriber([this](uint8_t port) { return PortDescription(port); });
  if (Result recording = StartRecorder(options); !recording) return recording;
  StartLiveFeed(options);
  for (int row : options.SendRows) {
    // Without a project every user packet is empty: sending nothing must
    // not pass for having sent it.
    if (m_userPackets.SendUserPacket(row, SelectedPort.load()) == UserPackets::SendResult::EmptyText) {
      m_messages.Post("-send:" + std::to_string(row) + ": user packet #" + std::to_string(row) +
                      " is empty, nothing was sent (the user packets come from a project file)");
    }
  }
  m_player = std::make_unique<TTxThread>(m_recorder, m_comms, SelectedPort, ModemStatus, m_watchModemLines);
  m_recorder.SetPlayWaker([this] { m_player->Wake(); });
  return Result::Success();
}

void MonitorSession::StartLiveFeed(const MonitorOptions& options) {
  if (!options.LiveFeed) return;
  const std::string folder = options.LiveFolder.empty() ? LiveFeedFolder() : options.LiveFolder;
  if (Result prepared = PrepareLiveFeedFolder(folder); !prepared) {
    m_report.LiveFeedProblem = prepared.Message();
    return;
  }
  LiveFeed::Settings settings;
  settings.SocketPath = LiveFeedSocketPath(folder, ::getpid());
  settings.LinkType = m_recorder.LinkType();
  settings.Ports = [this] { return m_comms.PresentPorts(); };
  settings.Describe = [this](uint8_t port) { return PortDescription(port); };
  auto live = std::make_unique<LiveFeed>(std::move(settings));
  if (Result opened = live->Open(); !opened) {
    m_report.LiveFeedProblem = opened.Message();
    return;
  }
  m_report.LiveFeedPath = live->SocketPath();
  m_live = std::move(live);
  if (m_wakeSet >= 0) {
    epoll_event event{};
    event.events = EPOLLIN;
    (void)epoll_ctl(m_wakeSet, EPOLL_CTL_ADD, m_live->ListenHandle(), &event);
  }
  m_fanOut.AddSink(*m_live);
}

void MonitorSession::ApplyNamesAndLines(const MonitorOptions& options) {
  for (const auto& [port, name] : options.Names) m_comms.SetPortName(static_cast<uint8_t>(port), name);
  for (const MonitorOptions::LineOption& option : options.LineOptions) {
    for (uint8_t n : AllComNumbers()) {
      if (option.Port != 0 && option.Port != n) continue;
      PortSettings settings = m_comms.GetPortSettings(n);
      settings.SetLine(option.Line.AppliedTo(settings.Line()));
      m_comms.SetPortSettings(n, settings);
    }
  }
}

Result MonitorSession::CheckLineOptions(const MonitorOptions& options) {
  for (const MonitorOptions::LineOption& option : options.LineOptions) {
    for (uint8_t n : m_comms.PresentPorts()) {
      if (option.Port != 0 && option.Port != n) continue;
      if (m_comms.IsPortGone(n) || m_comms.ApplyLineFormat(n)) continue;
      const std::string device = m_opener.Describe(n);
      return Result::Failure(option.Option + ": " + ComName(n) + (device.empty() ? "" : " " + device) +
                                 " refuses " + LineFormatText(m_comms.GetPortSettings(n).Line()),
                             2);
    }
  }
  return Result::Success();
}

std::string MonitorSession::PortDescription(uint8_t n) const {
  return WithPortName(m_opener.Describe(n), m_comms.PortName(n));
}

void MonitorSession::SetLatencyTimers(const MonitorOptions& options, const PortSet& skipped) {
  if (options.LowLatencyPorts.empty()) return;
  m_latency = std::make_unique<LatencyTimer>(options.SysfsRoot);
  for (int port : options.LowLatencyPorts) {
    const auto n = static_cast<uint8_t>(port);
    const std::string option = "-lowlatency:" + std::to_string(port) + ": ";
    if (skipped.test(n)) {
      m_report.LatencyProblems.push_back(option + ComName(n) + " is not opened (-only:, -exclude:)");
      continue;
    }
    m_lowLatency.set(n);
    const std::string device = m_opener.DevicePath(n);
    const LatencyTimer::Outcome outcome = m_latency->Set(device, 1);
    if (outcome.Set) {
      m_report.LatencyTimers.push_back(ComName(n) + " " + device + ": " + outcome.Message);
    } else {
      m_report.LatencyProblems.push_back(option + ComName(n) + " " + outcome.Message);
    }
  }
}

void MonitorSession::FollowLatencyTimers(const std::vector<PortEvent>& changes) {
  if (!m_latency) return;
  for (const PortEvent& change : changes) {
    if (!m_lowLatency.test(change.Port)) continue;
    if (change.Change != PortChange::New && change.Change != PortChange::Back) continue;
    // A replugged adapter starts again from its driver's default.
    const LatencyTimer::Outcome outcome = m_latency->Set(m_opener.DevicePath(change.Port), 1);
    if (!outcome.Set) {
      m_messages.Post("-lowlatency:" + std::to_string(change.Port) + ": " + ComName(change.Port) + " " +
                      outcome.Message);
    }
  }
}

namespace {

void AddToLine(std::string& line, const std::string& part) { line += (line.empty() ? "" : "; ") + part; }

}  // namespace

std::string StartReport::ProblemLine() const {
  std::string line;
  for (const std::string& name : ProjectsMissing) AddToLine(line, "no project file " + name);
  for (const std::string& port : UnusablePorts) AddToLine(line, port);
  for (const std::string& problem : LatencyProblems) AddToLine(line, problem);
  return line;
}

std::string StartReport::TapLine() const {
  std::string line;
  for (const std::string& tap : Taps) AddToLine(line, tap);
  return line;
}

void MonitorSession::StartTaps() {
  if (!m_ownMap) return;
  for (const PortMap::TapEnds& ends : m_ownMap->Taps()) {
    auto tap = std::make_unique<TapLink>(m_comms, m_messages,
                                         TapLink::Ends{ends.Device, ends.App, ends.AppMasterFd, ends.AppPath});
    tap->Start();
    m_taps.push_back(std::move(tap));
    m_report.Taps.push_back(ComName(ends.App) + " " + m_opener.Describe(ends.App));
  }
}

uint8_t MonitorSession::FirstSelectedPort(const MonitorOptions& options, Result& problem) const {
  if (options.SelectPort != 0) {
    const auto port = static_cast<uint8_t>(options.SelectPort);
    if (m_comms.IsPortPresent(port)) return port;
    problem = Result::Failure("-select:" + std::to_string(options.SelectPort) + ": " + ComName(options.SelectPort) +
                                  " is not open",
                              2);
    return 0;
  }
  const std::vector<uint8_t> present = m_comms.PresentPorts();
  return present.empty() ? 0 : present.front();
}

Result MonitorSession::StartRecorder(const MonitorOptions& options) {
  // The Record button's recordings rotate as the project says.
  m_recorder.SetRotation(m_rotation, false);
  if (options.RecordFormat != RecorderState::Idle) {
    // Beside a file that plays, the recording is a sink of its own: the
    // recorder holds one file at a time.
    const bool beside = options.RecordBesidePlay && options.PlayFormat != RecorderState::Idle;
    // The window's recorder holds one file: asked for both, it would start
    // the recording and then stop it again on refusing the file to play.
    if (!options.RecordBesidePlay && options.PlayFormat != RecorderState::Idle) {
      return Result::Failure("the window records or plays one file at a time: give a file to record or one to "
                             "play, not both (the headless monitor does both)",
                             2);
    }
    if (beside && SameFile(options.RecordPath, options.PlayPath)) {
      return Result::Failure("a file cannot be recorded and played at the same time", 2);
    }
    // -append asks for the one file named, whatever the project rotates by.
    const RotationSettings rotation = options.Append ? RotationSettings{} : m_rotation;
    m_recorder.SetRotation(rotation, options.Append);
    m_sideRecording.SetRotation(rotation, options.Append);
    const Result started =
        beside ? m_sideRecording.Start(options.RecordPath, options.RecordFormat, m_recorder.LinkType(),
                                       [this](uint8_t port) { return m_opener.Describe(port); })
               : m_recorder.StartRecordingFile(options.RecordPath, options.RecordFormat);
    if (!started) return Result::Failure("cannot record to " + options.RecordPath + ": " + started.Message());
  }
  if (options.PlayFormat != RecorderState::Idle) {
    // The command line wins over the project.
    PlaySettings settings = m_playSettings;
    if (options.ContinuousPlay) settings.OneShot = 0;
    if (options.PlayGapGiven) settings.PlayGap = static_cast<uint8_t>(options.PlayGap);
    if (options.Repeat) settings.Repeat = 1;
    ApplyPlaySettings(settings);
    // The Play button plays a file it cannot open as an empty one; named at
    // start, nobody would notice, so it is refused.
    if (Result started = m_recorder.StartPlayingFile(options.PlayPath, options.PlayFormat); !started) {
      m_recorder.Stop();
      return Result::Failure("cannot play " + options.PlayPath + ": " + started.Message());
    }
  }
  return Result::Success();
}

void MonitorSession::WatchModemLines(bool watch) {
  m_watchModemLines.store(watch ? 1 : 0);
  // Also when it was watched already: the selected port may have changed.
  if (m_player) m_player->Wake();
}

uint64_t MonitorSession::PlaybackPasses() const { return m_player ? m_player->Passes() : 0; }

TickEvents MonitorSession::Tick() {
  TickEvents events;
  // What was posted before this pass is taken by it; what comes later wakes
  // the next sleep at once.
  m_wake.Drain();
  // New clients first, so that they have this tick's packets.
  if (m_live) m_live->Poll();
  const size_t drained = m_fanOut.DrainQueue();
  if (m_live) {
    for (const std::string& message : m_live->TakeMessages()) m_messages.Post(message);
  }
  m_recorder.PollRecording();
  m_sideRecording.Poll();
  events.RecordingFailed = m_recorder.TakeRecordingFailure();
  if (!events.RecordingFailed) events.RecordingFailed = m_sideRecording.TakeFailure();
  events.RecordingNotices = m_recorder.TakeRecordingNotices();
  for (std::string& notice : m_sideRecording.TakeNotices()) events.RecordingNotices.push_back(std::move(notice));
  events.PlayFileError = m_recorder.TakePlayFileError();
  if (m_recorder.TakeEndOfFileStop() && m_recorder.State() != RecorderState::Idle) {
    m_recorder.Stop();
    events.PlaybackFinished = true;
  }
  uint32_t follows = 0;
  for (const std::unique_ptr<TapLink>& tap : m_taps) follows += tap->FollowCount();
  events.SettingsFollowed = follows != m_followsSeen;
  m_followsSeen = follows;
  events.Messages = m_messages.TakeAll();
  events.PortChanges = m_comms.TakePortEvents();
  FollowLatencyTimers(events.PortChanges);
  const bool active = drained > 0 || IsPlayingState(m_recorder.State()) || (m_live && m_live->ClientCount() > 0) ||
                      events.RecordingFailed || !events.RecordingNotices.empty() || events.PlayFileError ||
                      events.PlaybackFinished || events.SettingsFollowed || !events.Messages.empty() ||
                      !events.PortChanges.empty();
  m_quietTicks = active ? 0 : std::min(m_quietTicks + 1, QuietTicks);
  for (const PortEvent& change : events.PortChanges) {
    if (change.Change == PortChange::Back) m_stats.NoteReturn(change.Port);
  }
  return events;
}

PortFigures MonitorSession::PortFiguresNow(uint8_t n) {
  // What the taps and the network ports count themselves is brought in
  // as it is asked for.
  for (const std::unique_ptr<TapLink>& tap : m_taps) {
    if (tap->DevicePort() == n || tap->AppPort() == n) m_stats.NoteForwarded(n, tap->ForwardedFrom(n));
  }
  m_stats.NoteReconnects(n, m_opener.Reconnects(n));
  return m_stats.Figures(n, m_comms.GetPortSettings(n).Line());
}

void MonitorSession::Shutdown() {
  if (m_shutDown) return;
  m_shutDown = true;
  if (m_live) {
    m_fanOut.RemoveSink(*m_live);
    if (m_wakeSet >= 0) (void)epoll_ctl(m_wakeSet, EPOLL_CTL_DEL, m_live->ListenHandle(), nullptr);
    m_live.reset();
  }
  m_recorder.Stop();
  m_sideRecording.Close();
  // The playback thread sends on the ports and reads their modem lines: it
  // stops before they go.
  m_recorder.SetPlayWaker({});
  m_player.reset();
  // A receive thread may wait for room in a tap's pipe: the pipes end first,
  // and the taps are freed once no receive thread can reach them.
  for (const std::unique_ptr<TapLink>& tap : m_taps) tap->Stop();
  // The receive threads answer triggers through the user packets: the ports
  // go before anything they call into.
  m_comms.DestroyPorts();
  if (m_latency) m_latency->Restore();
  m_taps.clear();
  m_comms.SetTriggerStep(nullptr);
}

ProjectRead MonitorSession::ReadProject(const std::string& chosen) {
  bool hexDisplay = m_drain.HexDisplay();
  PlaySettings play = m_playSettings;
  HighlightRuleSet highlights = m_highlights.Rules();
  ProjectData read;
  const ProjectRead result =
      LoadProject(m_project, chosen, m_comms, m_userPackets, hexDisplay, play, highlights, &read);
  if (!result.Outcome) m_messages.Post(result.Outcome.Message());
  if (result.Read()) {
    if (read.Rotation != m_rotation) {
      m_rotation = read.Rotation;
      m_recorder.SetRotation(m_rotation, false);
      Notify(SessionChange::RecordRotation);
    }
    if (m_drain.SwitchMode(hexDisplay)) Notify(SessionChange::DisplayMode);
    ApplyPlaySettings(play);
    if (highlights != m_highlights.Rules()) {
      m_highlights.Set(highlights);
      m_drain.Remark();
      Notify(SessionChange::Highlights);
    }
  } else {
    // Whatever was read, the triggers follow the texts.
    (void)m_userPackets.RebuildTriggerTable();
  }
  return result;
}

Result MonitorSession::WriteProject(const std::string& chosen) {
  ProjectData data = CollectProject(m_comms, m_userPackets, m_drain.HexDisplay(), m_playSettings, m_highlights.Rules());
  data.Rotation = m_rotation;
  return m_project.WriteProject(chosen, data);
}

void MonitorSession::ApplyPlaySettings(const PlaySettings& settings) {
  m_playSettings = settings;
  m_recorder.SetPlaySettings(settings);
}

void MonitorSession::AddListener(SessionListener& listener) {
  if (std::find(m_listeners.begin(), m_listeners.end(), &listener) == m_listeners.end()) {
    m_listeners.push_back(&listener);
  }
}

void MonitorSession::RemoveListener(SessionListener& listener) { std::erase(m_listeners, &listener); }

void MonitorSession::Notify(SessionChange change) {
  // A copy: a listener may remove itself while it is told.
  const std::vector<SessionListener*> listeners = m_listeners;
  for (SessionListener* listener : listeners) listener->SessionChanged(change);
}

void MonitorSession::Edited(SessionChange change) {
  m_project.SetConfigChanged();
  Notify(change);
}

void MonitorSession::SetPortSettings(uint8_t port, const PortSettings& settings) {
  m_comms.SetPortSettings(port, settings);
  m_comms.ApplyPortSettings(port);
  Edited(SessionChange::PortSettings);
}

void MonitorSession::SetPacketGap(uint16_t milliseconds) {
  m_comms.PacketGap.store(milliseconds);
  Edited(SessionChange::PacketGap);
}

bool MonitorSession::SetDisplayMode(bool hex) {
  if (!m_drain.SwitchMode(hex)) return false;
  Edited(SessionChange::DisplayMode);
  return true;
}

void MonitorSession::SetHighlightRules(const HighlightRuleSet& rules) {
  if (rules == m_highlights.Rules()) return;
  m_highlights.Set(rules);
  m_drain.Remark();
  Edited(SessionChange::Highlights);
}

void MonitorSession::EditUserPackets(const std::function<void(UserPacketTable&)>& edit) {
  if (edit) edit(m_userPackets.Table());
  (void)m_userPackets.RebuildTriggerTable();
  Edited(SessionChange::UserPackets);
}

void MonitorSession::SetPlaySettings(const PlaySettings& settings) {
  if (settings == m_playSettings) return;
  ApplyPlaySettings(settings);
  Edited(SessionChange::PlaySettings);
}

void MonitorSession::SetRecordRotation(const RotationSettings& rotation) {
  if (rotation == m_rotation) return;
  m_rotation = rotation;
  m_recorder.SetRotation(m_rotation, false);
  Edited(SessionChange::RecordRotation);
}

void MonitorSession::DiscardProjectChanges() {
  m_project.SetConfigChanged(false);
  (void)m_userPackets.RebuildTriggerTable();
}

}  // namespace tapwise
