#pragma once
// The Properties window: the display options (hex or ASCII, the packet gap,
// the precision of the packet times, the font, the colours) and the play options (one shot or continuous, the
// gap between played packets, repeat, a raw file's packet terminator). Every
// change takes effect at once; there is no OK or Cancel. Display mode,
// packet gap and play options belong to the project and mark it changed;
// the time precision and the font belong to the appearance (and so to the
// settings), and so do the bounds of the display's history (HistoryGroup).
//
// The receive threads read the packet gap at the end of each packet and the
// playback thread reads the play settings on every pass, so a change
// reaches a port that is receiving and a file that is playing. Load fills
// the controls from the session (the main window calls it at the end of
// start-up and after every project read); while it runs the change handlers
// do nothing. The session's edit methods tell the main window what
// changed. Main thread only; Esc hides the window.

#include <QWidget>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace tapwise {

class Appearance;
class HistoryGroup;
class MonitorSession;
class TColoursForm;
class TEditUpDown;
class TNiceLabel;
class TRecordOptions;
class WindowDialogs;

class TPropertiesForm : public QWidget {
  Q_OBJECT
 public:
  // All four outlive the window; the font goes to the appearance and
  // bColours shows the Colours window.
  TPropertiesForm(MonitorSession& session, Appearance& appearance, TColoursForm& colours, WindowDialogs& dialogs,
                  QWidget* parent = nullptr);

  void Load();

  QRadioButton* rbDisplayHex;
  QRadioButton* rbDisplayASCII;
  TEditUpDown* eTimeOut;
  QComboBox* TimeComboBox;  // tenths, ms, us
  QPushButton* bFont;
  QPushButton* bColours;
  QRadioButton* rbPlayOne;
  QRadioButton* rbPlayCont;
  TEditUpDown* ePlayGap;
  QCheckBox* cbPlayRepeat;
  TNiceLabel* lTerminator;
  TEditUpDown* eTerm;
  TEditUpDown* eTermCount;
  TRecordOptions* gRecord;  // how recordings move on to new files

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildDisplayGroup();
  QWidget* BuildPlayGroup();
  void rgDisplayChangeClick();
  void eTimeOutChange();
  void TimeComboBoxChange();
  void RecorderParamClick();
  void bFontClick();
  void bColoursClick();

  MonitorSession& m_session;
  Appearance& m_appearance;
  TColoursForm& m_colours;
  WindowDialogs& m_dialogs;
  HistoryGroup* m_historyGroup;
  bool m_loading = false;
};

}  // namespace tapwise
