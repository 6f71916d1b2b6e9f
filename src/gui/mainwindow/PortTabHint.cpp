#include "gui/mainwindow/PortTabHint.h"

#include <QHelpEvent>
#include <QToolTip>

#include "core/session/MonitorSession.h"
#include "core/stats/FiguresText.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/mainwindow/PortTabs.h"

namespace tapwise {

PortTabHint::PortTabHint(PortTabs& tabs, MonitorSession& session)
    : QObject(tabs.Tabs()), m_tabs(tabs), m_session(session) {
  tabs.Tabs()->installEventFilter(this);
}

QString PortTabHint::HintOf(int index) const {
  const QString own = m_tabs.Tabs()->tabToolTip(index);
  const uint8_t port = m_tabs.TabPort(index);
  if (port == 0) return own;
  const QString figures = QString::fromStdString(FiguresHint(m_session.PortFiguresNow(port)));
  return own.isEmpty() ? figures : own + "\n" + figures;
}

bool PortTabHint::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ToolTip || watched != m_tabs.Tabs()) return QObject::eventFilter(watched, event);
  auto* help = static_cast<QHelpEvent*>(event);
  const int index = m_tabs.Tabs()->tabAt(help->pos());
  if (index < 0) return QObject::eventFilter(watched, event);
  QToolTip::showText(help->globalPos(), HintOf(index), m_tabs.Tabs(), m_tabs.Tabs()->tabRect(index));
  return true;
}

}  // namespace tapwise
