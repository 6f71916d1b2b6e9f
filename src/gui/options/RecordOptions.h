#pragma once
// The Properties window's Record group: whether a recording is one file or
// moves on to a new file after so many megabytes or minutes, and how many of
// its files are kept. It edits the session's record rotation, which belongs
// to the project (and so marks it changed) and applies from the next
// recording on, whichever front end or button starts it.
//
// A rotation read from a project or the command line that is no whole
// number of megabytes or minutes (4K, every=90s) shows rounded up and stays
// exactly as it is until its own field is changed. Load fills the controls
// from the session; while it runs the change handlers do nothing. Editing a
// field picks its way of rotating. Main thread only.

#include <QGroupBox>

class QRadioButton;

namespace tapwise {

class MonitorSession;
class TEditUpDown;

class TRecordOptions : public QGroupBox {
  Q_OBJECT
 public:
  TRecordOptions(MonitorSession& session, QWidget* parent = nullptr);

  void Load();

  QRadioButton* rbRecordOneFile;
  QRadioButton* rbRotateSize;
  QRadioButton* rbRotateTime;
  TEditUpDown* eRotateSize;   // megabytes (MiB)
  TEditUpDown* eRotateEvery;  // minutes
  TEditUpDown* eRotateKeep;   // files, 0: every file is kept

 private:
  void rgRotateClick();
  void eRotateSizeChange();
  void eRotateEveryChange();
  void eRotateKeepChange();
  // The rotation by the radio buttons, with the size or time in the field
  // when `fromField`, else the session's own value where it has one.
  void TakeKind(bool fromField);

  MonitorSession& m_session;
  bool m_loading = false;
};

}  // namespace tapwise
