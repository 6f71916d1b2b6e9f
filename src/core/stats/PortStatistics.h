#pragma once
// What each port carried since the program started (or since Reset): bytes
// and packets each way, line errors by kind, bytes a tap passed on,
// reconnections, and the rate over the last second with the largest seen.
// It is a packet sink of the session, so it counts every packet of an
// enabled port whatever the display shows (frozen, filtered); the window's
// Statistics window and the headless summary lines read the same figures.
//
// The counts that are kept elsewhere (a tap's forwarded bytes, a network
// port's reconnections) come in as running totals through the Note…
// calls; only their growth counts, and a total that starts again from
// zero (a new device) counts from there.
//
// Rates are taken on a millisecond clock the owner gives (the program's
// tick count; tests pass their own). Tick thread only: Take, the Note…
// calls, Figures and Reset all run where the session's tick runs.

#include <array>
#include <cstdint>
#include <functional>

#include "core/format/PacketSink.h"
#include "core/platform/ComNumbers.h"
#include "core/platform/SerialDevice.h"

namespace tapwise {

struct PortFigures {
  uint8_t Port = 0;
  uint64_t BytesReceived = 0;
  uint64_t PacketsReceived = 0;
  // By this program (typed, user packets, trigger replies, playback); bytes
  // a tap passes on are Forwarded, not sent.
  uint64_t BytesSent = 0;
  uint64_t PacketsSent = 0;
  // Received packets that came with each kind of line error; a packet with
  // two kinds counts in both. Other: an error whose kind the device did not
  // say.
  uint64_t Framing = 0;
  uint64_t Parity = 0;
  uint64_t Overrun = 0;
  uint64_t Breaks = 0;
  uint64_t OtherErrors = 0;
  // Packets of the program's own that could not be written.
  uint64_t FailedSends = 0;
  uint64_t Forwarded = 0;
  // A network port connected again, or a port's device came back.
  uint64_t Reconnects = 0;
  // Bytes per second, both ways together, over the last second; the
  // largest such figure so far.
  double Rate = 0;
  double PeakRate = 0;
  // The rate's share of what the line carries at its settings, in percent:
  // bytes × bits per character / baud rate. Both ways count against one
  // line, as on a shared (two-wire) bus; full duplex can pass 100. Negative
  // when the rate is not known (0 baud).
  double Load = -1;

  uint64_t LineErrors() const { return Framing + Parity + Overrun + Breaks + OtherErrors; }
};

// Start bit, data bits, parity bit and stop bits of one character.
double BitsPerCharacter(const LineFormat& line);

class PortStatistics : public PacketSink {
 public:
  // Milliseconds, wrapping at 2^32 (TickCount).
  using MilliClock = std::function<uint32_t()>;
  static constexpr uint32_t RateWindowMs = 1000;
  static constexpr uint32_t SliceMs = 50;

  explicit PortStatistics(MilliClock clock = {});
  PortStatistics(const PortStatistics&) = delete;
  PortStatistics& operator=(const PortStatistics&) = delete;

  void Take(const PacketView& packet) override;

  // Running totals of the port's: bytes its tap forwarded, connections
  // made again.
  void NoteForwarded(uint8_t port, uint64_t total);
  void NoteReconnects(uint8_t port, uint64_t total);
  // The port's device came back after it had gone.
  void NoteReturn(uint8_t port);

  // The port's figures now, its load reckoned at the line settings given.
  PortFigures Figures(uint8_t port, const LineFormat& line) const;
  // Every count and rate back to zero; running totals count on from here.
  void Reset();

 private:
  static constexpr size_t Slices = RateWindowMs / SliceMs;
  struct External {
    uint64_t Seen = 0;  // the running total last noted
    uint64_t Counted = 0;
  };
  struct PortCounts {
    PortFigures Totals;
    External Forwarded;
    External Reconnects;
    // Bytes by the slice of time they were counted in; a slot holds the
    // slice it was last used for.
    std::array<uint64_t, Slices> SliceBytes{};
    std::array<uint64_t, Slices> SliceNumber{};
  };

  // The clock extended to 64 bits, so that a week-long run never wraps.
  uint64_t NowMs() const;
  double RateOf(const PortCounts& counts, uint64_t now) const;
  static void Note(External& external, uint64_t total);

  MilliClock m_clock;
  mutable uint32_t m_lastTick = 0;
  mutable uint64_t m_elapsed = 0;
  mutable bool m_clockStarted = false;
  std::array<PortCounts, MaxComPorts + 1> m_ports{};  // index 0 unused
};

}  // namespace tapwise
