#pragma once
// The editor of the project's highlight rules, one row per rule: the
// background (a swatch that opens the colour dialog) and the pattern, hex
// bytes or quoted text as a user packet is typed. Each change goes to the
// session at once (SetHighlightRules), which marks the display's lines; a
// pattern that does not compile is shown in the error colour, with the
// compiler's message below the rows, and marks nothing. The rows follow
// the rules when a project is read. Main thread only.

#include <QGroupBox>

#include <array>

#include "core/session/SessionListener.h"
#include "core/userpackets/HighlightRules.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace tapwise {

class MonitorSession;
class WindowDialogs;

class HighlightEditor : public QGroupBox, private SessionListener {
  Q_OBJECT
 public:
  // Both outlive the editor.
  HighlightEditor(MonitorSession& session, WindowDialogs& dialogs, QWidget* parent = nullptr);
  ~HighlightEditor() override;

  std::array<QLineEdit*, MaxHighlightRules> ePatterns;
  std::array<QToolButton*, MaxHighlightRules> bColours;
  // The message of the first rule that does not compile; empty when all do.
  QLabel* lProblem;

  // Fills the rows from the session's rules; nothing is changed.
  void Load();

 private:
  void SessionChanged(SessionChange change) override;
  void PatternEdited();
  void ColourClick(size_t index);
  // The rows as rules, with the colours as shown.
  HighlightRuleSet Shown() const;
  void ShowProblems();

  MonitorSession& m_session;
  WindowDialogs& m_dialogs;
  std::array<uint32_t, MaxHighlightRules> m_colours{};
  bool m_loading = false;
};

}  // namespace tapwise
