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
//    capture queue every 50 ms, as the window does, through DisplayDrain into
//    a recording. Afterwards the file is parsed line by line and every port's
//    bytes are compared with what was sent.
//
//   recorder_bench [--seconds N] [--dir PATH]   (default 15 s, in /tmp)

#include <poll.h>
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
#include "core/platform/PortMap.h"
#include "core/platform/PseudoTerminal.h"
#include "core/format/PacketDataReader.h"
#include "core/format/RecordFile.h"
#include "core/recorder/Recorder.h"
#include "core/util/Clock.h"

namespace tapwise {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int Ports = 16;
constexpr uint8_t FirstPort = 97;
constexpr double BytesPerSecond = 92160.0;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

uint64_t NextRandom(uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}

// --- Part 1 ---

uint64_t FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

void MeasureFormat(const std::string& path, uint16_t length, RecorderState format) {
  std::vector<std::unique_ptr<PacketRecord>> records;
  uint64_t seed = 20240611;
  const size_t count = length <= 64 ? 20000 : 500;
  for (size_t i = 0; i < count; ++i) {
    auto record = NewPacketRecord();
    record->Port = static_cast<uint8_t>(1 + i % 16);
    record->Origin = i % 3 ? OriginReceived : OriginTransmitted;
    record->Error = 0;
    record->Time = Now();
    record->Length = length;
    for (uint16_t j = 0; j < length; ++j) record->Data[j] = static_cast<uint8_t>(NextRandom(seed));
    records.push_back(std::move(record));
  }

  Recorder recorder;
  recorder.SetPortDescriber([](uint8_t port) { return "/dev/ttyUSB" + std::to_string(port); });
  if (!recorder.StartRecordingFile(path, format)) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    std::exit(2);
  }
  uint64_t written = 0;
  Clock::time_point start = Clock::now();
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
  start = Clock::now();
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

// Counts what the drain hands to the recording, then passes it on.
class CountingHook : public RecordingHook {
 public:
  explicit CountingHook(Recorder& recorder) : m_recorder(recorder) {}
  bool Paused() const override { return m_recorder.Paused(); }
  void RecordPacket(const PacketRecord& record) override {
    ++Packets;
    Bytes.fetch_add(record.Length);
    m_recorder.RecordPacket(record);
  }
  uint64_t Packets = 0;
  std::atomic<uint64_t> Bytes{0};

