#pragma once
// The main window's toolbar: a strip shaded from the button face down to the
// scroll-bar colour, with flat 23 × 23 buttons at fixed places. Freeze and
// Pause are toggles; Play, Record and Stop are one radio group, of which at
// most one is down. The window's Alt keys work the buttons through
// WorkButton.

#include <QToolButton>
#include <QWidget>

#include "gui/mainwindow/MainKeys.h"

namespace tapwise {

class MainToolBar : public QWidget {
  Q_OBJECT
 public:
  explicit MainToolBar(QWidget* parent = nullptr);

  // Works the button the key's action stands for, as a click would; Play,
  // Record and Stop are only put down (the recorder follows them after
  // every Alt key). False when that button is disabled, so that the key
  // goes on to the focused control; true for any other action.
  bool WorkButton(MainKeyCommand::Kind action);

  QToolButton* bOpenProject;
  QToolButton* bDisableAll;
  QToolButton* bClear;
  QToolButton* bPlay;
  QToolButton* bRecord;
  QToolButton* bStop;
  QToolButton* bPause;
  QToolButton* bProperties;
  QToolButton* bUserPackets;
  QToolButton* bHelp;
  QToolButton* bFilter;
  QToolButton* bStatistics;
  QToolButton* bFind;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tapwise
