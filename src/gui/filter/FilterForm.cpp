#include "gui/filter/FilterForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/platform/ComNumbers.h"
#include "core/session/MonitorSession.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/WindowFont.h"
#include "gui/filter/HighlightEditor.h"

namespace tapwise {

namespace {

constexpr int PortRole = Qt::UserRole;

}  // namespace

TFilterForm::TFilterForm(MonitorSession& session, WindowDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_session(session) {
  setObjectName("FilterForm");
  setWindowTitle("Display Filter");
  setFont(WindowFont());

  auto* columns = new QHBoxLayout(this);
  auto* column = new QVBoxLayout;
  columns->addLayout(column);
  auto* ports = new QGroupBox("Show ports", this);
  auto* portColumn = new QVBoxLayout(ports);
  lbPorts = new QListWidget(ports);
  lbPorts->setObjectName("lbPorts");
  lbPorts->setToolTip("Ticked ports are shown; the others are still captured, counted and recorded");
  portColumn->addWidget(lbPorts);
  auto* portButtons = new QHBoxLayout;
  bAllPorts = new QPushButton("All", ports);
  bAllPorts->setObjectName("bAllPorts");
  bNoPorts = new QPushButton("None", ports);
  bNoPorts->setObjectName("bNoPorts");
  portButtons->addWidget(bAllPorts);
  portButtons->addWidget(bNoPorts);
  portButtons->addStretch(1);
  portColumn->addLayout(portButtons);
  column->addWidget(ports, 1);

  auto* kinds = new QGroupBox("Show packets", this);
  auto* kindGrid = new QGridLayout(kinds);
  cbReceived = new QCheckBox("Received", kinds);
  cbReceived->setObjectName("cbReceived");
  cbSent = new QCheckBox("Sent", kinds);
  cbSent->setObjectName("cbSent");
  cbErrorsOnly = new QCheckBox("Errors only", kinds);
  cbErrorsOnly->setObjectName("cbErrorsOnly");
  cbErrorsOnly->setToolTip("Only packets that came with line errors, or whose sending failed");
  kindGrid->addWidget(cbReceived, 0, 0);
  kindGrid->addWidget(cbSent, 0, 1);
  kindGrid->addWidget(cbErrorsOnly, 1, 0, 1, 2);
  column->addWidget(kinds);

  bShowAll = new QPushButton("Show everything", this);
  bShowAll->setObjectName("bShowAll");
  column->addWidget(bShowAll, 0, Qt::AlignLeft);
  Highlights = new HighlightEditor(session, dialogs, this);
  columns->addWidget(Highlights, 1);

  connect(lbPorts, &QListWidget::itemChanged, this, &TFilterForm::lbPortsItemChanged);
  connect(bAllPorts, &QPushButton::clicked, this, [this] { SetAllPorts(true); });
  connect(bNoPorts, &QPushButton::clicked, this, [this] { SetAllPorts(false); });
  for (QCheckBox* box : {cbReceived, cbSent, cbErrorsOnly}) {
    connect(box, &QCheckBox::toggled, this, &TFilterForm::KindClick);
  }
  connect(bShowAll, &QPushButton::clicked, this, [this] {
    Filter().Reset();
    Load();
    emit FilterChanged();
  });
  // Ports come and go (and get names) while the window is open.
  m_follow = new QTimer(this);
  m_follow->setInterval(1000);
  connect(m_follow, &QTimer::timeout, this, &TFilterForm::Load);
  resize(560, 340);
  Load();
}

LineFilter& TFilterForm::Filter() const { return m_session.Drain().Filter(); }

void TFilterForm::Load() {
  m_loading = true;
  const LineFilter& filter = Filter();
  std::vector<std::pair<uint8_t, std::string>> present;
  for (uint8_t port : m_session.PresentPorts()) present.emplace_back(port, m_session.Comms().PortName(port));
  if (present != m_listed) {
    m_listed = std::move(present);
    lbPorts->clear();
    for (const auto& [port, name] : m_listed) {
      auto* item = new QListWidgetItem(AnsiToQString(ComName(port) + (name.empty() ? "" : "  " + name)), lbPorts);
      item->setData(PortRole, port);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    }
  }
  for (int row = 0; row < lbPorts->count(); ++row) {
    QListWidgetItem* item = lbPorts->item(row);
    const auto port = static_cast<uint8_t>(item->data(PortRole).toInt());
    item->setCheckState(filter.PortShown(port) ? Qt::Checked : Qt::Unchecked);
  }
  cbReceived->setChecked(filter.ShowReceived());
  cbSent->setChecked(filter.ShowSent());
  cbErrorsOnly->setChecked(filter.ErrorsOnly());
  m_loading = false;
}

void TFilterForm::lbPortsItemChanged(QListWidgetItem* item) {
  if (m_loading) return;
  const uint32_t before = Filter().Revision();
  Filter().SetPortShown(static_cast<uint8_t>(item->data(PortRole).toInt()), item->checkState() == Qt::Checked);
  if (Filter().Revision() != before) emit FilterChanged();
}

void TFilterForm::KindClick() {
  if (m_loading) return;
  const uint32_t before = Filter().Revision();
  Filter().SetShowReceived(cbReceived->isChecked());
  Filter().SetShowSent(cbSent->isChecked());
  Filter().SetErrorsOnly(cbErrorsOnly->isChecked());
  if (Filter().Revision() != before) emit FilterChanged();
}

void TFilterForm::SetAllPorts(bool shown) {
  const uint32_t before = Filter().Revision();
  for (const auto& entry : m_listed) Filter().SetPortShown(entry.first, shown);
  Load();
  if (Filter().Revision() != before) emit FilterChanged();
}

void TFilterForm::showEvent(QShowEvent* event) {
  Load();
  m_follow->start();
  QWidget::showEvent(event);
}

void TFilterForm::hideEvent(QHideEvent* event) {
  m_follow->stop();
  QWidget::hideEvent(event);
}

void TFilterForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    hide();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace tapwise
