#include "gui/mainwindow/StatusPanels.h"

#include "gui/controls/WindowsLib.h"

#include <QPainter>
#include <QTime>

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

void StatusPanels::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  canvas.fillRect(rect(), ButtonFaceColour());
  QFont bold = font();
  bold.setBold(true);
  canvas.setFont(bold);
  const int ascent = QFontMetrics(bold).ascent();
  const QRect panels[2] = {QRect(0, 1, ClockPanelWidth - 2, height() - 2),
                           QRect(ClockPanelWidth, 1, width() - ClockPanelWidth, height() - 2)};
  for (const QRect& panel : panels) {
    canvas.setPen(ButtonShadowColour());
    PolylineExclusive(canvas, {panel.bottomLeft(), panel.topLeft(), panel.topRight()});
    canvas.setPen(ButtonHighlightColour());
    PolylineExclusive(canvas, {panel.topRight(), panel.bottomRight(), panel.bottomLeft()});
  }
  canvas.setPen(palette().color(QPalette::WindowText));
  canvas.drawText(QPoint(panels[0].left() + 2, panels[0].top() + 2 + ascent),
                  QTime::currentTime().toString("hh:mm:ss"));
  canvas.setPen(m_colour);
  canvas.drawText(QPoint(panels[1].left() + 2, panels[1].top() + 2 + ascent), StatusLine());
}

}  // namespace tapwise
