#include "app/Headless.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "app/HeadlessMonitor.h"
#include "app/PortReport.h"
#include "capture/TWComms.h"
#include "platform/PortMap.h"

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

}  // namespace

int RunHeadless(const CommandLine& commandLine) {
  PortMap map;
  if (!BuildPortMap(commandLine, map)) return 2;
  for (const std::string& file : commandLine.ProjectFiles) {
    std::fprintf(stderr, "tapwise: project files are not read by the headless monitor: %s\n", file.c_str());
  }

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

  HeadlessMonitor monitor(comms, STDOUT_FILENO, isatty(STDOUT_FILENO) != 0);
  int status = 0;
  auto tick = std::chrono::steady_clock::now() + TickInterval;
  while (!WaitForTickOrSignal(stopSignals, tick)) {
    if (std::chrono::steady_clock::now() < tick) continue;
    if (!monitor.Tick()) {
      std::fprintf(stderr, "tapwise: cannot write the packets: %s\n", monitor.LastError().c_str());
      status = 1;
      break;
    }
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
  // or half-filled is freed, not printed.
  comms.DestroyPorts();
  return status;
}

int RunListPorts(const CommandLine& commandLine) {
  PortMap map;
  if (!BuildPortMap(commandLine, map)) return 2;
  int listed = 0;
  for (int n = 1; n <= MaxComPorts; ++n) {
    auto com = static_cast<uint8_t>(n);
    if (!map.IsMapped(com)) continue;
    OpenResult probe = map.Open(com);
    probe.Device.reset();
    if (probe.Status == OpenStatus::Absent && !map.IsExplicit(com)) continue;
    const char* state = probe.Status == OpenStatus::Opened ? "present" : OpenStatusText(probe.Status);
    std::printf("%-7s %-32s %s\n", ComName(n).c_str(), map.Describe(com).c_str(), state);
    ++listed;
  }
  if (listed == 0) std::printf("No serial ports found.\n");
  return 0;
}

}  // namespace tapwise
