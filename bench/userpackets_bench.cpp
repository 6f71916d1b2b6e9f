// userpackets_bench: the cost of the user packets and triggers.
//   1. Compiles per second of a typical 40-character packet text.
//   2. One rebuild of a table of 60 triggers (what every edit in the user
//      packets window costs the window's thread).
//   3. Trigger reply latency end to end: a pseudo-terminal opened as COM1
//      through the POSIX backend, a receive thread with PacketGap 10 and a
//      whole-packet trigger; the bench writes the trigger at the far end and
//      times from its last byte written to the reply's first byte read.
//      Median and 99th percentile; target: 99th percentile under
//      PacketGap + 15 ms.
//
//   userpackets_bench [--seconds N] [--replies N]
//     --seconds N   time spent on each of parts 1 and 2 (default 1)
//     --replies N   triggers sent in part 3 (default 300)

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/platform/PosixSerialDevice.h"
#include "core/userpackets/PacketCompiler.h"
#include "core/userpackets/UserPackets.h"
#include "support/Percentile.h"
#include "support/Timing.h"
#include "tests/support/FakeOpener.h"
#include "tests/support/Pty.h"

namespace tapwise {
namespace {

using bench::BenchClock;
using bench::Milliseconds;
using bench::Seconds;

constexpr const char* TypicalText = "02 \"TEMP?\" 1B,$0 $2 00 FF 7E 41 42 $9 $C";

void CompileRate(double seconds) {
  CalcState calc;
  uint8_t buffer[PacketTextCapacity];
  const int32_t count = CompilePacketText(TypicalText, buffer, PacketTextCapacity, calc);
  uint64_t compiles = 0;
  uint64_t produced = 0;
  const auto start = BenchClock::now();
  BenchClock::duration spent{};
  do {
    for (int i = 0; i < 10000; ++i) produced += CompilePacketText(TypicalText, buffer, PacketTextCapacity, calc);
    compiles += 10000;
    spent = BenchClock::now() - start;
  } while (Seconds(spent) < seconds);
  std::printf("compile  %zu-character text (%d bytes): %.2f million/s, %.0f ns each\n", std::strlen(TypicalText),
              count, static_cast<double>(compiles) / Seconds(spent) / 1e6,
              Seconds(spent) * 1e9 / static_cast<double>(compiles));
  if (produced != compiles * static_cast<uint64_t>(count)) std::printf("         (a compile gave another count)\n");
}

void RebuildTime(double seconds) {
  FakeOpener opener;  // every port absent
  TWComms comms(opener);
  std::atomic<uint8_t> selected{1};
  UserMessages messages;
  CalcState calc;
  UserPackets packets(comms, selected, messages, calc);
  for (int row = 1; row <= UserPacketRowCount; ++row) {
    packets.Table().SetTriggerText(row, "01 03 \"STATUS\" " + std::to_string(row % 10) + " $0 $9");
    packets.Table().SetPacketText(row, TypicalText);
  }
  uint64_t rebuilds = 0;
  const auto start = BenchClock::now();
  BenchClock::duration spent{};
  do {
    packets.RebuildTriggerTable();
    ++rebuilds;
    spent = BenchClock::now() - start;
  } while (Seconds(spent) < seconds);
  std::printf("rebuild  60 triggers: %.1f us each (%.0f per second)\n",
              Seconds(spent) * 1e6 / static_cast<double>(rebuilds), static_cast<double>(rebuilds) / Seconds(spent));
}

// Reads count bytes, waiting at most timeoutMs; the time of the first byte
// goes to *first.
bool ReadReply(int fd, size_t count, int timeoutMs, BenchClock::time_point* first) {
  const auto deadline = BenchClock::now() + std::chrono::milliseconds(timeoutMs);
  size_t got = 0;
  uint8_t buffer[256];
  while (got < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - BenchClock::now()).count();
    if (left <= 0) return false;
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(left)) <= 0) continue;
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got));
    if (n > 0) {
      if (got == 0) *first = BenchClock::now();
      got += static_cast<size_t>(n);
    }
  }
  return true;
}

int ReplyLatency(int replies) {
  Pty wire;
  if (!wire.Ok()) {
    std::fprintf(stderr, "no pseudo-terminal: %s\n", wire.Error().c_str());
    return 2;
  }
  // COM1 is the slave of the bench's pseudo-terminal; every other number is absent.
  FakeOpener opener;
  opener.AddFactory(1, [path = wire.SlavePath()] { return PosixSerialDevice::Open(path); });
  TWComms comms(opener);
  comms.PacketGap = 10;
  std::atomic<uint8_t> selected{1};
  UserMessages messages;
  CalcState calc;
  UserPackets packets(comms, selected, messages, calc);
  packets.Table().SetTriggerText(1, "02 \"PING\" 03");
  packets.Table().SetPacketText(1, "02 \"PONG\" $0 03");
  packets.RebuildTriggerTable();
  packets.SetTriggerMode(TriggerMode::WholePacket);
  comms.SetTriggerStep(&packets);
  comms.CreatePorts();
  if (!comms.IsPortPresent(1)) {
    std::fprintf(stderr, "COM1 (%s) did not open\n", wire.SlavePath().c_str());
    return 2;
  }
  const Pty::Bytes trigger = {0x02, 'P', 'I', 'N', 'G', 0x03};
  const size_t replyLength = 7;
  std::vector<double> latencies;
  int lost = 0;
  uint32_t pause = 12345;
  for (int i = 0; i < replies; ++i) {
    // A varying quiet time first, so the trigger meets the receive thread at
    // every point of its 10 ms passes.
    pause = pause * 1103515245u + 12345u;
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + (pause >> 8) % 20000));
    if (!wire.WriteAll(trigger)) {
      comms.DestroyPorts();
      return 2;
    }
    const auto written = BenchClock::now();
    BenchClock::time_point first;
    if (ReadReply(wire.MasterFd(), replyLength, 1000, &first)) {
      latencies.push_back(Milliseconds(first - written));
    } else {
      ++lost;
    }
    // The queue would be drained by the window; here nobody shows it.
    while (comms.Queue().TakeFirst()) {
    }
  }
  comms.DestroyPorts();
  if (latencies.empty()) {
    std::fprintf(stderr, "no reply came back\n");
    return 2;
  }
  std::sort(latencies.begin(), latencies.end());
  const double median = bench::Percentile(latencies, 50);
  const double p99 = bench::Percentile(latencies, 99);
  std::printf("reply    %zu triggers, PacketGap 10 ms: median %.1f ms, 99th percentile %.1f ms, largest %.1f ms, "
              "smallest %.1f ms, no reply %d (target: 99th percentile under 25 ms)\n",
              latencies.size(), median, p99, latencies.back(), latencies.front(), lost);
  return lost == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tapwise

int main(int argc, char** argv) {
  double seconds = 1;
  int replies = 300;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--seconds") {
      seconds = std::atof(argv[i + 1]);
    } else if (option == "--replies") {
      replies = std::atoi(argv[i + 1]);
    } else {
      std::fprintf(stderr, "unknown option %s\n", option.c_str());
      return 2;
    }
  }
  tapwise::CompileRate(seconds);
  tapwise::RebuildTime(seconds);
  return tapwise::ReplyLatency(std::max(1, replies));
}