 private:
  Recorder& m_recorder;
};

// Writes each port's stream in bursts of 1..4607 bytes, 20 ms apart or
// more, keeping to 92,160 bytes/s per port. Waits (poll) when a pty is full.
void Feed(const std::vector<std::unique_ptr<PseudoTerminal>>& ptys, double seconds,
          std::vector<uint64_t>& sent) {
  uint64_t seed = 424242;
  const Clock::time_point start = Clock::now();
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
      size_t done = 0;
      while (done < size) {
        ssize_t n = write(ptys[p]->MasterFd(), burst.data() + done, size - done);
        if (n > 0) {
          done += static_cast<size_t>(n);
        } else {
          pollfd out{ptys[p]->MasterFd(), POLLOUT, 0};
          poll(&out, 1, 10);
        }
      }
      sent[p] += size;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

struct Check {
  uint64_t Lines = 0;
  uint64_t Packets = 0;
  uint64_t Bytes = 0;
  uint64_t Bad = 0;  // bytes that are not the next of their port's stream
  std::vector<uint64_t> PerPort = std::vector<uint64_t>(Ports, 0);
};

uint8_t HexNibble(char c) { return static_cast<uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10); }

// Every line is 80 characters and CR LF; a header names the port; each
// byte must be the next one of that port's stream.
Check CheckRecording(const std::string& path) {
  Check check;
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return check;
  char line[HexLineWidth + 2];
  int port = -1;
  while (std::fread(line, 1, sizeof line, in) == sizeof line) {
    ++check.Lines;
    if (line[80] != '\r' || line[81] != '\n') {
      ++check.Bad;
      break;
    }
    if (line[0] != ' ') {
      ++check.Packets;
      port = static_cast<uint8_t>(line[3]) - 87 - FirstPort;
    }
    if (port < 0 || port >= Ports) {
      ++check.Bad;
      continue;
    }
    for (int j = 0; j < 16; ++j) {
      const int column = 13 + 3 * j + j / 4;  // 0-based
      if (line[column] == ' ') break;
      const uint8_t byte = static_cast<uint8_t>(HexNibble(line[column]) * 16 + HexNibble(line[column + 1]));
      if (byte != StreamByte(port, check.PerPort[port])) ++check.Bad;
      ++check.PerPort[port];
      ++check.Bytes;
    }
  }
  std::fclose(in);
  return check;
}

int KeepUp(const std::string& path, double seconds) {
  std::vector<std::unique_ptr<PseudoTerminal>> ptys;
  PortMap map;
  for (int p = 0; p < Ports; ++p) {
    std::string error;
    ptys.push_back(PseudoTerminal::Create(&error));
    if (!ptys.back()) {
      std::fprintf(stderr, "no pseudo-terminal: %s\n", error.c_str());
      return 2;
    }
    const std::string option = "-port:" + std::to_string(FirstPort + p) + "=" + ptys.back()->SlavePath();
    if (const Result mapped = map.ApplyOption(option); !mapped) {
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
  CountingHook hook(recorder);
  DisplayDrain drain(comms);
  drain.SetRecordingHook(&hook);

  std::vector<uint64_t> sent(Ports, 0);
  std::atomic<bool> feeding{true};
  std::thread feeder([&] {
    Feed(ptys, seconds, sent);
    feeding = false;
  });

  std::vector<double> tickMs;
  size_t largestQueue = 0;
  auto tick = Clock::now();
  uint64_t sentTotal = 0;
  Clock::time_point lastProgress = Clock::now();
  uint64_t lastBytes = 0;
  while (true) {
    tick += std::chrono::milliseconds(50);
    std::this_thread::sleep_until(tick);
    largestQueue = std::max(largestQueue, comms.Queue().Count());
    const Clock::time_point start = Clock::now();
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
      lastProgress = Clock::now();
    } else if (SecondsSince(lastProgress) > 3.0) {
      break;
    }
  }
  feeder.join();
  recorder.Stop();
  comms.DestroyPorts();

  Check check = CheckRecording(path);
  std::sort(tickMs.begin(), tickMs.end());
  uint64_t lost = 0;
  for (int p = 0; p < Ports; ++p) lost += sent[p] > check.PerPort[p] ? sent[p] - check.PerPort[p] : 0;
  std::printf("\n16 ports at 92,160 bytes/s each, %.0f s, drained every 50 ms into a packet data recording:\n",
              seconds);
  std::printf("  bytes sent              %llu (%.0f bytes/s per port)\n", static_cast<unsigned long long>(sentTotal),
              static_cast<double>(sentTotal) / Ports / seconds);
  std::printf("  packets drained         %llu\n", static_cast<unsigned long long>(hook.Packets));
  std::printf("  packets in the file     %llu (%llu lines)\n", static_cast<unsigned long long>(check.Packets),
              static_cast<unsigned long long>(check.Lines));
  std::printf("  bytes in the file       %llu\n", static_cast<unsigned long long>(check.Bytes));
  std::printf("  bytes lost / wrong      %llu / %llu\n", static_cast<unsigned long long>(lost),
              static_cast<unsigned long long>(check.Bad));
  std::printf("  drain tick              median %.2f ms, 99%% %.2f ms, largest %.2f ms; largest queue %zu\n",
              tickMs[tickMs.size() / 2], tickMs[tickMs.size() * 99 / 100], tickMs.back(), largestQueue);
  unlink(path.c_str());
  const bool ok = lost == 0 && check.Bad == 0 && check.Packets == hook.Packets;
  std::printf("  %s\n", ok ? "every packet and byte is in the file" : "THE RECORDING IS INCOMPLETE");
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
