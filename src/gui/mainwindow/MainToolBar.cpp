#include "gui/mainwindow/MainToolBar.h"

#include <QButtonGroup>
#include <QPainter>

#include "gui/controls/ToolIcons.h"
#include "gui/controls/WindowsLib.h"

namespace tapwise {

namespace {

QToolButton* SpeedButton(QWidget* parent, const char* name, int left, ToolIcon icon,
                         const char* hint, bool checkable) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setAutoRaise(true);
  button->setGeometry(left, 4, 23, 23);
  button->setIcon(QIcon(DrawToolIcon(icon)));
  button->setIconSize(QSize(16, 16));
  button->setToolTip(hint);
  button->setCheckable(checkable);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

MainToolBar::MainToolBar(QWidget* parent) : QWidget(parent) {
  setFixedHeight(31);
  bOpenProject = SpeedButton(this, "bOpenProject", 4, ToolIcon::OpenProject, "Open Project", false);
  bDisableAll = SpeedButton(this, "bDisableAll", 32, ToolIcon::Freeze,
                            "Freeze Display (Alt F)", true);
  bClear = SpeedButton(this, "bClear", 55, ToolIcon::Clear, "Clear Display (Alt C)", false);
  bPlay = SpeedButton(this, "bPlay", 86, ToolIcon::Play,
                      "Play a Recorded File - DI2000 DAT file, Hex File or Raw file  (Alt P)", true);
  bRecord = SpeedButton(this, "bRecord", 109, ToolIcon::Record,
                        "Record to a File - DI2000 DAT file, Hex File or Raw file  (Alt R)", true);
  bStop = SpeedButton(this, "bStop", 132, ToolIcon::Stop, "Stop play / record  (Alt S)", true);
  bPause = SpeedButton(this, "bPause", 155, ToolIcon::Pause, "Pause play / record  (Alt A)", true);
  bProperties = SpeedButton(this, "bProperties", 189, ToolIcon::Options, "Options  (Alt O)", false);
  bUserPackets = SpeedButton(this, "bUserPackets", 214, ToolIcon::UserPackets,
                             "User defined Packets  (Alt U)", false);
  bHelp = SpeedButton(this, "bHelp", 240, ToolIcon::About, "About  (Alt H)", false);
  bFilter = SpeedButton(this, "bFilter", 292, ToolIcon::Filter, "Display Filter and Highlights  (Alt L)", false);
  bStatistics = SpeedButton(this, "bStatistics", 266, ToolIcon::Statistics, "Statistics per port  (Alt T)", false);
  bFind = SpeedButton(this, "bFind", 318, ToolIcon::Find, "Find in the Display  (Ctrl F)", false);
  // A tool window's button stays disabled until the window is made.
  for (QToolButton* button : {bProperties, bUserPackets, bHelp, bFilter, bStatistics}) button->setEnabled(false);

  auto* recorder = new QButtonGroup(this);
  recorder->setExclusive(true);
  recorder->addButton(bPlay);
  recorder->addButton(bRecord);
  recorder->addButton(bStop);
  bStop->setChecked(true);
}

bool MainToolBar::WorkButton(MainKeyCommand::Kind action) {
  QToolButton* button = nullptr;
  switch (action) {
    case MainKeyCommand::Freeze:
      bDisableAll->toggle();
      return true;
    case MainKeyCommand::Play:
    case MainKeyCommand::Record:
    case MainKeyCommand::Stop:
      button = action == MainKeyCommand::Play ? bPlay : action == MainKeyCommand::Record ? bRecord : bStop;
      if (!button->isEnabled()) return false;
      button->setChecked(true);
      return true;
    case MainKeyCommand::Pause:
      if (!bPause->isEnabled()) return false;
      bPause->click();
      return true;
    case MainKeyCommand::UserPacketsWindow:
      bUserPackets->click();
      return true;
    case MainKeyCommand::Options:
      bProperties->click();
      return true;
    case MainKeyCommand::About:
      bHelp->click();
      return true;
    case MainKeyCommand::FilterWindow:
      bFilter->click();
    case MainKeyCommand::StatisticsWindow:
      bStatistics->click();
      return true;
    default:
      return true;
  }
}

void MainToolBar::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  GradientFill(canvas, 0, 0, width(), height() - 2, ButtonFaceColour(), ScrollBarColour());
}

}  // namespace tapwise
