#pragma once
// The main window's toolbar: a strip shaded from the button face down to the
// scroll-bar colour, with flat 23 × 23 buttons at fixed places. Freeze and
// Pause are toggles; Play, Record and Stop are one radio group, of which at
// most one is down.

#include <QToolButton>
#include <QWidget>

namespace tapwise {

class MainToolBar : public QWidget {
  Q_OBJECT
 public:
  explicit MainToolBar(QWidget* parent = nullptr);

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

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tapwise
