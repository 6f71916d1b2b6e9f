#pragma once
// The User Defined Packets window: the editor of the 60 user packets and
// their triggers, a grid of key, packet text and trigger text, with the two
// trigger check boxes (the session's TriggerMode) and the calculated-bytes
// help on a small toolbar, and a popup menu to play, cut, copy and paste
// cells. A tool window that stays on top; closing or Esc only hides it.
//
// It holds no data: the grid reads and writes the session's user packet
// table. Every change to the table (edit, cut, paste, row move) marks the
// project changed and rebuilds the trigger table at once; what the rebuild
// or a send has to say is posted to the session's messages and announced by
// MessagesPosted, on which the main window shows them. Main thread only;
// the session and the dialogs outlive the window.

#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QToolButton;

namespace tapwise {

class MonitorSession;
class TCheckBoxTransparent;
class TDrawGridZebra;
class UserPacketsModel;
class UserPackets;
class WindowDialogs;

class TUserPacketsForm : public QWidget {
  Q_OBJECT
 public:
  TUserPacketsForm(MonitorSession& session, WindowDialogs& dialogs, QWidget* parent = nullptr);
  ~TUserPacketsForm() override;

  TDrawGridZebra* UserPacketsGrid;
  QWidget* ToolBar;
  TCheckBoxTransparent* cbTrigger;
  TCheckBoxTransparent* cbTriggerPart;
  QToolButton* bHelp;
  QMenu* PopupMenu;
  QAction* mPlay;
  QAction* mCut;
  QAction* mCopy;
  QAction* mPaste;
  QAction* mPasteAscii;

  UserPacketsModel* Model() const { return m_model; }
  // The widths of the grid's three columns, as the settings keep them.
  std::vector<int32_t> ColumnWidths() const;
  void SetColumnWidths(const std::vector<int32_t>& widths);
  // The table was replaced elsewhere (a project was read): show it.
  void TableReloaded();

  // The popup menu's commands, on the current cell.
  void PlayClick();
  void CutClick();
  void CopyClick();
  void PasteClick() { Paste(false); }
  void PasteAsciiClick() { Paste(true); }

 signals:
  void MessagesPosted();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UserPacketsGridDrawCell(QPainter& canvas, int col, int row, const QRect& rect, bool selected);
  void UserPacketsGridRowMoved(int from, int to);
  void UserPacketsGridMouseDown(QMouseEvent* event);
  // True when the key was consumed.
  bool UserPacketsGridKeyDown(QKeyEvent* event);
  bool FormKeyPress(QKeyEvent* event);
  void TriggerClick(TCheckBoxTransparent* clicked);
  void bHelpClick();
  void pbToolbarPaint();
  void Paste(bool asAscii);
  void SetClipboardText(const std::string& text);
  // After every change of the table: repaint, mark the project changed,
  // rebuild the triggers and let their messages be shown.
  void TableChanged();

  MonitorSession& m_session;
  UserPackets& m_packets;
  WindowDialogs& m_dialogs;
  UserPacketsModel* m_model;
};

}  // namespace tapwise
