#pragma once
// The window front end: the settings store and the monitor session around
// the main window, in the order the program starts and ends them.

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace tapwise {

class TTWForm;

// Runs until the main window closes; returns the exit status.
int RunWindow(const CommandLine& commandLine, int argc, char** argv);

// Whether a window can be shown at all (a display, or a platform named by
// QT_QPA_PLATFORM); without one the headless monitor is the way in.
bool WindowSystemAvailable();

// Says the options the program did not know in the status bar of a form
// that has just been shown, after its start-up has put the ports' and the
// recorder's state there, and in front of that state, which stays.
void NoteUnknownOptions(TTWForm& form, const std::vector<std::string>& options);

}  // namespace tapwise
