// recorder_bench: how fast packet data files are written and read, and
// whether a recording keeps up with 16 busy ports.
//
// 1. Writing: records of seeded random bytes go through Recorder::RecordPacket
//    (hex lines, CR LF, one write per packet) into a file; reading: the same
//    file played back through the packet data reader. Each is timed alone,
//    for 20-byte and 4096-byte packets. Then the same records written as
//    pcapng (one block per packet, each written whole).
// 2. 16 pseudo-terminals (COM97..COM112) are fed bursts at 92,160 bytes/s
//    each (921,600 baud) for N seconds while the main thread drains the
//    capture queue every 50 ms, as the window does, into the display lines
//    and a recording (the session's fan-out with both as sinks, so each
//    packet's hex lines are formatted once for the two). Afterwards the file is parsed line by line and every port's
//    bytes are compared with what was sent.
//
//   recorder_bench [--seconds N] [--dir PATH]   (default 15 s, in /tmp)

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/display/DisplayDrain.h"
#include "core/format/HexLines.h"
#include "core/format/PacketDataReader.h"
#include "core/format/RecordFile.h"
#include "core/platform/PortMap.h"
#include "core/recorder/Recorder.h"
#include "core/session/PacketFanOut.h"
#include "core/util/Clock.h"
#include "support/HexLineParser.h"
#include "support/Percentile.h"
#include "support/PtyGroup.h"
#include "support/Random.h"
#include "support/SentStream.h"
#include "support/StreamCheck.h"
#include "support/Timing.h"
#include "tests/support/TestRecords.h"

namespace tapwise {
namespace {

using bench::BenchClock;
using bench::NextRandom;
using bench::SecondsSince;
constexpr int Ports = 16;
constexpr uint8_t FirstPort = 97;
constexpr double BytesPerSecond = 92160.0;

// --- Part 1 ---

uint64_t FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

void MeasureFormat(const std::string& path, uint16_t length, RecorderState format) {
  std::vector<std::unique_ptr<PacketRecord>> records;
  uint64_t seed = 20240611;
  const size_t count = length <= 64 ? 20000 : 500;
  std::string bytes(length, '\0');
  for (size_t i = 0; i < count; ++i) {
    for (char& byte : bytes) byte = static_cast<char>(NextRandom(seed));
    records.push_back(MakeRecord(static_cast<uint8_t>(1 + i % 16), bytes, i % 3 ? OriginReceived : OriginTransmitted));
    records.back()->Time = Now();
  }

  Recorder recorder;
  recorder.SetPortDescriber([](uint8_t port) { return "/dev/ttyUSB" + std::to_string(port); });
  if (!recorder.StartRecordingFile(path, format)) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    std::exit(2);
  }
  uint64_t written = 0;
  BenchClock::time_point start = BenchClock::now();
  double seconds = 0;
  do {
    for (const auto& record : records) recorder.RecordPacket(*record);
    written += records.size();
    seconds = SecondsSince(start);
  } while (seconds < 1.0);
  recorder.Stop();
  if (std::optional<RecordingFailure> failure = recorder.TakeRecordingFailure()) {
    std::fprintf(stderr, "%s\n", failure->Text.c_str());
    std::exit(2);
  }
  const bool pcapng = format == RecorderState::RecordPcapng;
  const double payload = static_cast<double>(written) * length;
  const auto fileBytes = static_cast<double>(FileSize(path));
  std::printf("write %4u-byte packets, %-11s: %9.0f packets/s  %7.1f MB/s of file  %6.1f MB/s of payload\n",
              length, pcapng ? "pcapng" : "packet data", static_cast<double>(written) / seconds,
              fileBytes / seconds / 1e6, payload / seconds / 1e6);
  if (pcapng) {
    unlink(path.c_str());
    return;
  }

  RecordFile file;
  if (!file.OpenForPlaying(path)) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(2);
  }
  PacketDataReader reader;
  PlayPacket packet;
  uint64_t read = 0;
  uint64_t readBytes = 0;
  start = BenchClock::now();
  while (true) {
    if (!reader.Read(file, packet)) {
      std::fprintf(stderr, "layout error after %llu packets\n", static_cast<unsigned long long>(read));
      std::exit(1);
    }
    if (packet.Length > 0) {
      ++read;
      readBytes += packet.Length;
    }
    if (file.AtEnd() && !reader.HasPendingLine()) break;
  }
  seconds = SecondsSince(start);
  std::printf("read  %4u-byte packets, packet data: %9.0f packets/s  %7.1f MB/s of file  %6.1f MB/s of payload%s\n", length,
              static_cast<double>(read) / seconds, static_cast<double>(file.FileSize()) / seconds / 1e6,
              static_cast<double>(readBytes) / seconds / 1e6, read == written ? "" : "  (COUNT MISMATCH)");
  unlink(path.c_str());
}

