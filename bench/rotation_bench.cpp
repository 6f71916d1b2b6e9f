// rotation_bench: two hours of a rotating recording on a fast clock, in
// every record format, by time (every=1m, keeping 10) and by size (64K,
// keeping 10). The recorder is the program's own, fed packets as the tick
// would (several per simulated second, the recording polled once a
// simulated second); the clock is a counter. Reported: files started and
// left, the process's resident memory before and after (it should stay
// flat: growth under 1 MB) and its open descriptors (no file left open).
//
//   rotation_bench [--hours N] [--rate PACKETS_PER_SECOND]
//
// Figures, not pass/fail: exit 1 only when the recording stopped on its own.

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/recorder/Recorder.h"
#include "support/Timing.h"
#include "tests/support/TestRecords.h"

using namespace tapwise;
using namespace tapwise::bench;

namespace {

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

int OpenDescriptors() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(dir);
  return count - 1;  // the listing's own
}

struct Run {
  const char* Label;
  RecorderState Format;
  const char* Name;
  RotationSettings Rotation;
};

}  // namespace

int main(int argc, char** argv) {
  double hours = 2;
  int rate = 4;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--hours" && i + 1 < argc) {
      hours = std::atof(argv[++i]);
    } else if (arg == "--rate" && i + 1 < argc) {
      rate = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: rotation_bench [--hours N] [--rate PACKETS_PER_SECOND]\n");
      return 2;
    }
  }
  char folderTemplate[] = "/tmp/tapwise-rotation-bench-XXXXXX";
  if (!mkdtemp(folderTemplate)) {
    std::perror("rotation_bench: mkdtemp");
    return 2;
  }
  const std::string folder = folderTemplate;
  const Run runs[] = {
      {"packet data, every=1m,10", RecorderState::RecordPacketData, "r.DAT", {0, 60, 10}},
      {"raw, every=1m,10", RecorderState::RecordRaw, "r.bin", {0, 60, 10}},
      {"pcapng, every=1m,10", RecorderState::RecordPcapng, "r.pcapng", {0, 60, 10}},
      {"packet data, 64K,10", RecorderState::RecordPacketData, "s.DAT", {64 * 1024, 0, 10}},
      {"raw, 64K,10", RecorderState::RecordRaw, "s.bin", {64 * 1024, 0, 10}},
      {"pcapng, 64K,10", RecorderState::RecordPcapng, "s.pcapng", {64 * 1024, 0, 10}},
  };
  const auto seconds = static_cast<int64_t>(hours * 3600);
  std::printf("rotating recordings over %g simulated hours, %d packets of 256 bytes a second\n\n", hours, rate);
  std::printf("%-26s %8s %6s %10s %10s %10s %8s %8s\n", "", "started", "left", "RSS KiB", "after", "growth",
              "fds", "after");
  int status = 0;
  for (const Run& run : runs) {
    const std::string sub = folder + "/" + run.Name + ".d";
    std::filesystem::create_directory(sub);
    int64_t now = 1796813998;  // any moment will do; the clock is ours
    Recorder recorder;
    recorder.SetWallClock([&now] { return now; });
    recorder.SetRotation(run.Rotation, false);
    const int fdsBefore = OpenDescriptors();
    if (!recorder.StartRecordingFile(sub + "/" + run.Name, run.Format)) {
      std::printf("%-26s could not start\n", run.Label);
      status = 1;
      continue;
    }
    uint64_t started = 1;
    std::string path = recorder.RecordingPath();
    long rssBefore = 0;
    const auto wall = BenchClock::now();
    for (int64_t second = 0; second < seconds && IsRecordingState(recorder.State()); ++second) {
      // After ten simulated minutes the buffers have their working size.
      if (second == 600) rssBefore = ResidentKiB();
      for (int i = 0; i < rate; ++i) {
        recorder.RecordPacket(*MakeRecord(static_cast<uint8_t>(1 + i % 4), CountingBytes(256)));
      }
      recorder.PollRecording();
      (void)recorder.TakeRecordingNotices();
      if (recorder.RecordingPath() != path) {
        path = recorder.RecordingPath();
        ++started;
      }
      ++now;
    }
    const bool stopped = !IsRecordingState(recorder.State());
    if (stopped) {
      const auto failure = recorder.TakeRecordingFailure();
      std::printf("%-26s stopped: %s\n", run.Label, failure ? failure->Text.c_str() : "?");
      status = 1;
    }
    const int fdsRecording = OpenDescriptors();
    recorder.Stop();
    const long rssAfter = ResidentKiB();
    int left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(sub)) left += entry.is_regular_file() ? 1 : 0;
    std::printf("%-26s %8llu %6d %10ld %10ld %10ld %8d %8d   (%d while recording; %.1f s)\n", run.Label,
                static_cast<unsigned long long>(started), left, rssBefore, rssAfter, rssAfter - rssBefore, fdsBefore,
                OpenDescriptors(), fdsRecording, SecondsSince(wall));
  }
  std::filesystem::remove_all(folder);
  return status;
}
