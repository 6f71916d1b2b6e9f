// find_bench: find over a full display history, and what the history costs.
//
// Fills a PacketHistory (the default bound: 100,000 packets or 64 MB) with
// seeded random packets of a given size range, then times DisplayFind's
// full search (what typing a pattern costs) for patterns with many, few and
// no matches, the per-tick update with 16 ports at 100 packets/s each, and
// the marks of one screenful of rows (what a repaint asks for). It prints
// the median and the worst of the repeats, the history's packet count and
// its memory.
//
//   find_bench [--repeats N]   repeats per figure (default 21)

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/display/DisplayDrain.h"
#include "core/display/PacketHistory.h"
#include "core/session/DisplayFind.h"
#include "core/userpackets/PacketPattern.h"
#include "support/Percentile.h"
#include "support/Random.h"
#include "support/Timing.h"
#include "tests/support/TestRecords.h"

namespace tapwise {
namespace {

using bench::BenchClock;
using bench::Milliseconds;
using bench::NextRandom;

struct Filled {
  size_t Packets;
  double Megabytes;
};

// Random text-like bytes (so that text patterns have something to find),
// one "PING" in every 500 packets.
Filled Fill(PacketHistory& history, size_t count, size_t minLength, size_t maxLength, uint64_t& seed) {
  std::vector<std::string> lines;
  auto record = NewPacketRecord();
  record->Port = 1;
  record->Origin = OriginReceived;
  record->Error = 0;
  record->Time = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t length = minLength + NextRandom(seed) % (maxLength - minLength + 1);
    for (size_t j = 0; j < length; ++j) record->Data[j] = static_cast<uint8_t>(0x20 + NextRandom(seed) % 95);
    if (i % 500 == 250 && length >= 4) std::memcpy(record->Data, "PING", 4);
    record->Length = static_cast<uint16_t>(length);
    PacketView view(*record, static_cast<uint16_t>(i), lines);
    history.Take(view);
  }
  return {history.Count(), static_cast<double>(history.MemoryUsed()) / (1024.0 * 1024.0)};
}

template <typename Work>
std::pair<double, double> Time(int repeats, Work&& work) {
  std::vector<double> figures;
  for (int i = 0; i < repeats; ++i) {
    const auto start = BenchClock::now();
    work();
    figures.push_back(Milliseconds(BenchClock::now() - start));
  }
  std::sort(figures.begin(), figures.end());
  return {bench::Percentile(figures, 50), figures.back()};
}

PacketPattern Compiled(const std::string& text) {
  PacketPattern pattern;
  if (!PacketPattern::Compile(text, pattern)) std::abort();
  return pattern;
}

}  // namespace
}  // namespace tapwise

int main(int argc, char** argv) {
  using namespace tapwise;
  int repeats = 21;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeats") == 0 && i + 1 < argc) {
      repeats = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: find_bench [--repeats N]\n");
      return 2;
    }
  }
  struct Case {
    const char* Name;
    size_t MinLength;
    size_t MaxLength;
  };
  const Case cases[] = {{"packets of 1..32 bytes", 1, 32}, {"packets of 16..128 bytes", 16, 128},
                        {"packets of 400..1000 bytes (the 64 MB bound binds)", 400, 1000}};
  uint64_t seed = 20240611;
  for (const Case& c : cases) {
    DisplayDrain drain;
    PacketHistory history(drain);
    const auto fillStart = BenchClock::now();
    const Filled filled = Fill(history, 100000, c.MinLength, c.MaxLength, seed);
    const double fillMs = Milliseconds(BenchClock::now() - fillStart);
    std::printf("%s: history of %zu packets, %.1f MB (filled in %.0f ms)\n", c.Name, filled.Packets,
                filled.Megabytes, fillMs);
    DisplayFind find(history);
    for (const char* text : {"\"PING\"", "41", "\"no such text\"", "00 01"}) {
      const PacketPattern pattern = Compiled(text);
      const auto [median, worst] = Time(repeats, [&] { find.SetPattern(pattern); });
      std::printf("  find %-16s %8zu matches: median %6.2f ms, worst %6.2f ms\n", text, find.Count(), median, worst);
    }
    // One timer pass with 16 ports at 100 packets/s: 80 new packets, the
    // oldest 80 let go.
    find.SetPattern(Compiled("\"PING\""));
    std::vector<double> updates;
    for (int tick = 0; tick < repeats * 10; ++tick) {
      Fill(history, 80, c.MinLength, c.MaxLength, seed);
      const auto start = BenchClock::now();
      find.Update();
      updates.push_back(Milliseconds(BenchClock::now() - start));
    }
    std::sort(updates.begin(), updates.end());
    std::printf("  update per tick (80 packets): p50 %.3f ms, p99 %.3f ms\n", bench::Percentile(updates, 50),
                bench::Percentile(updates, 99));
    // A screenful: 60 rows' marks, in the middle of the history.
    std::vector<MarkedColumns> marks;
    const uint64_t middle = history.FrontLine() + history.LineCount() / 2;
    const auto [median, worst] = Time(repeats, [&] {
      for (uint64_t line = middle; line < middle + 60; ++line) find.MarksOnLine(line, marks);
    });
    std::printf("  marks of 60 rows: median %.3f ms, worst %.3f ms\n", median, worst);
  }
  return 0;
}
