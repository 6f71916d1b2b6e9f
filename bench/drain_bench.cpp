// drain_bench: how fast the 50 ms drain turns queued packets into display
// lines, with nothing else in the way (no ports feeding, no window drawing).
//
// For each packet size and display mode it builds batches of records with
// seeded random bytes, appends a batch to the capture queue, and times only
// the session's drain (PacketFanOut::DrainQueue) with the display as its one
// sink: take each record, count it, add its hex lines or ASCII text to the
// ring, free it. It prints packets per second and what they amount to.
// The "hex+st" rows add the statistics sink beside the display, as the
// session has it, to show what counting costs.
//
//   drain_bench [--seconds N]   time spent draining per case (default 1)

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/display/DisplayDrain.h"
#include "core/session/PacketFanOut.h"
#include "core/stats/PortStatistics.h"
#include "core/util/Clock.h"
#include "support/Random.h"
#include "support/Timing.h"
#include "tests/support/FakeOpener.h"
#include "tests/support/TestRecords.h"

namespace tapwise {
namespace {

using bench::BenchClock;
using bench::NextRandom;

// What a window would do per call: note it, nothing more.
class CountingListener : public DisplayListener {
 public:
  void PacketShown() override { ++Scrolls; }
  void LineFinished(const DisplayLine&) override { ++Lines; }
  uint64_t Scrolls = 0;
  uint64_t Lines = 0;
};

struct Result {
  uint64_t Packets = 0;
  uint64_t Lines = 0;
  double Seconds = 0;
};

Result Measure(TWComms& comms, uint16_t packetLength, bool hexMode, bool withStatistics, double minSeconds) {
  DisplayDrain display;
  display.SetHexDisplay(hexMode);
  CountingListener listener;
  display.SetListener(&listener);
  PacketFanOut drain(comms);
  PortStatistics statistics;
  if (withStatistics) drain.AddSink(statistics);
  drain.AddSink(display);
  // Batches of about 20 MB of records, so that building them stays cheap
  // next to the drain and memory stays small.
  const size_t batch = packetLength <= 64 ? 5000 : 500;
  uint64_t seed = 20240611;
  std::string bytes(packetLength, '\0');
  Result result;
  while (result.Seconds < minSeconds) {
    for (size_t i = 0; i < batch; ++i) {
      for (uint16_t at = 0; at < packetLength; at += 8) {
        uint64_t random = NextRandom(seed);
        std::memcpy(bytes.data() + at, &random, packetLength - at < 8 ? packetLength - at : 8);
      }
      std::unique_ptr<PacketRecord> record = MakeRecord(1, bytes);
      record->Time = Now();
      comms.Queue().Append(std::move(record));
    }
    BenchClock::time_point start = BenchClock::now();
    result.Packets += drain.DrainQueue();
    result.Seconds += bench::SecondsSince(start);
  }
  // Hex lines are reported as they are written; ASCII lines when the next
  // starts, so the open one is not counted.
  result.Lines = listener.Lines;
  return result;
}

}  // namespace
}  // namespace tapwise

int main(int argc, char** argv) {
  using namespace tapwise;
  double seconds = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: drain_bench [--seconds N]\n");
      return 2;
    }
  }
  // A port that is present and enabled but never has anything to read, so
  // the drain's port check runs exactly as with a real port.
  FakeOpener opener;
  opener.AddFake(1);
  TWComms comms(opener);
  comms.CreatePorts();
  if (!comms.IsPortEnabled(1)) {
    std::fprintf(stderr, "drain_bench: the quiet port did not open\n");
    return 2;
  }

  std::printf("drain alone: records -> display lines (random bytes, %.1f s per case)\n\n", seconds);
  std::printf("%-8s %-6s %14s %14s %12s %12s\n", "packet", "mode", "packets/s", "lines/s", "MB/s", "us/packet");
  for (uint16_t length : {uint16_t{20}, uint16_t{4096}}) {
    for (int mode = 0; mode < 3; ++mode) {
      const bool hex = mode != 1;
      Result r = Measure(comms, length, hex, mode == 2, seconds);
      double packetsPerSecond = static_cast<double>(r.Packets) / r.Seconds;
      std::printf("%-8s %-6s %14.0f %14.0f %12.1f %12.2f\n", (std::to_string(length) + " B").c_str(),
                  mode == 2 ? "hex+st" : hex ? "hex" : "ASCII", packetsPerSecond, static_cast<double>(r.Lines) / r.Seconds,
                  packetsPerSecond * length / 1e6, 1e6 / packetsPerSecond);
    }
  }
  comms.DestroyPorts();
  return 0;
}
