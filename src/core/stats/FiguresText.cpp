#include "core/stats/FiguresText.h"

#include <cmath>
#include <cstdio>

#include "core/platform/ComNumbers.h"

namespace tapwise {

namespace {
std::string Whole(double value) { return std::to_string(static_cast<uint64_t>(std::llround(std::max(value, 0.0)))); }
std::string Count(uint64_t value) { return std::to_string(value); }
}  // namespace

std::string LoadText(double load) {
  if (load < 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", load);
  return text;
}

std::string FiguresLine(const PortFigures& f) {
  return ComName(f.Port) + " rx_bytes=" + Count(f.BytesReceived) + " rx_packets=" + Count(f.PacketsReceived) +
         " tx_bytes=" + Count(f.BytesSent) + " tx_packets=" + Count(f.PacketsSent) + " framing=" + Count(f.Framing) +
         " parity=" + Count(f.Parity) + " overrun=" + Count(f.Overrun) + " break=" + Count(f.Breaks) +
         " other_errors=" + Count(f.OtherErrors) + " failed_sends=" + Count(f.FailedSends) +
         " forwarded=" + Count(f.Forwarded) + " reconnects=" + Count(f.Reconnects) + " rate=" + Whole(f.Rate) +
         " peak=" + Whole(f.PeakRate) + " load=" + LoadText(f.Load);
}

std::string FiguresHint(const PortFigures& f) {
  std::string hint = "Received " + Count(f.BytesReceived) + " bytes in " + Count(f.PacketsReceived) + " packets\n" +
                     "Sent " + Count(f.BytesSent) + " bytes in " + Count(f.PacketsSent) + " packets\n" +
                     "Errors: framing " + Count(f.Framing) + ", parity " + Count(f.Parity) + ", overrun " +
                     Count(f.Overrun) + ", break " + Count(f.Breaks);
  if (f.OtherErrors != 0) hint += ", other " + Count(f.OtherErrors);
  if (f.FailedSends != 0) hint += "\nFailed sends " + Count(f.FailedSends);
  if (f.Forwarded != 0) hint += "\nForwarded " + Count(f.Forwarded) + " bytes";
  if (f.Reconnects != 0) hint += "\nReconnects " + Count(f.Reconnects);
  hint += "\nRate " + Whole(f.Rate) + " B/s (peak " + Whole(f.PeakRate) + "), load " + LoadText(f.Load);
  return hint;
}

}  // namespace tapwise
