#include "capture/CaptureReport.h"

#include <cstdint>
#include <cstdio>

namespace tapwise::bench {

namespace {

std::string Count(uint64_t value) {
  std::string digits = std::to_string(value), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

void Row(const char* label, const std::string& a, const std::string& b, const char* target = "") {
  std::printf("  %-40s %15s %18s   %s\n", label, a.c_str(), b.c_str(), target);
}

}  // namespace

void Report(const CaptureOptions& options, const CaptureFigures& tapwise, const CaptureFigures& reference,
            const IdleFigures& idle, const std::vector<std::string>& problems) {
  std::printf("\n=== Tapwise capture benchmark (seed %llu) ===\n", static_cast<unsigned long long>(options.Seed));
  if (tapwise.Ran) {
    auto other = [&](const std::string& value) { return reference.Ran ? value : std::string("-"); };
    std::printf("\nThroughput: %d ports x %.0f bytes/s (921,600 baud), %g s of bursts\n\n", PortCount, PortRate,
                options.FeedSeconds);
    Row("", "tapwise", "jpnevulator", "target");
    Row("bytes sent", Count(tapwise.Sent), other(Count(reference.Sent)));
    Row("bytes received (parsed from its output)", Count(tapwise.Received), other(Count(reference.Received)));
    Row("bytes lost", Count(tapwise.Lost), other(Count(reference.Lost)), "0");
    Row("bytes reordered / corrupted", Count(tapwise.Reordered) + " / " + Count(tapwise.Corrupted), "-",
        "0 / 0");
    Row("extra bytes (repeated + corrupted)", Count(tapwise.Repeated + tapwise.Corrupted), "-", "0");
    Row("packets (jpnevulator: blocks)", Count(tapwise.Packets), other(Count(reference.Packets)));
    Row("packets of exactly 4096 bytes", Count(tapwise.FullPackets), "-");
    Row("CPU seconds (user+sys)", Fixed(tapwise.CpuSeconds, 2), other(Fixed(reference.CpuSeconds, 2)));
    Row("achieved feed rate (bytes/s per port)", Fixed(tapwise.FeedRate, 0), other(Fixed(reference.FeedRate, 0)),
        "92160");
    Row("feeder writes that had to wait", Count(tapwise.BlockedWrites), other(Count(reference.BlockedWrites)));
    Row("end after SIGTERM", tapwise.Exit, other(reference.Exit));
    std::printf("\n");
    if (reference.Ran && reference.CpuSeconds > 0) {
      double ratio = tapwise.CpuSeconds / reference.CpuSeconds;
      std::printf("  CPU ratio tapwise / jpnevulator: %.2f   target: at most 1.00   %s\n", ratio,
                  ratio <= 1.0 ? "met" : "NOT MET");
    }
    bool intact = tapwise.Lost + tapwise.Reordered + tapwise.Corrupted + tapwise.Repeated == 0;
    std::printf("  Integrity: %s   target: 0 bytes lost, reordered or corrupted   %s\n",
                intact ? "every byte came out once, in order" : "BYTES LOST, REORDERED, CORRUPTED OR ADDED",
                intact ? "met" : "NOT MET");
  }
  if (!idle.Phases.empty()) {
    std::printf("\nIdle: %zu virtual ports, %d threads; CPU from /proc/<pid>/stat (10 ms steps) over:\n\n",
                idle.Ports, idle.Threads);
  }
  for (const IdlePhase& phase : idle.Phases) {
    double percent = phase.CpuSeconds / phase.Seconds * 100.0;
    std::printf("  %-38s %5.1f s: %6.2f s CPU = %5.2f %% of one core   target: under 3 %%   %s\n",
                phase.Label.c_str(), phase.Seconds, phase.CpuSeconds, percent, percent < 3.0 ? "met" : "NOT MET");
  }
  std::vector<std::string> notes = problems;
  for (const std::string& note : tapwise.Notes) notes.push_back("tapwise: " + note);
  for (const std::string& note : reference.Notes) notes.push_back("jpnevulator: " + note);
  if (!notes.empty()) std::printf("\nNotes:\n");
  for (const std::string& note : notes) std::printf("  - %s\n", note.c_str());
  std::printf("\n");
}

}  // namespace tapwise::bench
