#include "app/Headless.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <cstdio>
#include <ctime>
#include <string>

#include "app/HeadlessMonitor.h"
#include "app/PortReport.h"
#include "capture/TWComms.h"
#include "platform/PortMap.h"
#include "recorder/Recorder.h"
#include "config/ProjectApply.h"
#include "config/ProjectState.h"
#include "recorder/TxThread.h"
#include "userpackets/UserPackets.h"
#include "util/MarkupText.h"
#include "util/UserMessages.h"

namespace tapwise {

namespace {

constexpr auto TickInterval = std::chrono::milliseconds(50);

std::string ComName(int n) { return "COM" + std::to_string(n); }

// Applies the -port:/-pair: options; false (with the message printed) on a bad one.
bool BuildPortMap(const CommandLine& commandLine, PortMap& map) {
  for (const std::string& option : commandLine.PortOptions) {
    std::string problem = map.ApplyOption(option);
    if (!problem.empty()) {
      std::fprintf(stderr, "tapwise: %s\n", problem.c_str());
      return false;
    }
  }
  return true;
}

void ReportNoPorts(const TWComms& comms, const PortMap& map) {
  std::fprintf(stderr, "No COM Ports are Available\n");
  const std::string refused = NotPermittedPorts(comms, map);
  if (!refused.empty()) {
    std::fprintf(stderr,
                 "These ports exist but you are not permitted to open them:\n%s"
                 "On Debian, serial ports belong to the group \"dialout\": add yourself with\n"
                 "  sudo adduser $USER dialout\n"
                 "and log in again.\n",
                 refused.c_str());
  }
  std::fprintf(stderr, "A virtual port pair needs no hardware: tapwise -headless -pair:1,2\n");
}

// Waits for the next tick or a stop signal; true when a signal came.
bool WaitForTickOrSignal(const sigset_t& stopSignals, std::chrono::steady_clock::time_point tick) {
  auto remaining = tick - std::chrono::steady_clock::now();
  if (remaining <= std::chrono::steady_clock::duration::zero()) return false;
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
  timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
  int signal = sigtimedwait(&stopSignals, nullptr, &timeout);
  return signal == SIGINT || signal == SIGTERM;
}

// Starts what the command line asks of the recorder; false (with the
// message printed) when the file cannot be used.
bool StartRecorder(const CommandLine& commandLine, const PlaySettings& projectPlay, Recorder& recorder) {
  if (commandLine.RecordFormat != RecorderState::Idle) {
    StartResult started = recorder.StartRecordingFile(commandLine.RecordPath, commandLine.RecordFormat);
    if (!started.Ok) {
      std::fprintf(stderr, "tapwise: cannot record to %s: %s\n", commandLine.RecordPath.c_str(),
                   started.Reason.c_str());
      return false;
    }
    std::fprintf(stderr, "Recording %s\n", commandLine.RecordPath.c_str());
  }
  if (commandLine.PlayFormat != RecorderState::Idle) {
    // Headless playing is always continuous; the command line wins over the project.
    PlaySettings settings = projectPlay;
    settings.OneShot = 0;
    if (commandLine.PlayGapGiven) settings.PlayGap = static_cast<uint8_t>(commandLine.PlayGap);
    if (commandLine.Repeat) settings.Repeat = 1;
    recorder.SetPlaySettings(settings);
    StartResult started = recorder.StartPlayingFile(commandLine.PlayPath, commandLine.PlayFormat);
    // The window plays a file it cannot open as an empty one; here nobody
    // would notice, so it is refused.
    if (!started.Reason.empty()) {
      recorder.Stop();
      std::fprintf(stderr, "tapwise: cannot play %s: %s\n", commandLine.PlayPath.c_str(), started.Reason.c_str());
      return false;
    }
  }
  return true;
}

// What the window would show in its message box, as plain text.
void PrintMessages(UserMessages& messages) {
  for (const std::string& text : messages.TakeAll()) {
    std::fprintf(stderr, "tapwise: %s\n", MarkupToPlainText(text).c_str());
  }
}

// Reads the project files in order, before the ports open, so that they
// open with the project's settings. The last one read gives the display
// mode and play options.
void ReadProjects(const CommandLine& commandLine, TWComms& comms, UserPackets& userPackets,
                  bool& hexDisplay, PlaySettings& play) {
  ProjectState project;
  for (const std::string& file : commandLine.ProjectFiles) {
    const ProjectState::ReadResult result = LoadProject(project, file, comms, userPackets, hexDisplay, play);
    if (!result.Message.empty()) userPackets.Messages().Post(result.Message);
    if (result.Read) {
      std::fprintf(stderr, "Project %s\n", project.ConfigName().c_str());
    } else if (result.Message.empty()) {
      std::fprintf(stderr, "tapwise: no project file %s\n", file.c_str());
    }
  }
}

// Takes the ports down when it goes, before the objects their receive
// threads call into (declared before it) go.
class PortsDown {
 public:
  explicit PortsDown(TWComms& comms) : m_comms(comms) {}
  ~PortsDown() { m_comms.DestroyPorts(); }
  PortsDown(const PortsDown&) = delete;
  PortsDown& operator=(const PortsDown&) = delete;

