// The tap benchmark. Four taps in one monitor, each direction of each fed
// at 92,160 bytes/s in bursts: bytes lost (target 0), the latency from a
// burst written on one side to its first byte read on the other (median and
// 99th percentile) beside the same figures of a plain poll/read/write copy
// between the same kind of pseudo-terminals in the same run (target: the
// taps add at most 2 ms at the 99th percentile), and the monitor's CPU time per MB against a second run of the monitor
// receiving the same bytes on plain ports without taps.
//
//   build/bench/tap_bench [--seconds N] [--taps N]

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/BenchProcess.h"
#include "support/Percentile.h"
#include "support/PtyGroup.h"
#include "support/Timing.h"
#include "tap/DirectCopy.h"
#include "tap/Streams.h"

namespace tapwise::bench {
namespace {

constexpr double Rate = 92160;       // bytes per second, each direction
constexpr double BurstSeconds = 0.05;  // one burst every 50 ms
constexpr double WarmUpSeconds = 1.0;

struct Options {
  double Seconds = 30;
  size_t Taps = 4;
};

struct Figures {
  uint64_t Written = 0;
  uint64_t Lost = 0;  // written and never read, or read wrong
  std::vector<double> Latencies;
};

Figures Collect(const std::vector<std::unique_ptr<Stream>>& streams, size_t from, size_t to) {
  Figures figures;
  for (size_t s = from; s < to; ++s) {
    const Stream& stream = *streams[s];
    figures.Written += stream.Written;
    figures.Lost += (stream.Written - std::min(stream.Read, stream.Written)) + stream.Wrong;
    figures.Latencies.insert(figures.Latencies.end(), stream.LatenciesMs.begin(), stream.LatenciesMs.end());
  }
  std::sort(figures.Latencies.begin(), figures.Latencies.end());
  return figures;
}

void PrintLatency(const char* name, const Figures& figures) {
  if (figures.Latencies.empty()) {
    std::printf("%-22s no bursts arrived\n", name);
    return;
  }
  std::printf("%-22s %10llu bytes, %llu lost; latency median %.3f ms, p99 %.3f ms, max %.3f ms (%zu bursts)\n",
              name, static_cast<unsigned long long>(figures.Written), static_cast<unsigned long long>(figures.Lost),
              Percentile(figures.Latencies, 50), Percentile(figures.Latencies, 99), figures.Latencies.back(),
              figures.Latencies.size());
}

std::unique_ptr<Stream> MakeStream(int writeFd, int readFd) {
  auto stream = std::make_unique<Stream>();
  stream->WriteFd = writeFd;
  stream->ReadFd = readFd;
  return stream;
}

// The slave path printed for COM `com`: "COMn /dev/pts/N (tap of …)".
std::string AppPath(const BenchProcess& monitor, size_t com) {
  const std::string prefix = "COM" + std::to_string(com) + " ";
  for (const std::string& line : monitor.ErrorLines(true)) {
    if (line.rfind(prefix, 0) == 0 && line.find("(tap of") != std::string::npos) {
      return line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size());
    }
  }
  return {};
}

void Measure(std::vector<std::unique_ptr<Stream>>& streams, const Options& options) {
  StreamRun run(streams, Rate, BurstSeconds);
  SleepSeconds(WarmUpSeconds);
  for (auto& stream : streams) stream->Measure.store(true);
  SleepSeconds(options.Seconds);
  run.Finish(1.0);
}

int Run(const Options& options) {
  std::string problem;
  // Per tap: the device's pty (benchmark holds the master); per reference
  // copy: the device's pty and the application's.
  std::vector<Pty> devices = MakePtys(options.Taps, problem);
  std::vector<Pty> copyDevices = MakePtys(options.Taps, problem);
  std::vector<Pty> copyApps = MakePtys(options.Taps, problem);
  if (devices.empty() || copyDevices.empty() || copyApps.empty()) {
    std::fprintf(stderr, "tap_bench: %s\n", problem.c_str());
    return 1;
  }

  std::vector<std::string> args = {TAPWISE_PROGRAM, "-headless"};
  for (size_t i = 0; i < options.Taps; ++i) {
    args.push_back("-tap:" + std::to_string(97 + 2 * i) + "," + std::to_string(98 + 2 * i) + "=" +
                   devices[i].SlavePath());
  }
  uint64_t shown = 0;
  BenchProcess monitor;
  if (!monitor.Start(args, [&](const char*, size_t size) { shown += size; }, problem) ||
      monitor.WaitForPorts(2 * options.Taps, 10) < 2 * options.Taps) {
    std::fprintf(stderr, "tap_bench: the monitor did not start: %s\n", problem.c_str());
    return 1;
  }
  std::vector<int> apps;
  for (size_t i = 0; i < options.Taps; ++i) {
    const std::string path = AppPath(monitor, 98 + 2 * i);
    apps.push_back(Pty::OpenPlain(path));
    if (apps.back() < 0) {
      std::fprintf(stderr, "tap_bench: cannot open the application's side %s\n", path.c_str());
      return 1;
    }
  }
  std::vector<std::unique_ptr<DirectCopy>> copies;
  std::vector<int> copyAppFds;
  for (size_t i = 0; i < options.Taps; ++i) {
    copies.push_back(std::make_unique<DirectCopy>(copyDevices[i].SlavePath(), copyApps[i].MasterFd()));
    copyAppFds.push_back(Pty::OpenPlain(copyApps[i].SlavePath()));
  }

  // Streams 0..2T-1 through the taps, 2T..4T-1 through the plain copies.
  std::vector<std::unique_ptr<Stream>> streams;
  for (size_t i = 0; i < options.Taps; ++i) {
    streams.push_back(MakeStream(devices[i].MasterFd(), apps[i]));
    streams.push_back(MakeStream(apps[i], devices[i].MasterFd()));
  }
  for (size_t i = 0; i < options.Taps; ++i) {
    streams.push_back(MakeStream(copyDevices[i].MasterFd(), copyAppFds[i]));
    streams.push_back(MakeStream(copyAppFds[i], copyDevices[i].MasterFd()));
  }
  // The monitor may still be in its first wait for the applications.
  SleepSeconds(0.5);
  Measure(streams, options);
  monitor.Stop();
  const double tapCpu = monitor.CpuSeconds();
  const Figures taps = Collect(streams, 0, 2 * options.Taps);
  const Figures direct = Collect(streams, 2 * options.Taps, 4 * options.Taps);
  for (int fd : apps) close(fd);
  for (int fd : copyAppFds) close(fd);
  copies.clear();

  // The same bytes into a monitor without taps: each direction's stream
  // goes into a plain port of its own.
  std::vector<Pty> plain = MakePtys(2 * options.Taps, problem);
  std::vector<std::string> plainArgs = {TAPWISE_PROGRAM, "-headless"};
  for (size_t i = 0; i < plain.size(); ++i) {
    plainArgs.push_back("-port:" + std::to_string(97 + i) + "=" + plain[i].SlavePath());
  }
  BenchProcess plainMonitor;
  if (plain.empty() || !plainMonitor.Start(plainArgs, {}, problem) ||
      plainMonitor.WaitForPorts(plain.size(), 10) < plain.size()) {
    std::fprintf(stderr, "tap_bench: the monitor without taps did not start: %s\n", problem.c_str());
    return 1;
  }
  std::vector<std::unique_ptr<Stream>> plainStreams;
  for (Pty& pty : plain) plainStreams.push_back(MakeStream(pty.MasterFd(), -1));
  Measure(plainStreams, options);
  plainMonitor.Stop();
  const double plainCpu = plainMonitor.CpuSeconds();
  uint64_t plainBytes = 0;
  for (const auto& stream : plainStreams) plainBytes += stream->Written;

  std::printf("%zu taps, each direction %.0f bytes/s in bursts of %.0f bytes, %.0f s measured\n", options.Taps,
              Rate, Rate * BurstSeconds, options.Seconds);
  PrintLatency("through the taps", taps);
  PrintLatency("plain copy", direct);
  const double tapMb = static_cast<double>(taps.Written) / 1e6;
  const double plainMb = static_cast<double>(plainBytes) / 1e6;
  std::printf("CPU: with taps %.2f s for %.1f MB (%.3f s/MB, each byte received, shown and passed on)\n", tapCpu,
              tapMb, tapCpu / tapMb);
  std::printf("     no taps   %.2f s for %.1f MB (%.3f s/MB, each byte received and shown)\n", plainCpu, plainMb,
              plainCpu / plainMb);
  std::printf("output: %llu bytes of packet lines with taps\n", static_cast<unsigned long long>(shown));
  // The plain copy shows what the machine itself adds (scheduling, the
  // pseudo-terminals): the tap is held to what it adds on top.
  const bool arrived = !taps.Latencies.empty() && !direct.Latencies.empty();
  const double addedMedian = arrived ? Percentile(taps.Latencies, 50) - Percentile(direct.Latencies, 50) : 0;
  const double addedP99 = arrived ? Percentile(taps.Latencies, 99) - Percentile(direct.Latencies, 99) : 0;
  std::printf("added by the taps: median %+.3f ms, p99 %+.3f ms\n", addedMedian, addedP99);
  const bool met = taps.Lost == 0 && arrived && addedP99 <= 2.0;
  std::printf("target (0 lost, added p99 <= 2 ms): %s\n", met ? "met" : "NOT met");
  return met ? 0 : 3;
}

}  // namespace
}  // namespace tapwise::bench

int main(int argc, char** argv) {
  tapwise::bench::Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0) options.Seconds = std::atof(argv[i + 1]);
    if (std::strcmp(argv[i], "--taps") == 0) options.Taps = static_cast<size_t>(std::atoi(argv[i + 1]));
  }
  if (options.Seconds <= 0 || options.Taps == 0 || options.Taps > 15) {
    std::fprintf(stderr, "usage: tap_bench [--seconds N] [--taps 1..15]\n");
    return 2;
  }
  return tapwise::bench::Run(options);
}
