#pragma once
// A capture from a running monitor: a plain client of its live feed that
// asks for the ports wanted and copies the pcapng stream into the FIFO, a
// whole block at a time, until a stop signal, the analyser closing its end,
// or the monitor ending the feed. Runs on the program's one thread.

#include <signal.h>

#include <string>

#include "extcap/FifoOutput.h"

namespace tapwise {

// The request line of the live feed for these ports: "ports=all", or
// "ports=3" for port 3 alone.
std::string LiveFeedRequest(uint8_t port);

// Returns the exit status: 0 when stopped by a signal or by the reader,
// 1 (after saying why on standard error) otherwise.
int CopyLiveFeed(pid_t monitor, const std::string& socketPath, const std::string& request, FifoOutput& out,
                 const sigset_t& stopSignals);

}  // namespace tapwise