 private:
  TWComms& m_comms;
};

// What the recorder has to say after a tick, as the window's timer would show it.
void ReportRecorder(Recorder& recorder, const CommandLine& commandLine) {
  if (std::optional<RecordingFailure> failure = recorder.TakeRecordingFailure()) {
    std::fprintf(stderr, "tapwise: %s; monitoring goes on\n", failure->Text.c_str());
  }
  if (recorder.TakePlayFileError()) {
    std::fprintf(stderr, "tapwise: %s: Invalid Packet Data file; playback stopped\n", commandLine.PlayPath.c_str());
  }
  if (recorder.TakeEndOfFileStop()) {
    recorder.Stop();
    std::fprintf(stderr, "Playback finished\n");
  }
}

// The port that playback uses: the one asked for, or the lowest open one; 0
// (with the message printed) when the one asked for is not open.
uint8_t PlaybackPort(const CommandLine& commandLine, const TWComms& comms) {
  if (commandLine.SelectPort != 0) {
    const auto port = static_cast<uint8_t>(commandLine.SelectPort);
    if (comms.IsPortPresent(port)) return port;
    std::fprintf(stderr, "tapwise: -select:%d: %s is not open\n", commandLine.SelectPort, ComName(port).c_str());
    return 0;
  }
  for (int n = 1; n <= MaxComPorts; ++n) {
    if (comms.IsPortPresent(static_cast<uint8_t>(n))) return static_cast<uint8_t>(n);
  }
  return 0;
}

}  // namespace

int RunHeadless(const CommandLine& commandLine) {
  PortMap map;
  if (!BuildPortMap(commandLine, map)) return 2;
  for (const std::string& problem : commandLine.Problems) std::fprintf(stderr, "tapwise: %s\n", problem.c_str());
  if (!commandLine.Problems.empty()) return 2;

  // Stop signals are taken synchronously by the drain loop. They are blocked
  // before any receive thread exists, so every thread inherits the block and
  // none is interrupted by them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  // A closed output pipe shows as a failed write rather than killing us mid-way.
  signal(SIGPIPE, SIG_IGN);

  TWComms comms(map);
  comms.NoHandshake.store(commandLine.NoHandshake ? 1 : 0);
  std::atomic<uint8_t> selectedPort{0};
  std::atomic<uint8_t> modemStatus{0};
  UserMessages messages;
  map.SetMessages(&messages);
  UserPackets userPackets(comms, selectedPort, messages);
  comms.SetTriggerStep(&userPackets);
  bool hexDisplay = true;
  PlaySettings play;
  ReadProjects(commandLine, comms, userPackets, hexDisplay, play);
  if (commandLine.ProjectFiles.empty()) userPackets.RebuildTriggerTable();
  userPackets.SetTriggerMode(commandLine.Triggers);
  PrintMessages(messages);

  PortsDown portsDown(comms);
  comms.CreatePorts();
  if (comms.PresentCount() == 0) {
    ReportNoPorts(comms, map);
    return 1;
  }
  for (int n = 1; n <= MaxComPorts; ++n) {
    if (comms.IsPortPresent(static_cast<uint8_t>(n))) {
      std::fprintf(stderr, "%s %s\n", ComName(n).c_str(), map.Describe(static_cast<uint8_t>(n)).c_str());
    }
  }
  std::fflush(stderr);

  selectedPort = PlaybackPort(commandLine, comms);
  if (selectedPort.load() == 0) return 2;
  Recorder recorder;
  if (!StartRecorder(commandLine, play, recorder)) return 1;
  if (commandLine.PlayFormat != RecorderState::Idle) {
    std::fprintf(stderr, "Playing %s out of %s\n", commandLine.PlayPath.c_str(),
                 ComName(selectedPort.load()).c_str());
  }
  std::fflush(stderr);
  HeadlessMonitor monitor(comms, STDOUT_FILENO, isatty(STDOUT_FILENO) != 0);
  monitor.SetHexDisplay(hexDisplay);
  monitor.SetRecordingHook(&recorder);
  for (int row : commandLine.SendRows) userPackets.SendUserPacket(row, selectedPort.load());
  PrintMessages(messages);
  // The playback thread runs only when there is something to play.
  std::unique_ptr<TTxThread> player;
  if (IsPlayingState(recorder.State())) {
    player = std::make_unique<TTxThread>(recorder, comms, selectedPort, modemStatus);
  }

  int status = 0;
  auto tick = std::chrono::steady_clock::now() + TickInterval;
  while (!WaitForTickOrSignal(stopSignals, tick)) {
    if (std::chrono::steady_clock::now() < tick) continue;
    if (!monitor.Tick()) {
      std::fprintf(stderr, "tapwise: cannot write the packets: %s\n", monitor.LastError().c_str());
      status = 1;
      break;
    }
    ReportRecorder(recorder, commandLine);
    PrintMessages(messages);
    tick += TickInterval;
    // After a stall (the output was slow) start afresh rather than catching up in a burst.
    if (tick < std::chrono::steady_clock::now()) tick = std::chrono::steady_clock::now() + TickInterval;
  }
  // In ASCII mode the last line may still be waiting for more text.
  if (status == 0 && !monitor.Finish()) {
    std::fprintf(stderr, "tapwise: cannot write the packets: %s\n", monitor.LastError().c_str());
    status = 1;
  }
  // Stop draining first, then take the ports down: whatever is still queued
  // or half-filled is freed, not printed. The player sends through the
  // ports, so it goes before them.
  player.reset();
  recorder.Stop();
  comms.DestroyPorts();
  PrintMessages(messages);
  return status;
}

int RunListPorts(const CommandLine& commandLine) {
  PortMap map;
  if (!BuildPortMap(commandLine, map)) return 2;
  int listed = 0;
  for (int n = 1; n <= MaxComPorts; ++n) {
    auto com = static_cast<uint8_t>(n);
    if (!map.IsMapped(com)) continue;
    const OpenStatus probe = map.Probe(com);
    if (probe == OpenStatus::Absent && !map.IsExplicit(com)) continue;
    const char* state = probe == OpenStatus::Opened ? "present" : OpenStatusText(probe);
    std::printf("%-7s %-32s %s\n", ComName(n).c_str(), map.Describe(com).c_str(), state);
    ++listed;
  }
  if (listed == 0) std::printf("No serial ports found.\n");
  return 0;
}

}  // namespace tapwise
