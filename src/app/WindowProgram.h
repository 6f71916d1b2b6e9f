#pragma once
// The window front end: the settings store and the monitor session around
// the main window, in the order the program starts and ends them.

#include "app/CommandLine.h"

namespace tapwise {

// Runs until the main window closes; returns the exit status.
int RunWindow(const CommandLine& commandLine, int argc, char** argv);

// Whether a window can be shown at all (a display, or a platform named by
// QT_QPA_PLATFORM); without one the headless monitor is the way in.
bool WindowSystemAvailable();

}  // namespace tapwise
