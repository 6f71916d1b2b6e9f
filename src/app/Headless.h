#pragma once
// The headless program: `tapwise -headless` and `tapwise -list-ports`.

#include "app/CommandLine.h"

namespace tapwise {

// Runs the monitor until SIGINT or SIGTERM; returns the exit status. The
// caller has refused a command line with Problems.
int RunHeadless(const CommandLine& commandLine);

// Prints the COM-number map with what each port is doing; returns the exit status.
int RunListPorts(const CommandLine& commandLine);

}  // namespace tapwise
