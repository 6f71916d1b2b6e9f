#include "app/Headless.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

#include "app/HeadlessMonitor.h"
#include "app/HeadlessStats.h"
#include "app/HeadlessWait.h"
#include "app/OnlyPortsSink.h"
#include "app/TerminalColour.h"
#include "core/config/INIUnit.h"
#include "core/config/SettingsLocation.h"
#include "core/config/UserSettings.h"
#include "core/platform/PortMap.h"
#include "core/platform/SysfsTty.h"
#include "core/recorder/PipeStream.h"
#include "core/session/MonitorSession.h"
#include "core/session/PortReport.h"
#include "core/util/MarkupText.h"
#include "core/util/ProcessSetup.h"
#include "core/util/Result.h"

namespace tapwise {

namespace {

constexpr auto TickInterval = std::chrono::milliseconds(50);

// Applies the -port:/-pair:/-tap:/-force: options; the first bad one ends
// it. The taps' links are not made: listing changes nothing on disk.
Result BuildPortMap(const CommandLine& commandLine, PortMap& map) {
  for (const std::string& option : commandLine.PortOptions) {
    if (Result applied = map.ApplyOption(option); !applied) return applied;
  }
  return Result::Success();
}

// The layout the options ask for. Colour follows the window's colours in
// the settings file, read only (the headless monitor never writes it).
HeadlessLayout LayoutFor(const CommandLine& commandLine, const MonitorSession& session, bool terminal) {
  HeadlessLayout layout;
  layout.Time = commandLine.Time;
  if (commandLine.FullPortLabel) {
    const TWComms& comms = session.Comms();
    layout.PortLabel = [&comms](uint8_t port) {
      const std::string& name = comms.PortName(port);
      return name.empty() ? ComName(port) : name;
    };
  }
  const bool colour = commandLine.Colour == ColourChoice::Always ||
                      (commandLine.Colour == ColourChoice::Auto && ColourWanted(terminal, std::getenv("NO_COLOR")));
  if (colour) {
    SettingsStore store;
    // Without a settings file the window's first-run colours are used.
    (void)store.Load(SettingsFilePath(SystemSettingsEnvironment()));
    const ColourTable colours = ReadUserSettings(store).Colours;
    layout.PortColour = [colours](uint8_t port) {
      return TerminalRgb(colours[port == 0 ? ColourTable::LineWithoutPort : ColourTable::PortEntry(port)]);
    };
    layout.TransmissionBackground = TerminalRgb(colours[ColourTable::Transmissions]);
    layout.ErrorBackground = TerminalRgb(colours[ColourTable::Errors]);
  }
  return layout;
}

// The output follows the display mode the session is in (a project sets it).
class FollowDisplayMode final : public SessionListener {
 public:
  FollowDisplayMode(MonitorSession& session, HeadlessMonitor& monitor) : m_session(session), m_monitor(monitor) {
    m_session.AddListener(*this);
  }
  ~FollowDisplayMode() override { m_session.RemoveListener(*this); }
  void SessionChanged(SessionChange change) override {
    if (change == SessionChange::DisplayMode) m_monitor.SetHexDisplay(m_session.HexDisplay());
  }

