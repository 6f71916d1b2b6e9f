#pragma once
// Reading and writing the project from the main window: the file dialogs,
// the question whether a changed project is to be saved, and the window's
// caption, which names the project last read. What a project holds and what
// reading it changes are the session's. Main thread only; the session, the
// dialogs and the window outlive it.

#include <string>

class QWidget;

namespace tapwise {

class MonitorSession;
class WindowDialogs;

class ProjectCommands {
 public:
  ProjectCommands(MonitorSession& session, WindowDialogs& dialogs, QWidget& window)
      : m_session(session), m_dialogs(dialogs), m_window(window) {}

  // Reads a project: with a dialog when askForFile (a cancelled dialog
  // discards the changes made since), else name (or the ConfigName when
  // name is empty). True when a project was read.
  bool Read(bool askForFile, const std::string& name);
  // Asks whether to save a changed project, and saves it where the user says.
  void Write();
  void ShowCaption();

 private:
  MonitorSession& m_session;
  WindowDialogs& m_dialogs;
  QWidget& m_window;
};

}  // namespace tapwise
