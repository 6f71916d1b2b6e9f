#pragma once
// The Display Filter window: which lines the display shows, and the rules
// that mark matching packets (HighlightEditor). A check list of the present
// ports (with the names the user gave them) and three boxes for the kinds
// of packet (received, sent, errors only) edit the drain's LineFilter, a
// view of the lines that capture, recording, triggers and the counters
// never see, and which is not part of the project; each change applies at
// once and is announced by FilterChanged. The list follows the ports as
// they come. Main thread only; Esc hides the window.

#include <QWidget>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;

namespace tapwise {

class HighlightEditor;
class LineFilter;
class MonitorSession;
class WindowDialogs;

class TFilterForm : public QWidget {
  Q_OBJECT
 public:
  // Both outlive the window.
  TFilterForm(MonitorSession& session, WindowDialogs& dialogs, QWidget* parent = nullptr);

  QListWidget* lbPorts;
  QPushButton* bAllPorts;
  QPushButton* bNoPorts;
  QCheckBox* cbReceived;
  QCheckBox* cbSent;
  QCheckBox* cbErrorsOnly;
  QPushButton* bShowAll;
  HighlightEditor* Highlights;

  // Fills the list from the present ports and the controls from the
  // filter; nothing is changed. Shown and every second while shown.
  void Load();

 signals:
  // The filter shows other lines now.
  void FilterChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  LineFilter& Filter() const;
  void lbPortsItemChanged(QListWidgetItem* item);
  void KindClick();
  void SetAllPorts(bool shown);

  MonitorSession& m_session;
  QTimer* m_follow;
  // The ports and names the list was filled from.
  std::vector<std::pair<uint8_t, std::string>> m_listed;
  bool m_loading = false;
};

}  // namespace tapwise
