#pragma once
// A port's figures as text: one summary line for the headless monitor's
// standard error and for scripts (key=value words after the port, so that
// awk or a grep finds a figure by name), and the few lines of a port tab's
// hint.

#include <string>

#include "core/stats/PortStatistics.h"

namespace tapwise {

// "COM5 rx_bytes=1234 rx_packets=12 tx_bytes=0 … rate=120 peak=960 load=1.2%"
// (rates in bytes per second; load "-" when it is not known).
std::string FiguresLine(const PortFigures& figures);

// "Received 1234 bytes in 12 packets\nSent …\nErrors …\n…", no final line end.
std::string FiguresHint(const PortFigures& figures);

// "1.2%", or "-" when the load is not known.
std::string LoadText(double load);

}  // namespace tapwise
