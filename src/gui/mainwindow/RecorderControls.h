#pragma once
// The toolbar's Play, Record, Stop and Pause buttons over the session's
// recorder, and what the recorder says in the status bar. The buttons show
// what the recorder really does, whoever started it (the command line, a
// button, an Alt key): the button that is down is the recorder's state, so
// that applying the buttons to the recorder (every Alt key does) never
// stops or restarts what runs.
//
// Main thread only; the recorder, the toolbar, the status bar and the
// dialogs outlive it, and the dialogs are asked on behalf of the parent.

#include <QObject>

#include <string>

namespace tapwise {

class MainToolBar;
class MessageQueue;
class Recorder;
class StatusPanels;
class WindowDialogs;
struct TickEvents;

class RecorderControls : public QObject {
  Q_OBJECT
 public:
  // Connects the buttons.
  RecorderControls(Recorder& recorder, MainToolBar& toolBar, StatusPanels& statusBar, WindowDialogs& dialogs,
                   QWidget& parent);

  // The Play, Record and Stop buttons' shared click: starts playing or
  // recording (asking for the file), or stops, by which of them is down.
  // Does nothing once Closed.
  void ButtonClick();
  void PauseClick(bool down);

  // The buttons, and the status when something plays or records, as the
  // recorder stands (after start-up).
  void ShowState();
  // At the start of every timer pass: Pause as the recorder has it.
  void FollowPause();
  // Later in the pass: the playback's progress, and what the pass found of
  // the recorder: its notices (files removed from a full disk) in the status
  // bar and on standard error, its failures there and as message boxes added
  // to the queue.
  void ShowTick(const TickEvents& events, MessageQueue& messages);
  // The session has shut down: the recorder has stopped for good, and a
  // late click or key must not start another file (and truncate the one
  // just recorded).
  void Closed();

 private:
  void UpdateButtons();
  void ShowStatus();

  Recorder& m_recorder;
  MainToolBar& m_toolBar;
  StatusPanels& m_statusBar;
  WindowDialogs& m_dialogs;
  QWidget& m_parent;
  // The recording file the status bar last named.
  std::string m_shownPath;
  bool m_closed = false;
};

}  // namespace tapwise