 private:
  MonitorSession& m_session;
  HeadlessMonitor& m_monitor;
};

// What the window would show in its message box, as plain text.
void PrintMessages(const std::vector<std::string>& messages) {
  for (const std::string& text : messages) std::fprintf(stderr, "tapwise: %s\n", MarkupToPlainText(text).c_str());
}

bool PcapngToStandardOutput(const CommandLine& commandLine) {
  return commandLine.RecordFormat == RecorderState::RecordPcapng && PipeStream::IsStandardOutput(commandLine.RecordPath);
}

// What start-up found, as the window shows it in its tabs and status bar.
void PrintStart(MonitorSession& session, const CommandLine& commandLine) {
  const StartReport& report = session.Report();
  for (const std::string& name : report.ProjectsRead) std::fprintf(stderr, "Project %s\n", name.c_str());
  for (const std::string& name : report.ProjectsMissing) {
    std::fprintf(stderr, "tapwise: no project file %s\n", name.c_str());
  }
  for (uint8_t port : session.PresentPorts()) {
    std::fprintf(stderr, "%s %s\n", ComName(port).c_str(), session.PortDescription(port).c_str());
  }
  for (const std::string& line : report.UnusablePorts) std::fprintf(stderr, "%s\n", line.c_str());
  if (commandLine.OnlyPortGiven) {
    bool anyPrinted = false;
    for (uint8_t port : session.PresentPorts()) anyPrinted = anyPrinted || commandLine.OnlyPort.test(port);
    // Not an error: a port of the list may still come (a USB adapter).
    if (!anyPrinted) std::fprintf(stderr, "tapwise: -onlyport: names no open port; nothing is printed yet\n");
  }
  for (const std::string& line : report.LatencyTimers) std::fprintf(stderr, "%s\n", line.c_str());
  for (const std::string& line : report.LatencyProblems) std::fprintf(stderr, "tapwise: %s\n", line.c_str());
  if (!report.LiveFeedProblem.empty()) {
    std::fprintf(stderr, "tapwise: no live feed: %s\n", report.LiveFeedProblem.c_str());
  }
  if (PcapngToStandardOutput(commandLine)) {
    std::fprintf(stderr, "Recording pcapng to standard output\n");
  } else if (commandLine.RecordFormat != RecorderState::Idle) {
    // With rotation the file is the first stamped name, not the one given.
    std::fprintf(stderr, "Recording %s\n", session.RecordingPath().c_str());
  }
  if (commandLine.PlayFormat != RecorderState::Idle) {
    std::fprintf(stderr, "Playing %s out of %s\n", commandLine.PlayPath.c_str(),
                 ComName(session.SelectedPort.load()).c_str());
  }
  std::fflush(stderr);
}

// What one tick found, as the window's timer would show it.
void PrintTick(const TickEvents& events, const CommandLine& commandLine, const DeviceOpener& opener) {
  for (const PortEvent& change : events.PortChanges) {
    std::fprintf(stderr, "%s\n", PortEventLine(change, opener).c_str());
  }
  for (const std::string& notice : events.RecordingNotices) {
    std::fprintf(stderr, "tapwise: %s; recording goes on\n", notice.c_str());
  }
  if (events.RecordingFailed) {
    std::fprintf(stderr, "tapwise: %s; monitoring goes on\n", events.RecordingFailed->Text.c_str());
  }
  if (events.PlayFileError) {
    std::fprintf(stderr, "tapwise: %s: Invalid Packet Data file; playback stopped\n", commandLine.PlayPath.c_str());
  }
  if (events.PlaybackFinished) std::fprintf(stderr, "Playback finished\n");
  PrintMessages(events.Messages);
}

}  // namespace

int RunHeadless(const CommandLine& commandLine) {
  // Stop signals are taken synchronously by the drain loop. They are blocked
  // before any receive thread exists, so every thread inherits the block and
  // none is interrupted by them.
  sigset_t signals = BlockStopSignals();
  const sigset_t reportSignal = BlockReportSignal();
  sigorset(&signals, &signals, &reportSignal);

  MonitorSession session;
  // With the pcapng stream on standard output the lines make way for it.
  const int linesFd = PcapngToStandardOutput(commandLine) ? STDERR_FILENO : STDOUT_FILENO;
  const bool terminal = isatty(linesFd) != 0;
  HeadlessMonitor monitor(linesFd, terminal);
  monitor.SetLayout(LayoutFor(commandLine, session, terminal));
  monitor.SetGrep(commandLine.Grep);
  OnlyPortsSink printed(monitor, commandLine.OnlyPortGiven ? commandLine.OnlyPort : PortSet().set());
  if (!commandLine.Quiet) session.AddSink(printed);
  const FollowDisplayMode follow(session, monitor);
  MonitorOptions options = commandLine;
  // Nobody is there to release Pause for each packet.
  options.ContinuousPlay = true;
  // A played test can be captured in the same run.
  options.RecordBesidePlay = true;
  const Result started = session.Start(options);
  PrintMessages(session.Messages().TakeAll());
  if (!started) {
    // The report of no ports speaks for itself; other failures, a bad port
    // option among them, name the program.
    const char* prefix = session.Report().NoPortsOpened ? "" : "tapwise: ";
    std::fprintf(stderr, "%s%s\n", prefix, MarkupToPlainText(started.Message()).c_str());
    return started.Code();
  }
  PrintStart(session, commandLine);
  HeadlessStats stats(session, commandLine.StatsSeconds);

  int status = 0;
  HeadlessWait wait(signals, session.WakeHandle());
  auto tick = std::chrono::steady_clock::now() + TickInterval;
  for (;;) {
    // Asleep, a packet or a message runs the pass at once; awake, the
    // passes keep their pace and each takes all that came meanwhile.
    const HeadlessWait::Outcome outcome = wait.Until(tick, session.Asleep());
    if (outcome == HeadlessWait::Outcome::Signal) break;
    if (outcome == HeadlessWait::Outcome::Report) {
      stats.Print();
      continue;
    }
    if (outcome == HeadlessWait::Outcome::Woken && !session.Asleep()) continue;
    const TickEvents events = session.Tick();
    if (const Result flushed = monitor.Flush(); !flushed) {
      std::fprintf(stderr, "tapwise: cannot write the packets: %s\n", flushed.Message().c_str());
      status = 1;
      break;
    }
    PrintTick(events, commandLine, session.Opener());
    stats.Tick();
    const auto now = std::chrono::steady_clock::now();
    if (session.Asleep()) {
      tick = now + std::chrono::milliseconds(session.NextTickMs());
    } else {
      // A pass run early for a wake-up sets the pace from now.
      tick = outcome == HeadlessWait::Outcome::Woken ? now + TickInterval : tick + TickInterval;
    }
    // After a stall (the output was slow) start afresh rather than catching up in a burst.
    if (tick < std::chrono::steady_clock::now()) tick = std::chrono::steady_clock::now() + TickInterval;
  }
  // In ASCII mode the last line may still be waiting for more text.
  if (status == 0) {
    if (const Result finished = monitor.Finish(); !finished) {
      std::fprintf(stderr, "tapwise: cannot write the packets: %s\n", finished.Message().c_str());
      status = 1;
    }
  }
  // While the taps still count what they passed on.
  stats.AtExit();
  // Whatever is still queued or half-filled is freed, not printed.
  session.Shutdown();
  if (!commandLine.Quiet) session.RemoveSink(printed);
  PrintMessages(session.Messages().TakeAll());
  return status;
}

namespace {

// The port's device in the listing, with the name -name: gave it.
std::string ListedDevice(const CommandLine& commandLine, const PortMap& map, uint8_t com) {
  std::string name;
  for (const auto& [port, given] : commandLine.Names) {
    if (port == com) name = given;
  }
  return WithPortName(map.Describe(com), name);
}

}  // namespace

int RunListPorts(const CommandLine& commandLine) {
  PortMap map;
  if (const Result mapped = BuildPortMap(commandLine, map); !mapped) {
    std::fprintf(stderr, "tapwise: %s\n", mapped.Message().c_str());
    return mapped.Code();
  }
  // What -only: and -exclude: keep closed is not probed either: the
  // user asked for it to be left alone.
  const PortSet skipped = commandLine.SkippedPorts(map);
  int listed = 0;
  map.BeginProbe();
  for (uint8_t com : AllComNumbers()) {
    if (!map.IsMapped(com)) continue;
    if (skipped.test(com)) {
      // A default serial port (/dev/ttyS*) exists whether or not a UART is
      // behind it, so only ports worth naming are listed: sysfs tells
      // without opening them.
      const std::string device = map.DevicePath(com);
      const bool fixedPort = map.WatchPath(com).empty();
      if (!map.IsExplicit(com) &&
          (fixedPort ? !SysfsUartKnown(device) : access(device.c_str(), F_OK) != 0)) {
        continue;
      }
      const char* why = commandLine.Exclude.test(com) ? "skipped (-exclude:)" : "skipped (not in -only:)";
      std::printf("%-7s %-32s %s\n", ComName(com).c_str(), ListedDevice(commandLine, map, com).c_str(), why);
      ++listed;
      continue;
    }
    const OpenStatus probe = map.Probe(com);
    if (probe == OpenStatus::Absent && !map.IsExplicit(com)) continue;
    const char* state = probe == OpenStatus::Opened ? "present" : OpenStatusText(probe);
    const std::string stable = map.StableName(com);
    std::printf("%-7s %-32s %s%s%s\n", ComName(com).c_str(), ListedDevice(commandLine, map, com).c_str(), state,
                stable.empty() ? "" : "  ", stable.c_str());
    ++listed;
  }
  map.EndProbe();
  if (listed == 0) std::printf("No serial ports found.\n");
  return 0;
}

}  // namespace tapwise
