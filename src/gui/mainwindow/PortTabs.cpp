#include "gui/mainwindow/PortTabs.h"

#include <QPainter>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

#include "core/capture/TWComms.h"
#include "core/platform/LineSpec.h"
#include "core/session/MonitorSession.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/TabControlSmart.h"
#include "gui/controls/ToolIcons.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/PortSetupPanel.h"
#include "gui/mainwindow/PortTabHint.h"

namespace tapwise {

PortTabs::PortTabs(MonitorSession& session, QWidget* parent) : QWidget(parent), m_session(session) {
  setToolTip("Set Parameters for Selected COM port");
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(2, 2, 2, 0);
  column->setSpacing(0);
  m_tabs = new TTabControlSmart(this);
  m_tabs->setObjectName("PortControlTab");
  m_tabs->SetTabHeight(20);
  m_tabs->SetTabWidth(70);
  m_tabs->SetImageWidth(18);
  m_tabs->setFocusPolicy(Qt::ClickFocus);
  m_tabs->SetOnDrawTab([this](QPainter& canvas, int index, const QRect& rect, bool active) {
    PortControlTabDrawTab(canvas, index, rect, active);
  });
  column->addWidget(m_tabs);
  new PortTabHint(*this, session);
  m_setup = new PortSetupPanel(this);
  column->addWidget(m_setup);

  connect(m_tabs, &QTabBar::currentChanged, this, [this] { ShowSelectedPort(); });
  connect(m_tabs, &TTabControlSmart::OnSwapData, this, [this](TTabControlSmart*, int a, int b) { SwapTabData(a, b); });
  connect(m_setup, &PortSetupPanel::Changed, this, &PortTabs::PortControlChange);
  connect(m_setup, &PortSetupPanel::DisableClicked, this, &PortTabs::bDisableClick);
}

int PortTabs::Count() const { return m_tabs->count(); }

uint8_t PortTabs::TabPort(int index) const {
  if (index < 0 || index >= m_tabs->count()) return 0;
  return m_tabPorts[static_cast<size_t>(index)];
}

void PortTabs::RemoveAll() {
  while (m_tabs->count() > 0) m_tabs->removeTab(0);
}

void PortTabs::Build() {
  // The session has chosen the port (-select:, else the first) and the
  // playback thread already sends out of it. The first tab inserted becomes
  // the current one, and following that would move the selection, and with
  // it the playback, to another port even for a moment: the tab bar keeps
  // quiet until the chosen tab is current.
  const uint8_t chosen = m_session.SelectedPort.load();
  {
    const QSignalBlocker quiet(m_tabs);
    for (uint8_t port : m_session.PresentPorts()) AddPortTab(port);
    m_tabs->SetTabIndex(std::max(0, TabIndexOf(chosen)));
  }
  ShowSelectedPort();
}

void PortTabs::SelectFirst() {
  if (m_tabs->count() == 0) return;
  for (int index = 0; index < m_tabs->count(); ++index) {
    m_tabs->setTabText(index, PortCaption(TabPort(index)));
    m_tabs->setTabToolTip(index, PortHint(TabPort(index)));
  }
  m_tabs->SetTabIndex(0);
  ShowSelectedPort();
}

void PortTabs::AddPortTab(uint8_t port) {
  const int count = m_tabs->count();
  if (TabIndexOf(port) >= 0 || count >= static_cast<int>(m_tabPorts.size())) return;
  // Before the first higher number, wherever the user has dragged the others.
  int index = 0;
  while (index < count && TabPort(index) < port) ++index;
  // The numbers first: inserting may announce a new current tab.
  std::copy_backward(m_tabPorts.begin() + index, m_tabPorts.begin() + count, m_tabPorts.begin() + count + 1);
  m_tabPorts[static_cast<size_t>(index)] = port;
  m_tabs->insertTab(index, PortCaption(port));
  m_tabs->setTabToolTip(index, PortHint(port));
}

QString PortTabs::PortCaption(uint8_t port) const {
  // The number stays the port's identity; a name the user gave goes beside it.
  const std::string& name = m_session.Comms().PortName(port);
  // Names come from the command line or a project as the user typed them (UTF-8).
  QString caption = AnsiToQString(ComName(port));
  if (!name.empty()) caption += " " + QString::fromStdString(name);
  return caption;
}

void PortTabs::ColoursChanged() {
  m_tabs->update();
  if (const uint8_t port = m_session.SelectedPort.load(); port != 0) EmitPortShown(port);
}

void PortTabs::EmitPortShown(uint8_t port) {
  // The rate in full: the baud list cannot show one outside it.
  const QString settings = QString::fromStdString(LineFormatText(m_session.Comms().GetPortSettings(port).Line()));
  emit PortShown(PortCaption(port) + QString::fromUtf8(" \u00B7 ") + settings,
                 m_display ? m_display->PortColour(port) : palette().color(QPalette::WindowText));
}

int PortTabs::TabIndexOf(uint8_t port) const {
  for (int index = 0; index < m_tabs->count(); ++index) {
    if (TabPort(index) == port) return index;
  }
  return -1;
}

QString PortTabs::PortHint(uint8_t port) const {
  if (m_session.Comms().IsPortGone(port)) return "COM" + QString::number(port) + ": device gone";
  QString hint = QString::fromStdString(m_session.PortDescription(port));
  const std::string stable = m_session.Opener().StableName(port);
  if (!stable.empty()) hint += "\n" + QString::fromStdString(stable);
  return hint;
}

void PortTabs::ShowChanges(const std::vector<PortEvent>& changes) {
  if (changes.empty()) return;
  for (const PortEvent& change : changes) {
    if (change.Change == PortChange::New) AddPortTab(change.Port);
    const int index = TabIndexOf(change.Port);
    if (index >= 0) m_tabs->setTabToolTip(index, PortHint(change.Port));
  }
  m_tabs->update();
}

void PortTabs::ShowSelectedPort() {
  const uint8_t port = TabPort(m_tabs->currentIndex());
  m_session.SelectedPort.store(port);
  if (port == 0) return;
  const TWComms& comms = m_session.Comms();
  m_setup->Load(comms.GetPortSettings(port), comms.IsPortEnabled(port));
  EmitPortShown(port);
}

void PortTabs::PortControlChange() {
  const uint8_t port = m_session.SelectedPort.load();
  if (port == 0) return;
  const PortSettings current = m_session.Comms().GetPortSettings(port);
  m_session.SetPortSettings(port, m_setup->Read(current.BaudRate));
  EmitPortShown(port);
}

void PortTabs::bDisableClick(bool down) {
  const uint8_t port = m_session.SelectedPort.load();
  if (port == 0) return;
  m_session.Comms().SetPortEnabled(port, !down);
  m_setup->Load(m_session.Comms().GetPortSettings(port), m_session.Comms().IsPortEnabled(port));
  m_tabs->update();
}

void PortTabs::PortControlTabDrawTab(QPainter& canvas, int index, const QRect& rect, bool) {
  const uint8_t port = TabPort(index);
  const bool enabled = m_session.Comms().IsPortEnabled(port) && !m_session.Comms().IsPortGone(port);
  canvas.drawPixmap(rect.left() + 2, rect.top() + 2,
                    DrawToolIcon(enabled ? ToolIcon::PortEnabled : ToolIcon::PortDisabled));
  QFont bold = font();
  bold.setBold(true);
  canvas.setFont(bold);
  if (m_display) canvas.setPen(m_display->PortColour(port));
  canvas.drawText(QPoint(rect.left() + 18, rect.top() + 4 + QFontMetrics(bold).ascent()), m_tabs->tabText(index));
}

void PortTabs::SwapTabData(int indexA, int indexB) {
  std::swap(m_tabPorts[static_cast<size_t>(indexA)], m_tabPorts[static_cast<size_t>(indexB)]);
  const QString hint = m_tabs->tabToolTip(indexA);
  m_tabs->setTabToolTip(indexA, m_tabs->tabToolTip(indexB));
  m_tabs->setTabToolTip(indexB, hint);
}

}  // namespace tapwise
