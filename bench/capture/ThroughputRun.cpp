#include "capture/ThroughputRun.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "capture/Feeder.h"
#include "capture/ReferenceCounter.h"
#include "capture/Traffic.h"
#include "support/BenchProcess.h"
#include "support/HexLineParser.h"
#include "support/PtyGroup.h"
#include "support/StreamCheck.h"
#include "support/Timing.h"

namespace tapwise::bench {

namespace {

// What was written, how often a write had to wait, and the achieved rate
// (bytes/s per port from the start until the group's last byte was taken).
void FeedFigures(const std::vector<FeedTarget>& targets, double seconds, CaptureFigures& figures) {
  for (const FeedTarget& target : targets) {
    seconds = std::max(seconds, target.LastWrite);
    figures.Sent += target.WrittenBytes.load();
    figures.BlockedWrites += target.BlockedWrites;
  }
  figures.FeedRate = static_cast<double>(figures.Sent) / static_cast<double>(targets.size()) / seconds;
}

// One program with its own pseudo-terminals: non-blocking masters, slaves raw.
struct Rig {
  std::vector<Pty> Ptys;
  std::vector<FeedTarget> Targets;
  BenchProcess Process;
};

bool BuildRig(Rig& rig, uint64_t seed, std::string& problem) {
  rig.Ptys = MakePtys(PortCount, problem);
  if (rig.Ptys.empty()) return false;
  rig.Targets = std::vector<FeedTarget>(PortCount);
  for (int p = 0; p < PortCount; ++p) {
    rig.Targets[p].Master = rig.Ptys[p].MasterFd();
    rig.Targets[p].Key = PortKey(seed, p + 1);
  }
  return true;
}

void StopRig(Rig& rig) {
  rig.Process.Stop();
  rig.Ptys.clear();
}

// Waits until every byte written came out of both readers, or until nothing
// moved for 3 s. Whatever tapwise still holds at SIGTERM is never printed.
void WaitForOutput(const PortChecks& checks, const Rig& tapwise, const ReferenceCounter* reference,
                   const Rig& jpnevulator) {
  auto lastProgress = BenchClock::now();
  uint64_t lastTotal = 0;
  for (;;) {
    uint64_t total = reference ? reference->Bytes.load() : 0;
    bool done = true;
    for (size_t p = 0; p < checks.size(); ++p) {
      total += checks[p]->Distinct.load();
      done = done && checks[p]->Distinct.load() == tapwise.Targets[p].WrittenBytes.load();
    }
    if (reference) {
      uint64_t sent = 0;
      for (const FeedTarget& target : jpnevulator.Targets) sent += target.WrittenBytes.load();
      done = done && reference->Bytes.load() >= sent;
    }
    if (done) return;
    if (total != lastTotal) lastTotal = total, lastProgress = BenchClock::now();
    if (SecondsSince(lastProgress) > 3) return;
    SleepSeconds(0.05);
  }
}

}  // namespace

int RunThroughput(const CaptureOptions& options, CaptureFigures& tapwise, CaptureFigures& reference,
                  std::vector<std::string>& problems) {
  PortChecks checks;
  HexLineParser parser(checks);
  ReferenceCounter counter;
  // After the parser and the counter, so that on any way out the programs
  // stop, and their output threads end, before what those threads feed goes.
  Rig monitor, sniffer;
  std::string problem;
  if (!BuildRig(monitor, options.Seed, problem) || (options.Reference && !BuildRig(sniffer, options.Seed, problem)))
    return problems.push_back(problem), 2;

  std::vector<std::string> args = {options.Program, "-headless"};
  for (int p = 0; p < PortCount; ++p) {
    checks.push_back(std::make_unique<StreamCheck>(p + 1, monitor.Targets[p]));
    args.push_back("-port:" + std::to_string(p + 1) + "=" + monitor.Ptys[p].SlavePath());
  }
  if (!monitor.Process.Start(args, [&parser](const char* data, size_t size) { parser.Feed(data, size); }, problem))
    return problems.push_back(problem), 2;
  if (size_t opened = monitor.Process.WaitForPorts(PortCount, 15); opened < PortCount) {
    StopRig(monitor);
    problems.push_back("tapwise opened " + std::to_string(opened) + " of " + std::to_string(PortCount) + " ports");
    for (const std::string& line : monitor.Process.ErrorLines(false)) problems.push_back("tapwise said: " + line);
    return 2;
  }

  if (options.Reference) {
    // The same packet gap as tapwise's default, and the ASCII column too.
    args = {"jpnevulator", "--read", "--timing-print", "--timing-delta=10000", "--ascii"};
    std::vector<std::string> paths;
    for (int p = 0; p < PortCount; ++p) {
      args.push_back("--tty=" + sniffer.Ptys[p].SlavePath() + ":" + std::to_string(p + 1));
      paths.push_back(sniffer.Ptys[p].SlavePath());
    }
    if (!sniffer.Process.Start(args, [&counter](const char* data, size_t size) { counter.Feed(data, size); },
                               problem)) {
      StopRig(monitor);
      return problems.push_back(problem + " (bench/run installs it; or pass --no-reference)"), 2;
    }
    if (!sniffer.Process.WaitUntilOpen(paths, 15)) problems.push_back("jpnevulator did not open all ports");
  }

  std::printf("Feeding %d ports at %.0f bytes/s each for %g s%s...\n", PortCount, PortRate, options.FeedSeconds,
              options.Reference ? ", to tapwise and to jpnevulator" : "");
  std::fflush(stdout);
  std::vector<std::vector<FeedTarget>*> groups = {&monitor.Targets};
  if (options.Reference) groups.push_back(&sniffer.Targets);
  problem = Feed(groups, options.FeedSeconds);
  if (!problem.empty()) problems.push_back(problem);
  WaitForOutput(checks, monitor, options.Reference ? &counter : nullptr, sniffer);

  StopRig(monitor);
  parser.Finish();
  tapwise.Ran = true;
  FeedFigures(monitor.Targets, options.FeedSeconds, tapwise);
  for (const auto& check : checks) {
    check->Finish();
    tapwise.Received += check->Received;
    tapwise.Lost += check->Lost();
    tapwise.Reordered += check->Reordered;
    tapwise.Corrupted += check->Corrupted;
    tapwise.Repeated += check->Repeated;
    tapwise.Notes.insert(tapwise.Notes.end(), check->Notes.begin(), check->Notes.end());
  }
  tapwise.Packets = parser.Packets;
  tapwise.FullPackets = parser.FullPackets;
  tapwise.CpuSeconds = monitor.Process.CpuSeconds();
  tapwise.Exit = monitor.Process.ExitText();
  tapwise.Notes.insert(tapwise.Notes.end(), parser.Notes.begin(), parser.Notes.end());
  auto note = [&](uint64_t count, const char* what) {
    if (count > 0) tapwise.Notes.push_back(std::to_string(count) + what);
  };
  note(parser.Malformed, " output lines did not parse");
  note(parser.Oversize, " packets were longer than 4096 bytes");
  note(parser.ErrorPackets, " packets were flagged ERR (a pty has no line errors)");
  note(parser.SentPackets, " packets were marked as transmitted");
  if (tapwise.Exit != "exit status 0") tapwise.Notes.push_back("ended with " + tapwise.Exit + " after SIGTERM");
  for (const std::string& line : monitor.Process.ErrorLines(false)) tapwise.Notes.push_back("said: " + line);

  if (options.Reference) {
    StopRig(sniffer);
    reference.Ran = true;
    FeedFigures(sniffer.Targets, options.FeedSeconds, reference);
    reference.Received = counter.Bytes.load();
    reference.Lost = reference.Sent > reference.Received ? reference.Sent - reference.Received : 0;
    reference.Packets = counter.Blocks;
    reference.CpuSeconds = sniffer.Process.CpuSeconds();
    reference.Exit = sniffer.Process.ExitText();
    for (const std::string& line : sniffer.Process.ErrorLines(false)) reference.Notes.push_back("said: " + line);
  }
  bool broken = tapwise.Lost + tapwise.Reordered + tapwise.Corrupted + tapwise.Repeated + parser.Malformed +
                    parser.Oversize > 0;
  return broken ? 1 : 0;
}

}  // namespace tapwise::bench
