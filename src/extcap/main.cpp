// tapwise-extcap: the serial-port monitor as a capture interface of a
// packet analyser, which runs it from its extcap folder: to list the
// interfaces (every time it starts, so that answer is quick), to ask what
// each offers, and to capture into a FIFO it reads. The packets come from a
// running monitor's live feed, or, with none running, from the ports opened
// here. Standard output carries the answers; standard error only what the
// user must read (the analyser shows it as an error).

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/recorder/LiveFeedFolder.h"
#include "core/util/ProcessSetup.h"
#include "extcap/ExtcapInterface.h"
#include "extcap/ExtcapOptions.h"
#include "extcap/ExtcapQueries.h"
#include "extcap/FifoOutput.h"
#include "extcap/LiveFeedCopy.h"
#include "extcap/MonitorSocket.h"
#include "extcap/OwnCapture.h"
#include "extcap/StopSignal.h"

namespace tapwise {
namespace {

// Well inside the time the analyser gives its extcap programs at start-up.
constexpr auto MonitorAnswerTime = std::chrono::milliseconds(150);

// The running monitors, in a folder that may be trusted.
std::vector<RunningMonitor> Monitors() {
  const std::string folder = LiveFeedFolder();
  if (!LiveFeedFolderIsPrivate(folder)) return {};
  return RunningMonitors(folder);
}

std::vector<ExtcapInterface> ListInterfaces() {
  const std::vector<RunningMonitor> monitors = Monitors();
  if (monitors.empty()) return OwnInterfaces();
  return MonitorInterfaces(AskMonitors(monitors, MonitorAnswerTime));
}

// The running monitor that has this port open, if any: a port one process
// holds is captured from its feed.
std::optional<RunningMonitor> MonitorWithPort(uint8_t port) {
  const std::vector<RunningMonitor> monitors = Monitors();
  if (monitors.empty()) return std::nullopt;
  for (const MonitorPorts& monitor : AskMonitors(monitors, MonitorAnswerTime)) {
    for (const MonitorPorts::Port& one : monitor.Ports) {
      if (one.Number == port) return monitor.Monitor;
    }
  }
  return std::nullopt;
}

int Capture(const ExtcapOptions& options, const ExtcapInterfaceName& name, const sigset_t& stopSignals) {
  FifoOutput out;
  if (Result opened = out.Open(options.Fifo, [&stopSignals] { return StopSignalPending(stopSignals); });
      !opened) {
    std::fprintf(stderr, "tapwise-extcap: %s\n", opened.Message().c_str());
    return 1;
  }
  // Stopped before the analyser opened its end: nothing to capture.
  if (!out.IsOpen()) return 0;
  std::optional<RunningMonitor> monitor;
  if (name.Monitor != 0) {
    const std::string folder = LiveFeedFolder();
    // A missing folder means no monitor: connecting says so.
    struct stat info {};
    if (::lstat(folder.c_str(), &info) == 0 && !LiveFeedFolderIsPrivate(folder)) {
      std::fprintf(stderr, "tapwise-extcap: %s is not a folder of this user's closed to others; no live feed is read "
                   "from it\n", folder.c_str());
      return 1;
    }
    monitor = RunningMonitor{name.Monitor, LiveFeedSocketPath(folder, name.Monitor)};
  } else if (name.Port != 0) {
    monitor = MonitorWithPort(name.Port);
  }
  if (!monitor) return RunOwnCapture(options, name.Port, out, stopSignals);
  std::string request = LiveFeedRequest(name.Port);
  if (name.Port == 0 && options.PortsGiven) {
    request = "ports=";
    for (uint8_t n : AllComNumbers()) {
      if (options.Ports.test(n)) request += std::to_string(n) + ",";
    }
    request.pop_back();
  }
  return CopyLiveFeed(monitor->Pid, monitor->SocketPath, request, out, stopSignals);
}

int Run(const std::vector<std::string>& args, const sigset_t& stopSignals) {
  const ExtcapOptions options = ParseExtcapArguments(args);
  for (const std::string& arg : options.Ignored) {
    std::fprintf(stderr, "tapwise-extcap: unknown option %s, ignored\n", arg.c_str());
  }
  for (const std::string& problem : options.Problems) std::fprintf(stderr, "tapwise-extcap: %s\n", problem.c_str());
  if (!options.Problems.empty()) return 2;
  if (options.Mode == ExtcapMode::Help || options.Mode == ExtcapMode::None) {
    std::fputs(ExtcapUsageText().c_str(), options.Mode == ExtcapMode::Help ? stdout : stderr);
    return options.Mode == ExtcapMode::Help ? 0 : 2;
  }
  if (options.Mode == ExtcapMode::Version) {
    std::printf("tapwise-extcap %s\n", TAPWISE_VERSION);
    return 0;
  }
  if (options.Mode == ExtcapMode::Interfaces) {
    std::fputs(InterfacesText(ListInterfaces()).c_str(), stdout);
    return 0;
  }
  const std::optional<ExtcapInterfaceName> name = ParseInterfaceValue(options.Interface);
  if (!name) {
    std::fprintf(stderr, "tapwise-extcap: %s is not an interface of this program\n", options.Interface.c_str());
    return 2;
  }
  if (options.Mode == ExtcapMode::Dlts) {
    std::fputs(DltsText(*name).c_str(), stdout);
    return 0;
  }
  if (options.Mode == ExtcapMode::Config) {
    std::fputs(ConfigText(*name).c_str(), stdout);
    return 0;
  }
  return Capture(options, *name, stopSignals);
}

}  // namespace
}  // namespace tapwise

int main(int argc, char** argv) {
  tapwise::EnsureStandardDescriptors();
  tapwise::IgnoreWriteSignals();
  // Before any receive thread exists, so that every thread inherits the block.
  const sigset_t stopSignals = tapwise::BlockStopSignals();
  return tapwise::Run(std::vector<std::string>(argv + 1, argv + argc), stopSignals);
}
