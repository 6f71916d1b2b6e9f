#include "core/stats/PortStatistics.h"

#include <algorithm>

#include "core/util/Clock.h"

namespace tapwise {

namespace {
bool ValidPort(uint8_t port) { return port >= 1 && port <= MaxComPorts; }
}  // namespace

double BitsPerCharacter(const LineFormat& line) {
  double stop = 1.0;
  if (line.StopBits == StopOneAndHalf) stop = 1.5;
  if (line.StopBits == StopTwo) stop = 2.0;
  return 1.0 + line.DataBits + (line.Parity == ParityNone ? 0.0 : 1.0) + stop;
}

PortStatistics::PortStatistics(MilliClock clock) : m_clock(clock ? std::move(clock) : MilliClock(TickCount)) {}

uint64_t PortStatistics::NowMs() const {
  const uint32_t tick = m_clock();
  if (m_clockStarted) m_elapsed += static_cast<uint32_t>(tick - m_lastTick);
  m_clockStarted = true;
  m_lastTick = tick;
  return m_elapsed;
}

void PortStatistics::Take(const PacketView& packet) {
  const PacketRecord& record = packet.Record();
  if (!ValidPort(record.Port)) return;
  PortCounts& counts = m_ports[record.Port];
  PortFigures& totals = counts.Totals;
  const uint16_t length = std::min(record.Length, PacketCapacity);
  if (record.Origin == OriginReceived) {
    totals.BytesReceived += length;
    ++totals.PacketsReceived;
    const uint8_t kinds = record.ErrorKinds;
    if (kinds & LineErrorFraming) ++totals.Framing;
    if (kinds & LineErrorParity) ++totals.Parity;
    if (kinds & LineErrorOverrun) ++totals.Overrun;
    if (kinds & LineErrorBreak) ++totals.Breaks;
    // A record flagged without a kind still had an error.
    if ((kinds & LineErrorOther) || (record.Error != 0 && kinds == 0)) ++totals.OtherErrors;
  } else {
    totals.BytesSent += length;
    ++totals.PacketsSent;
    if (record.Error != 0) ++totals.FailedSends;
  }
  const uint64_t now = NowMs();
  const uint64_t slice = now / SliceMs;
  const size_t slot = slice % Slices;
  if (counts.SliceNumber[slot] != slice) {
    counts.SliceNumber[slot] = slice;
    counts.SliceBytes[slot] = 0;
  }
  counts.SliceBytes[slot] += length;
  // The rate only grows when bytes come, so its largest value is one seen
  // right here.
  totals.PeakRate = std::max(totals.PeakRate, RateOf(counts, now));
}

double PortStatistics::RateOf(const PortCounts& counts, uint64_t now) const {
  const uint64_t slice = now / SliceMs;
  uint64_t bytes = 0;
  for (size_t i = 0; i < Slices; ++i) {
    // The slices of the last second, this one included; a slot last used
    // longer ago (or never: number 0 with no bytes) adds nothing.
    if (counts.SliceNumber[i] <= slice && slice - counts.SliceNumber[i] < Slices) bytes += counts.SliceBytes[i];
  }
  return static_cast<double>(bytes) * 1000.0 / RateWindowMs;
}

void PortStatistics::Note(External& external, uint64_t total) {
  external.Counted += total >= external.Seen ? total - external.Seen : total;
  external.Seen = total;
}

void PortStatistics::NoteForwarded(uint8_t port, uint64_t total) {
  if (ValidPort(port)) Note(m_ports[port].Forwarded, total);
}

void PortStatistics::NoteReconnects(uint8_t port, uint64_t total) {
  if (ValidPort(port)) Note(m_ports[port].Reconnects, total);
}

void PortStatistics::NoteReturn(uint8_t port) {
  if (ValidPort(port)) ++m_ports[port].Totals.Reconnects;
}

PortFigures PortStatistics::Figures(uint8_t port, const LineFormat& line) const {
  PortFigures figures;
  figures.Port = port;
  if (!ValidPort(port)) return figures;
  const PortCounts& counts = m_ports[port];
  figures = counts.Totals;
  figures.Port = port;
  figures.Forwarded = counts.Forwarded.Counted;
  figures.Reconnects = counts.Totals.Reconnects + counts.Reconnects.Counted;
  figures.Rate = RateOf(counts, NowMs());
  figures.Load = line.BaudRate == 0 ? -1.0 : figures.Rate * BitsPerCharacter(line) * 100.0 / line.BaudRate;
  return figures;
}

void PortStatistics::Reset() {
  for (PortCounts& counts : m_ports) {
    counts.Totals = PortFigures{};
    counts.Forwarded.Counted = 0;
    counts.Reconnects.Counted = 0;
    counts.SliceBytes.fill(0);
  }
}

}  // namespace tapwise
