#pragma once
// The find bar under the display: a pattern typed as hex bytes or quoted
// text (the user packets' syntax), the count of matches ("3 of 17"), and
// buttons for the previous and the next match and to close the bar. The
// matches are marked in the display, the current one stronger; going to a
// match holds the display on it while capture goes on, until the bar is
// closed. A pattern that does not compile turns the field the error colour
// and shows the compiler's message; the matches of the last good pattern
// stay.
//
// It also gives the display its history (the session's, added as a packet
// sink for as long as the bar lives), which find searches and the display
// scrolls back into.
//
// The main window hands it every key first (TakeKey): Ctrl+F opens it;
// while it is open F3 and Shift+F3 go to the next and previous match
// (closed, they send user packets 3 and 27 as before); in the field Enter
// and Shift+Enter do the same and Esc closes it. Main thread only.

#include <QWidget>

#include "core/session/DisplayFind.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QToolButton;

namespace tapwise {

class Appearance;
class DisplayPaintBox;
class MonitorSession;

class FindBar : public QWidget {
  Q_OBJECT
 public:
  // All three outlive the bar.
  FindBar(MonitorSession& session, DisplayPaintBox& display, const Appearance& appearance, QWidget* parent = nullptr);
  ~FindBar() override;

  // Shows the bar with the field focused and its text selected.
  void Open();
  void Close();
  void FindNext();
  void FindPrevious();

  // True when the key was one of the bar's and has been acted on.
  bool TakeKey(QKeyEvent* event);
  // Whether keys at `focus` are typed into the bar (and so must not go out
  // on a port).
  bool HasFocus(const QWidget* focus) const;

  const DisplayFind& Find() const { return m_find; }
  QLineEdit* ePattern;
  QLabel* lCount;
  QToolButton* bPrevious;
  QToolButton* bNext;
  QToolButton* bCloseFind;

 private:
  void ePatternChange();
  // The display goes to the current match.
  void ShowCurrent();
  void ShowCount();
  void ShowFault(const QString& message);
  void RowsChanged();

  MonitorSession& m_session;
  DisplayPaintBox& m_display;
  const Appearance& m_appearance;
  DisplayFind m_find;
  bool m_faulty = false;
  bool m_displayAlive = true;
};

}  // namespace tapwise
