#include "gui/mainwindow/StatusPanels.h"

#include <QPainter>
#include <QTime>

#include <algorithm>

#include "gui/controls/WindowsLib.h"

namespace tapwise {

namespace {
constexpr int ClockPanelWidth = 64;
}

StatusPanels::StatusPanels(QWidget* parent)
    : QWidget(parent), m_colour(palette().color(QPalette::WindowText)) {
  setFixedHeight(fontMetrics().height() + 6);
}

void StatusPanels::SetStatus(const QString& text, const QColor& colour) {
  m_text = text;
  m_colour = colour;
  m_progress = 0;
  update();
}

void StatusPanels::SetProgress(uint8_t percent) {
  if (percent == m_progress) return;
  m_progress = percent;
  update();
}

QString StatusPanels::StatusLine() const {
  if (m_progress == 0) return m_text;
  return m_text + " - " + QString::number(m_progress) + "%";
}

void StatusPanels::SetFilterNote(const QString& note) {
  if (note == m_filterNote) return;
  m_filterNote = note;
  update();
}

void StatusPanels::SetPort(const QString& text, const QColor& colour) {
  if (text == m_port && colour == m_portColour) return;
  m_port = text;
  m_portColour = colour;
  update();
}

void StatusPanels::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  canvas.fillRect(rect(), ButtonFaceColour());
  QFont bold = font();
  bold.setBold(true);
  canvas.setFont(bold);
  const QFontMetrics metrics(bold);
  const int ascent = metrics.ascent();
  const int portWidth = m_port.isEmpty() ? 0 : metrics.horizontalAdvance(m_port) + 8;
  const int statusLeft = ClockPanelWidth + (portWidth > 0 ? portWidth + 2 : 0);
  // The filter's panel takes what its words need, at most half the bar.
  const int noteWidth = m_filterNote.isEmpty() ? 0 : std::min(metrics.horizontalAdvance(m_filterNote) + 8, width() / 2);
  const QRect clockPanel(0, 1, ClockPanelWidth - 2, height() - 2);
  const QRect portPanel(ClockPanelWidth, 1, portWidth, height() - 2);
  const QRect statusPanel(statusLeft, 1, width() - statusLeft - (noteWidth > 0 ? noteWidth + 2 : 0), height() - 2);
  const QRect notePanel(width() - noteWidth, 1, noteWidth, height() - 2);
  for (const QRect& panel : {clockPanel, portPanel, statusPanel, notePanel}) {
    if (panel.width() <= 0) continue;
    canvas.setPen(ButtonShadowColour());
    PolylineExclusive(canvas, {panel.bottomLeft(), panel.topLeft(), panel.topRight()});
    canvas.setPen(ButtonHighlightColour());
    PolylineExclusive(canvas, {panel.topRight(), panel.bottomRight(), panel.bottomLeft()});
  }
  canvas.setPen(palette().color(QPalette::WindowText));
  canvas.drawText(QPoint(clockPanel.left() + 2, clockPanel.top() + 2 + ascent),
                  QTime::currentTime().toString("hh:mm:ss"));
  if (portWidth > 0) {
    canvas.setPen(m_portColour);
    canvas.drawText(QPoint(portPanel.left() + 4, portPanel.top() + 2 + ascent), m_port);
  }
  canvas.setPen(m_colour);
  canvas.save();
  canvas.setClipRect(statusPanel);
  canvas.drawText(QPoint(statusPanel.left() + 2, statusPanel.top() + 2 + ascent), StatusLine());
  canvas.restore();
  if (noteWidth > 0) {
    canvas.setPen(palette().color(QPalette::WindowText));
    canvas.setClipRect(notePanel);
    canvas.drawText(QPoint(notePanel.left() + 4, notePanel.top() + 2 + ascent), m_filterNote);
  }
}

}  // namespace tapwise
