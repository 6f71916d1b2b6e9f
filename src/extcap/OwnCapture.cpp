#include "extcap/OwnCapture.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "core/session/MonitorSession.h"
#include "core/util/MarkupText.h"
#include "extcap/PcapngStreamSink.h"

namespace tapwise {

namespace {

constexpr auto TickInterval = std::chrono::milliseconds(50);
constexpr auto DrainTime = std::chrono::seconds(1);

void Say(const std::string& text) { std::fprintf(stderr, "tapwise-extcap: %s\n", MarkupToPlainText(text).c_str()); }

void SayAll(const std::vector<std::string>& messages) {
  for (const std::string& text : messages) Say(text);
}

// Waits for the next tick; true when a stop signal came first.
bool StopBefore(const sigset_t& stopSignals, std::chrono::steady_clock::time_point tick) {
  const auto remaining = tick - std::chrono::steady_clock::now();
  if (remaining <= std::chrono::steady_clock::duration::zero()) return false;
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(remaining).count();
  const timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
  return sigtimedwait(&stopSignals, nullptr, &timeout) > 0;
}

}  // namespace

MonitorOptions OwnCaptureOptions(const ExtcapOptions& options, uint8_t port) {
  MonitorOptions monitor;
  monitor.PortOptions = options.PortOptions;
  if (port != 0) {
    // One port's interface opens that port alone, even among mapped ones.
    monitor.OnlyGiven = true;
    monitor.Only.set(port);
    monitor.Exclude.set();
    monitor.Exclude.reset(port);
    monitor.Exclude.reset(0);
  } else if (options.PortsGiven) {
    monitor.OnlyGiven = true;
    monitor.Only = options.Ports;
  }
  if (options.LineGiven) monitor.LineOptions.push_back({0, options.Line, "--line " + options.LineText});
  monitor.LinkType = options.LinkType;
  return monitor;
}

int RunOwnCapture(const ExtcapOptions& options, uint8_t port, FifoOutput& out, const sigset_t& stopSignals) {
  MonitorSession session;
  PcapngStreamSink sink(out, static_cast<uint16_t>(options.LinkType),
                        [&session](uint8_t n) { return session.PortDescription(n); });
  const Result started = session.Start(OwnCaptureOptions(options, port));
  SayAll(session.Messages().TakeAll());
  if (!started) {
    Say(started.Message());
    return started.Code();
  }
  for (const std::string& line : session.Report().UnusablePorts) Say(line);
  if (options.GapGiven) session.SetPacketGap(static_cast<uint16_t>(options.Gap));
  sink.Begin(session.PresentPorts());
  session.AddSink(sink);

  int status = 0;
  auto tick = std::chrono::steady_clock::now() + TickInterval;
  while (!StopBefore(stopSignals, tick)) {
    if (std::chrono::steady_clock::now() < tick) continue;
    const TickEvents events = session.Tick();
    SayAll(events.Messages);
    if (out.ReaderGone()) break;
    if (Result flushed = out.Flush(); !flushed) {
      if (!out.ReaderGone()) {
        Say(flushed.Message());
        status = 1;
      }
      break;
    }
    tick += TickInterval;
    if (tick < std::chrono::steady_clock::now()) tick = std::chrono::steady_clock::now() + TickInterval;
  }
  // The ports close first; what was drained before is still on its way.
  session.Shutdown();
  session.RemoveSink(sink);
  SayAll(session.Messages().TakeAll());
  out.Drain(DrainTime);
  return status;
}

}  // namespace tapwise