// --- Part 2 ---

uint8_t StreamByte(int port, uint64_t offset) {
  return static_cast<uint8_t>(offset * 7 + static_cast<uint64_t>(port) * 13 + (offset >> 8));
}

// One port's stream once feeding has ended, for the stream check.
class RecordedStream final : public bench::SentStream {
 public:
  RecordedStream(int port, uint64_t sent) : m_port(port), m_sent(sent) {}
  uint8_t ByteAt(uint64_t offset) const override { return StreamByte(m_port, offset); }
  uint64_t Offered() const override { return m_sent; }
  uint64_t Written() const override { return m_sent; }

 private:
  int m_port;
  uint64_t m_sent;
};

// Counts what the drain hands to the recording, which is the sink after it.
class CountingHook : public PacketSink {
 public:
  void Take(const PacketView& packet) override {
    ++Packets;
    Bytes.fetch_add(packet.Record().Length);
  }
  uint64_t Packets = 0;
  std::atomic<uint64_t> Bytes{0};
};

// Writes each port's stream in bursts of 1..4607 bytes, 20 ms apart or
// more, keeping to 92,160 bytes/s per port. Waits when a pty is full; one
// that takes nothing for a minute ends the feeding, and the check then
// shows what is missing.
void Feed(const std::vector<Pty>& ptys, double seconds, std::vector<uint64_t>& sent) {
  uint64_t seed = 424242;
  const BenchClock::time_point start = BenchClock::now();
  std::vector<uint8_t> burst;
  for (int tick = 0;; ++tick) {
    const double now = SecondsSince(start);
    if (now >= seconds) break;
    for (int p = 0; p < Ports; ++p) {
      // Keep each port on its rate: a port that is behind gets a burst of
      // random size; one that got ahead waits, which makes the longer gaps.
      const double due = BytesPerSecond * now;
      if (static_cast<double>(sent[p]) >= due) continue;
      const size_t size = 1 + NextRandom(seed) % 4607;
      burst.resize(size);
      for (size_t i = 0; i < size; ++i) burst[i] = StreamByte(p, sent[p] + i);
      const bool whole = Pty::WriteAll(ptys[p].MasterFd(), burst, std::chrono::minutes(1));
      sent[p] += size;
      if (!whole) {
        std::fprintf(stderr, "COM%d: the pseudo-terminal took nothing for a minute; feeding stopped\n",
                     FirstPort + p);
        return;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

struct Check {
  uint64_t Lines = 0;
  uint64_t Packets = 0;
  uint64_t Bytes = 0;
  uint64_t Lost = 0;
  uint64_t Wrong = 0;      // bytes late, repeated, or matching nothing sent
  uint64_t Malformed = 0;  // lines that do not parse
  std::vector<std::string> Notes;
};

// Every line must parse as an 80-column hex line with CR LF, name one of
// the fed ports, and its bytes must be the next of that port's stream.
Check CheckRecording(const std::string& path, const std::vector<uint64_t>& sent) {
  std::vector<RecordedStream> streams;
  streams.reserve(Ports);  // the checks hold on to them
  bench::PortChecks checks;
  for (int p = 0; p < Ports; ++p) {
    streams.emplace_back(p, sent[p]);
    checks.push_back(std::make_unique<bench::StreamCheck>(FirstPort + p, streams.back()));
  }
  bench::HexLineParser parser(checks, FirstPort);
  Check check;
  if (FILE* in = std::fopen(path.c_str(), "rb")) {
    std::vector<char> buffer(1 << 16);
    for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) parser.Feed(buffer.data(), n);
    std::fclose(in);
  } else {
    check.Notes.push_back("cannot read " + path);
  }
  parser.Finish();
  for (const auto& port : checks) {
    port->Finish();
    check.Bytes += port->Received;
    check.Lost += port->Lost();
    check.Wrong += port->Reordered + port->Repeated + port->Corrupted;
    check.Notes.insert(check.Notes.end(), port->Notes.begin(), port->Notes.end());
  }
  check.Lines = parser.Lines;
  check.Packets = parser.Packets;
  check.Malformed = parser.Malformed;
  check.Notes.insert(check.Notes.end(), parser.Notes.begin(), parser.Notes.end());
  return check;
}

int KeepUp(const std::string& path, double seconds) {
  std::string problem;
  std::vector<Pty> ptys = bench::MakePtys(Ports, problem);
  if (ptys.empty()) {
    std::fprintf(stderr, "no pseudo-terminal: %s\n", problem.c_str());
    return 2;
  }
  PortMap map;
  for (int p = 0; p < Ports; ++p) {
    if (const Result mapped = map.ApplyOption("-port:" + std::to_string(FirstPort + p) + "=" + ptys[p].SlavePath());
        !mapped) {
      std::fprintf(stderr, "%s\n", mapped.Message().c_str());
      return 2;
    }
  }
  TWComms comms(map);
  comms.CreatePorts();
  for (int p = 0; p < Ports; ++p) {
    if (!comms.IsPortPresent(static_cast<uint8_t>(FirstPort + p))) {
      std::fprintf(stderr, "COM%d did not open\n", FirstPort + p);
      return 2;
    }
    PortSettings settings = comms.GetPortSettings(static_cast<uint8_t>(FirstPort + p));
    settings.BaudRate = 921600;
    comms.SetPortSettings(static_cast<uint8_t>(FirstPort + p), settings);
  }
  Recorder recorder;
  if (!recorder.StartRecordingFile(path, RecorderState::RecordPacketData)) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    return 2;
  }
  CountingHook hook;
  DisplayDrain display;
  PacketFanOut drain(comms);
  drain.AddSink(display);
  drain.AddSink(hook);
  drain.AddSink(recorder);

  std::vector<uint64_t> sent(Ports, 0);
  std::atomic<bool> feeding{true};
  std::thread feeder([&] {
    Feed(ptys, seconds, sent);
    feeding = false;
  });

  std::vector<double> tickMs;
  size_t largestQueue = 0;
  auto tick = BenchClock::now();
  uint64_t sentTotal = 0;
  BenchClock::time_point lastProgress = BenchClock::now();
  uint64_t lastBytes = 0;
  while (true) {
    tick += std::chrono::milliseconds(50);
    std::this_thread::sleep_until(tick);
    largestQueue = std::max(largestQueue, comms.Queue().Count());
    const BenchClock::time_point start = BenchClock::now();
    drain.DrainQueue();
    tickMs.push_back(SecondsSince(start) * 1e3);
    if (std::optional<RecordingFailure> failure = recorder.TakeRecordingFailure()) {
      std::fprintf(stderr, "%s\n", failure->Text.c_str());
      break;
    }
    if (feeding) continue;
    sentTotal = 0;
    for (uint64_t n : sent) sentTotal += n;
    if (hook.Bytes.load() >= sentTotal) break;
    if (hook.Bytes.load() != lastBytes) {
      lastBytes = hook.Bytes.load();
      lastProgress = BenchClock::now();
    } else if (SecondsSince(lastProgress) > 3.0) {
      break;
    }
  }
  feeder.join();
  recorder.Stop();
  comms.DestroyPorts();

  Check check = CheckRecording(path, sent);
  std::sort(tickMs.begin(), tickMs.end());
  std::printf("\n16 ports at 92,160 bytes/s each, %.0f s, drained every 50 ms into a packet data recording:\n",
              seconds);
  std::printf("  bytes sent              %llu (%.0f bytes/s per port)\n", static_cast<unsigned long long>(sentTotal),
              static_cast<double>(sentTotal) / Ports / seconds);
  std::printf("  packets drained         %llu\n", static_cast<unsigned long long>(hook.Packets));
  std::printf("  packets in the file     %llu (%llu lines)\n", static_cast<unsigned long long>(check.Packets),
              static_cast<unsigned long long>(check.Lines));
  std::printf("  bytes in the file       %llu\n", static_cast<unsigned long long>(check.Bytes));
  std::printf("  bytes lost / wrong      %llu / %llu\n", static_cast<unsigned long long>(check.Lost),
              static_cast<unsigned long long>(check.Wrong));
  if (check.Malformed > 0)
    std::printf("  lines that do not parse %llu\n", static_cast<unsigned long long>(check.Malformed));
  std::printf("  drain tick              median %.2f ms, 99%% %.2f ms, largest %.2f ms; largest queue %zu\n",
              bench::Percentile(tickMs, 50), bench::Percentile(tickMs, 99), tickMs.back(), largestQueue);
  unlink(path.c_str());
  const bool ok = check.Lost == 0 && check.Wrong == 0 && check.Malformed == 0 && check.Packets == hook.Packets;
  std::printf("  %s\n", ok ? "every packet and byte is in the file" : "THE RECORDING IS INCOMPLETE");
  for (const std::string& note : check.Notes) std::printf("  - %s\n", note.c_str());
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace tapwise

int main(int argc, char** argv) {
  double seconds = 15;
  std::string dir = "/tmp";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    if (std::strcmp(argv[i], "--dir") == 0) dir = argv[i + 1];
  }
  const std::string path = dir + "/recorder_bench." + std::to_string(getpid()) + ".DAT";
  for (uint16_t length : {uint16_t{20}, uint16_t{4096}}) {
    tapwise::MeasureFormat(path, length, tapwise::RecorderState::RecordPacketData);
  }
  for (uint16_t length : {uint16_t{20}, uint16_t{4096}}) {
    tapwise::MeasureFormat(path, length, tapwise::RecorderState::RecordPcapng);
  }
  return tapwise::KeepUp(path, seconds);
}
