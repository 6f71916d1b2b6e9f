#include "gui/mainwindow/RecorderControls.h"

#include <cstdio>

#include "core/recorder/RecordFormats.h"
#include "core/recorder/Recorder.h"
#include "core/session/MonitorSession.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/WindowDialogs.h"
#include "gui/mainwindow/MainToolBar.h"
#include "gui/mainwindow/MessageQueue.h"
#include "gui/mainwindow/StatusPanels.h"

namespace tapwise {

namespace {

QColor Rgb(uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

}  // namespace

RecorderControls::RecorderControls(Recorder& recorder, MainToolBar& toolBar, StatusPanels& statusBar,
                                   WindowDialogs& dialogs, QWidget& parent)
    : QObject(&parent),
      m_recorder(recorder),
      m_toolBar(toolBar),
      m_statusBar(statusBar),
      m_dialogs(dialogs),
      m_parent(parent) {
  for (QToolButton* button : {toolBar.bPlay, toolBar.bRecord, toolBar.bStop}) {
    connect(button, &QToolButton::clicked, this, &RecorderControls::ButtonClick);
  }
  connect(toolBar.bPause, &QToolButton::clicked, this, &RecorderControls::PauseClick);
}

void RecorderControls::ShowStatus() {
  // Plain words around a file name, which is in the system's encoding.
  m_statusBar.SetStatus(PathToQString(m_recorder.StatusText()), Rgb(m_recorder.StatusColour()));
  m_shownPath = m_recorder.RecordingPath();
}

void RecorderControls::UpdateButtons() {
  const RecorderState state = m_recorder.State();
  m_toolBar.bRecord->setEnabled(m_recorder.RecordEnabled());
  m_toolBar.bPlay->setEnabled(m_recorder.PlayEnabled());
  // The button that is down says what the recorder does, whoever started
  // it (the command line, a button, a project): every Alt key applies the
  // buttons to the recorder, and Stop left down over a playback that the
  // command line started would stop it.
  QToolButton* down = m_toolBar.bStop;
  if (IsPlayingState(state)) down = m_toolBar.bPlay;
  if (IsRecordingState(state)) down = m_toolBar.bRecord;
  down->setChecked(true);
}

void RecorderControls::ButtonClick() {
  if (m_closed) return;
  if (m_recorder.State() == RecorderState::Idle) {
    if (m_toolBar.bRecord->isChecked()) {
      const auto chosen = m_dialogs.AskForFile(
          &m_parent, {true, "Record: Select File", DialogFilter(true), m_recorder.RecordName(), m_recorder.RecordType()});
      if (chosen) {
        if (m_recorder.StartRecording(chosen->Path, chosen->FilterIndex)) {
          ShowStatus();
        } else {
          m_dialogs.MsgError(FileNotOpenedText);
        }
      }
    }
    if (m_toolBar.bPlay->isChecked()) {
      const auto chosen = m_dialogs.AskForFile(
          &m_parent, {false, "Play: Select File", DialogFilter(false), m_recorder.RecordName(), m_recorder.RecordType()});
      if (chosen) {
        // The Play button says nothing of a file that does not open: it
        // plays as an empty one, which ends at once.
        (void)m_recorder.StartPlaying(chosen->Path, chosen->FilterIndex);
        // In one-shot mode nothing goes out until Pause is released.
        m_toolBar.bPause->setChecked(m_recorder.Paused());
        ShowStatus();
      }
    }
  } else if (m_toolBar.bStop->isChecked()) {
    m_recorder.Stop();
    ShowStatus();
  }
  UpdateButtons();
}

void RecorderControls::PauseClick(bool down) { m_recorder.PauseClick(down); }

void RecorderControls::ShowState() {
  m_toolBar.bPause->setChecked(m_recorder.Paused());
  if (m_recorder.State() != RecorderState::Idle) ShowStatus();
  UpdateButtons();
}

void RecorderControls::FollowPause() { m_toolBar.bPause->setChecked(m_recorder.Paused()); }

void RecorderControls::ShowTick(const TickEvents& events, MessageQueue& messages) {
  if (IsPlayingState(m_recorder.State())) m_statusBar.SetProgress(m_recorder.Progress());
  // Rotation moved on to a new file: the status names the one being written.
  if (IsRecordingState(m_recorder.State()) && m_recorder.RecordingPath() != m_shownPath) ShowStatus();
  // Room made on a full disk stops nothing: a word in the status bar, not a
  // box to dismiss on a rig nobody watches.
  for (const std::string& notice : events.RecordingNotices) {
    const std::string line = notice + "; recording goes on";
    m_statusBar.SetStatus(PathToQString(line), QColor(128, 0, 0));
    std::fprintf(stderr, "tapwise: %s\n", line.c_str());
  }
  if (events.RecordingFailed) {
    UpdateButtons();
    m_statusBar.SetStatus(PathToQString(events.RecordingFailed->Text), QColor(128, 0, 0));
    std::fprintf(stderr, "tapwise: %s\n", events.RecordingFailed->Text.c_str());
    messages.Add(events.RecordingFailed->Markup);
  }
  if (events.PlayFileError) {
    UpdateButtons();
    ShowStatus();
    messages.Add(std::string(InvalidPacketDataFileText));
  }
  if (events.PlaybackFinished) {
    // As the Stop button does.
    ShowStatus();
    UpdateButtons();
  }
}

void RecorderControls::Closed() {
  m_closed = true;
  UpdateButtons();
}

}  // namespace tapwise
