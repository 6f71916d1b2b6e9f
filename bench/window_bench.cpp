// The main window under load: 16 virtual ports, each sent 100 packets of 20
// bytes a second, while the window's 50 ms timer drains the queue into the
// display and repaints it. Reports the tick's work (median, 99th percentile,
// largest) and the largest queue a tick found waiting, against what one tick
// should see at this rate.
//
//   window_bench [--seconds N] [--ports N] [--rate PACKETS_PER_SECOND] [--direct 1]
//                [--filter 1] [--highlights N]
//
// Over the ports, packets 10 ms apart are closer than the default packet gap,
// so the receive threads join them into longer packets: that measures the
// whole path but not the packet count. --direct 1 appends the 20-byte
// records to the capture queue at the given rate instead, as receive threads
// would, so the window sees exactly ports × rate packets a second.
//
// --filter 1 leaves every second port out of the display (and so every
// tick works out the rows shown); --highlights N (up to 8) puts N highlight
// rules on, two-byte patterns each of which some packets hold and one
// quoted text that none does, so every packet is searched N times.
//
// Runs offscreen unless QT_QPA_PLATFORM or a display says otherwise.

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/util/Clock.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "support/PtyGroup.h"
#include "tests/support/TestRecords.h"
#include "tests/support/window/WindowRig.h"

using namespace tapwise;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
  int Seconds = 30;
  int Ports = 16;
  int Rate = 100;
  bool Direct = false;
  bool Filter = false;
  int Highlights = 0;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const int value = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--seconds")) options.Seconds = std::max(1, value);
    if (!std::strcmp(argv[i], "--ports")) options.Ports = std::clamp(value, 1, 32);
    if (!std::strcmp(argv[i], "--rate")) options.Rate = std::clamp(value, 1, 1000);
    if (!std::strcmp(argv[i], "--direct")) options.Direct = value != 0;
    if (!std::strcmp(argv[i], "--filter")) options.Filter = value != 0;
    if (!std::strcmp(argv[i], "--highlights")) options.Highlights = std::clamp(value, 0, 8);
  }
  return options;
}

int64_t Percentile(std::vector<int64_t> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  const Options options = ParseOptions(argc, argv);

  // COM97 on: slots that no real device takes by default.
  std::string problem;
  std::vector<Pty> wires = bench::MakePtys(static_cast<size_t>(options.Ports), problem);
  if (wires.empty()) {
    std::fprintf(stderr, "window_bench: %s\n", problem.c_str());
    return 1;
  }
  MonitorOptions monitorOptions;
  for (int i = 0; i < options.Ports; ++i)
    monitorOptions.PortOptions.push_back("-port:" + std::to_string(97 + i) + "=" + wires[i].SlavePath());

  WindowRig rig;
  MonitorSession& session = rig.Session();
  TWComms& comms = session.Comms();
  TTWForm& form = rig.Make(monitorOptions);
  std::vector<int64_t> ticks;
  size_t largestQueue = 0;
  std::atomic<bool> measuring{false};
  form.SetTickObserver([&](size_t queued, int64_t microseconds) {
    if (!measuring.load()) return;
    ticks.push_back(microseconds);
    largestQueue = std::max(largestQueue, queued);
  });
  form.show();
  if (!form.FormShow()) return 1;
  if (options.Filter) {
    for (int i = 1; i < options.Ports; i += 2) session.Drain().Filter().SetPortShown(static_cast<uint8_t>(97 + i), false);
    form.Display()->LinesChanged();
  }
  HighlightRuleSet rules = DefaultHighlightRules();
  for (int i = 0; i < options.Highlights; ++i) {
    char pattern[16];
    std::snprintf(pattern, sizeof pattern, "%02X %02X", (i * 29) & 0xFF, (i * 29 + 1) & 0xFF);
    rules[static_cast<size_t>(i)].Pattern = i == options.Highlights - 1 ? "\"PING\"" : pattern;
  }
  session.SetHighlightRules(rules);

  std::atomic<bool> stop{false};
  std::atomic<uint64_t> packetsSent{0};
  std::thread writer([&] {
    Pty::Bytes packet(20);
    const auto interval = std::chrono::microseconds(1'000'000 / options.Rate);
    auto next = Clock::now();
    uint8_t counter = 0;
    while (!stop.load()) {
      for (int i = 0; i < options.Ports; ++i) {
        for (auto& b : packet) b = counter++;
        if (options.Direct) {
          auto record = MakeRecord(static_cast<uint8_t>(97 + i),
                                   {reinterpret_cast<const char*>(packet.data()), packet.size()});
          record->Time = Now();
          comms.Queue().Append(std::move(record));
        } else {
          wires[static_cast<size_t>(i)].WriteAll(packet);
        }
        packetsSent.fetch_add(1);
      }
      next += interval;
      std::this_thread::sleep_until(next);
    }
  });

  // Let the first packets through before measuring, then run the load.
  QTimer::singleShot(1000, [&] { measuring.store(true); });
  QTimer::singleShot(1000 + options.Seconds * 1000, [&] {
    measuring.store(false);
    stop.store(true);
    app.quit();
  });
  const auto cpuStart = std::clock();
  app.exec();
  writer.join();
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  form.close();
  session.Shutdown();

  const double perTick = options.Ports * options.Rate * 0.050;
  std::printf("window under load: %d ports x %d packets/s of 20 bytes for %d s, %s\n", options.Ports,
              options.Rate, options.Seconds,
              options.Direct ? "records appended to the queue" : "written to the ports");
  std::printf("  display filter         %s; highlight rules %d\n",
              options.Filter ? "every second port left out" : "off", options.Highlights);
  std::printf("  rows shown at the end  %d of %d lines held\n", form.Display()->Shown().Count(),
              session.Drain().LineCount());
  std::printf("  packets written        %llu\n", static_cast<unsigned long long>(packetsSent.load()));
  std::printf("  display packets shown  %u (counter, mod 65536)\n", session.Drain().PacketCounter());
  std::printf("  timer ticks measured   %zu (%.1f per second)\n", ticks.size(),
              static_cast<double>(ticks.size()) / options.Seconds);
  std::printf("  tick work median       %.2f ms\n", static_cast<double>(Percentile(ticks, 0.5)) / 1000.0);
  std::printf("  tick work 99th pct     %.2f ms\n", static_cast<double>(Percentile(ticks, 0.99)) / 1000.0);
  std::printf("  tick work largest      %.2f ms\n", static_cast<double>(Percentile(ticks, 1.0)) / 1000.0);
  std::printf("  largest queue at tick  %zu records (one tick's worth of packets: %.0f)\n", largestQueue,
              perTick);
  std::printf("  process CPU            %.2f s (%.1f %% of one core)\n", cpuSeconds,
              100.0 * cpuSeconds / (options.Seconds + 1));
  return 0;
}
