#include "gui/statistics/StatisticsForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

#include "core/config/ColourTable.h"
#include "core/session/MonitorSession.h"
#include "core/stats/FiguresText.h"
#include "gui/appearance/Appearance.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/SystemColours.h"
#include "gui/controls/WindowFont.h"

namespace tapwise {

namespace {

struct ColumnHead {
  const char* Caption;
  const char* Hint;
  int Width;
};

constexpr ColumnHead Heads[TStatisticsForm::ColumnCount] = {
    {"Port", "COM number and name", 90},
    {"Rx bytes", "Bytes received", 72},
    {"Rx pkts", "Packets received", 58},
    {"Tx bytes", "Bytes sent by this program", 72},
    {"Tx pkts", "Packets sent by this program (those that failed in brackets)", 58},
    {"Framing", "Received packets with a framing error", 54},
    {"Parity", "Received packets with a parity error", 50},
    {"Overrun", "Received packets with an overrun", 54},
    {"Break", "Received packets with a break", 46},
    {"Other", "Received packets with an error of no known kind", 44},
    {"Fwd bytes", "Bytes a tap passed on from this port to the other side", 72},
    {"Reconn.", "A network port connected again, or the device came back", 54},
    {"B/s", "Bytes per second, both ways, over the last second", 58},
    {"Peak B/s", "The largest rate so far", 62},
    {"Load", "The rate's share of what the line carries at its settings (both ways on one line)", 54},
};

QString Whole(double value) { return QString::number(static_cast<qulonglong>(std::llround(std::max(value, 0.0)))); }

}  // namespace

TStatisticsForm::TStatisticsForm(MonitorSession& session, Appearance& appearance, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_session(session),
      m_appearance(appearance) {
  setObjectName("StatisticsForm");
  setWindowTitle("Statistics");
  setFont(WindowFont());

  Grid = new QTableWidget(0, ColumnCount, this);
  Grid->setObjectName("StatisticsGrid");
  Grid->verticalHeader()->hide();
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid->setSelectionMode(QAbstractItemView::NoSelection);
  Grid->setFocusPolicy(Qt::NoFocus);
  Grid->verticalHeader()->setDefaultSectionSize(18);
  for (int column = 0; column < ColumnCount; ++column) {
    auto* head = new QTableWidgetItem(Heads[column].Caption);
    head->setToolTip(Heads[column].Hint);
    Grid->setHorizontalHeaderItem(column, head);
    Grid->setColumnWidth(column, Heads[column].Width);
  }

  bReset = new QPushButton("&Reset", this);
  bReset->setObjectName("bReset");
  bReset->setToolTip("Start every figure again from zero");
  connect(bReset, &QPushButton::clicked, this, &TStatisticsForm::bResetClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(bReset);
  auto* client = new QVBoxLayout(this);
  client->setContentsMargins(4, 4, 4, 4);
  client->addWidget(Grid, 1);
  client->addLayout(buttons);
  move(80, 80);
  resize(930, 200);

  m_timer.setInterval(RefreshMs);
  connect(&m_timer, &QTimer::timeout, this, &TStatisticsForm::ShowFigures);
  connect(&m_appearance, &Appearance::ColoursChanged, this, &TStatisticsForm::ShowFigures);
}

void TStatisticsForm::SetRowCount(const std::vector<uint8_t>& ports) {
  if (ports == m_rowPorts) return;
  m_rowPorts = ports;
  Grid->setRowCount(static_cast<int>(ports.size()));
  for (int row = 0; row < Grid->rowCount(); ++row) {
    for (int column = 0; column < ColumnCount; ++column) {
      if (Grid->item(row, column)) continue;
      auto* item = new QTableWidgetItem;
      item->setTextAlignment(column == ColPort ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
      Grid->setItem(row, column, item);
    }
  }
}

void TStatisticsForm::ShowFigures() {
  // Ports come and go: the rows follow the present ones.
  SetRowCount(m_session.PresentPorts());
  const ColourTable& colours = m_appearance.Colours();
  for (int row = 0; row < Grid->rowCount(); ++row) {
    const uint8_t port = m_rowPorts[static_cast<size_t>(row)];
    const PortFigures f = m_session.PortFiguresNow(port);
    const std::string& name = m_session.Comms().PortName(port);
    QTableWidgetItem* caption = Grid->item(row, ColPort);
    // Names are kept as the user typed them (UTF-8), as the tabs show them.
    caption->setText(AnsiToQString(ComName(port)) + (name.empty() ? QString() : " " + QString::fromStdString(name)));
    caption->setForeground(ResolveColour(colours[ColourTable::PortEntry(port)]));
    auto set = [&](int column, const QString& text) { Grid->item(row, column)->setText(text); };
    set(ColBytesIn, QString::number(f.BytesReceived));
    set(ColPacketsIn, QString::number(f.PacketsReceived));
    set(ColBytesOut, QString::number(f.BytesSent));
    set(ColPacketsOut, f.FailedSends == 0 ? QString::number(f.PacketsSent)
                                          : QString("%1 (%2)").arg(f.PacketsSent).arg(f.FailedSends));
    set(ColFraming, QString::number(f.Framing));
    set(ColParity, QString::number(f.Parity));
    set(ColOverrun, QString::number(f.Overrun));
    set(ColBreak, QString::number(f.Breaks));
    set(ColOther, QString::number(f.OtherErrors));
    set(ColForwarded, QString::number(f.Forwarded));
    set(ColReconnects, QString::number(f.Reconnects));
    set(ColRate, Whole(f.Rate));
    set(ColPeak, Whole(f.PeakRate));
    set(ColLoad, QString::fromStdString(LoadText(f.Load)));
  }
}

void TStatisticsForm::bResetClick() {
  m_session.ResetStatistics();
  ShowFigures();
}

std::vector<int32_t> TStatisticsForm::ColumnWidths() const {
  std::vector<int32_t> widths;
  for (int column = 0; column < ColumnCount; ++column) widths.push_back(Grid->columnWidth(column));
  return widths;
}

void TStatisticsForm::SetColumnWidths(const std::vector<int32_t>& widths) {
  for (int column = 0; column < ColumnCount && static_cast<size_t>(column) < widths.size(); ++column) {
    if (widths[static_cast<size_t>(column)] > 0) Grid->setColumnWidth(column, widths[static_cast<size_t>(column)]);
  }
}

void TStatisticsForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ShowFigures();
  m_timer.start();
}

void TStatisticsForm::hideEvent(QHideEvent* event) {
  m_timer.stop();
  QWidget::hideEvent(event);
}

void TStatisticsForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    hide();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace tapwise
