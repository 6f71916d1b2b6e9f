#pragma once
// The hint of a port tab with the port's figures under its path: worked out
// when the hint is asked for, so that the figures are those of that moment
// and nothing is kept up to date for a hint nobody looks at.
//
// Main thread only; the tabs and the session outlive it (it is the tab
// bar's child).

#include <QObject>

namespace tapwise {

class MonitorSession;
class PortTabs;

class PortTabHint : public QObject {
  Q_OBJECT
 public:
  PortTabHint(PortTabs& tabs, MonitorSession& session);

  // The hint of the tab at index: its own text, then the figures.
  QString HintOf(int index) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PortTabs& m_tabs;
  MonitorSession& m_session;
};

}  // namespace tapwise
