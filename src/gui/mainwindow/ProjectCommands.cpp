#include "gui/mainwindow/ProjectCommands.h"

#include <QWidget>

#include "core/session/MonitorSession.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/WindowDialogs.h"

namespace tapwise {

bool ProjectCommands::Read(bool askForFile, const std::string& name) {
  std::string chosen = name;
  if (askForFile) {
    const auto answer = m_dialogs.AskForFile(&m_window, {false, std::string(ReadProjectDialogTitle),
                                                         std::string(ProjectFileFilter),
                                                         m_session.Project().DialogFileName(), 1});
    if (!answer) {
      m_session.DiscardProjectChanges();
      return false;
    }
    chosen = answer->Path;
  }
  if (!m_session.ReadProject(chosen).Read()) return false;
  ShowCaption();
  return true;
}

void ProjectCommands::Write() {
  if (!m_session.Project().ConfigChanged()) return;
  if (!m_dialogs.MsgYesNo(SaveChangesQuestion)) return;
  const auto chosen = m_dialogs.AskForFile(&m_window, {true, std::string(WriteProjectDialogTitle),
                                                       std::string(ProjectFileFilter),
                                                       m_session.Project().DialogFileName(), 1});
  if (!chosen) return;
  if (const Result written = m_session.WriteProject(chosen->Path); !written) {
    m_dialogs.MsgError(written.Message());
  } else {
    ShowCaption();
  }
}

void ProjectCommands::ShowCaption() {
  // One project at a time: the suffix names the project last read.
  const std::string& project = m_session.Project().ConfigName();
  m_window.setWindowTitle(project.empty() ? QString("Tapwise") : "Tapwise - " + PathToQString(project));
}

}  // namespace tapwise
