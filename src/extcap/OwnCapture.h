#pragma once
// A capture with no monitor running: this program opens the ports itself
// through a monitor session of its own (the same core as the monitor's:
// port map, receive threads, packet gap) and writes its packets as pcapng
// into the FIFO. Only the ports the interface and the configuration name
// are opened, nothing is ever sent, and the session serves a live feed of
// its own, so that another capture can join it.

#include <signal.h>

#include <cstdint>

#include "core/session/MonitorOptions.h"
#include "extcap/ExtcapOptions.h"
#include "extcap/FifoOutput.h"

namespace tapwise {

// The session's options for a capture of port (0: all ports).
MonitorOptions OwnCaptureOptions(const ExtcapOptions& options, uint8_t port);

// Runs until a stop signal or the reader closing the FIFO (exit status 0),
// or a failure, said on standard error (its status).
int RunOwnCapture(const ExtcapOptions& options, uint8_t port, FifoOutput& out, const sigset_t& stopSignals);

}  // namespace tapwise
