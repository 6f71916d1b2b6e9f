#pragma once
// The Statistics window: a table with one row per present port (its COM
// number and name in the port's colour) and a column for each figure the
// session keeps (core/stats/PortStatistics.h): bytes and packets each way,
// line errors by kind, bytes a tap forwarded, reconnections, the rate over
// the last second, its peak and the line's load. A Reset button starts
// every figure again.
//
// While shown it reads the figures once a second on a timer of its own,
// which keeps going when the main window's timer rests; hidden, it costs
// nothing. Main thread only; the session and the appearance outlive it;
// Esc hides it.

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <vector>

class QPushButton;
class QTableWidget;

namespace tapwise {

class Appearance;
class MonitorSession;

class TStatisticsForm : public QWidget {
  Q_OBJECT
 public:
  static constexpr int RefreshMs = 1000;
  enum Column {
    ColPort,
    ColBytesIn,
    ColPacketsIn,
    ColBytesOut,
    ColPacketsOut,
    ColFraming,
    ColParity,
    ColOverrun,
    ColBreak,
    ColOther,
    ColForwarded,
    ColReconnects,
    ColRate,
    ColPeak,
    ColLoad,
    ColumnCount
  };

  TStatisticsForm(MonitorSession& session, Appearance& appearance, QWidget* parent = nullptr);

  QTableWidget* Grid;
  QPushButton* bReset;

  // The figures of every present port now (the timer calls it each second).
  void ShowFigures();
  void bResetClick();
  // The grid's column widths, as the settings keep them.
  std::vector<int32_t> ColumnWidths() const;
  void SetColumnWidths(const std::vector<int32_t>& widths);
  bool Refreshing() const { return m_timer.isActive(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void SetRowCount(const std::vector<uint8_t>& ports);

  MonitorSession& m_session;
  Appearance& m_appearance;
  QTimer m_timer;
  std::vector<uint8_t> m_rowPorts;
};

}  // namespace tapwise
