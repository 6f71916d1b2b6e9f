#pragma once
// Typed characters go out on the selected port, one byte each (through
// Windows-1252, so Ctrl+letter gives its control code); Alt and Meta
// combinations, Tab, Backtab and Delete are left to the controls. Kept
// apart from the main window, which hands it every key no one else took.

class QKeyEvent;

namespace tapwise {

class MonitorSession;

// True when the key was a character (sent, or dropped when no port is
// selected).
bool SendTypedKey(QKeyEvent* event, MonitorSession& session);

}  // namespace tapwise
