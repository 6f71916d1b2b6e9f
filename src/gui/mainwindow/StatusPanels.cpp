#include "gui/mainwindow/StatusPanels.h"

#include "gui/controls/WindowsLib.h"

#include <QPainter>
#include <QTime>

#include <algorithm>

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

void StatusPanels::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  canvas.fillRect(rect(), ButtonFaceColour());
  QFont bold = font();
  bold.setBold(true);
  canvas.setFont(bold);
  const int ascent = QFontMetrics(bold).ascent();
  // The filter's panel takes what its words need, at most half the bar.
  const int noteWidth =
      m_filterNote.isEmpty() ? 0 : std::min(QFontMetrics(bold).horizontalAdvance(m_filterNote) + 8, width() / 2);
  const int statusWidth = width() - ClockPanelWidth - (noteWidth > 0 ? noteWidth + 2 : 0);
  const QRect panels[3] = {QRect(0, 1, ClockPanelWidth - 2, height() - 2),
                           QRect(ClockPanelWidth, 1, statusWidth, height() - 2),
                           QRect(width() - noteWidth, 1, noteWidth, height() - 2)};
  for (const QRect& panel : panels) {
    if (panel.width() <= 0) continue;
    canvas.setPen(ButtonShadowColour());
    PolylineExclusive(canvas, {panel.bottomLeft(), panel.topLeft(), panel.topRight()});
    canvas.setPen(ButtonHighlightColour());
    PolylineExclusive(canvas, {panel.topRight(), panel.bottomRight(), panel.bottomLeft()});
  }
  canvas.setPen(palette().color(QPalette::WindowText));
  canvas.drawText(QPoint(panels[0].left() + 2, panels[0].top() + 2 + ascent),
                  QTime::currentTime().toString("hh:mm:ss"));
  canvas.setPen(m_colour);
  canvas.save();
  canvas.setClipRect(panels[1]);
  canvas.drawText(QPoint(panels[1].left() + 2, panels[1].top() + 2 + ascent), StatusLine());
  canvas.restore();
  if (noteWidth > 0) {
    canvas.setPen(palette().color(QPalette::WindowText));
    canvas.setClipRect(panels[2]);
    canvas.drawText(QPoint(panels[2].left() + 4, panels[2].top() + 2 + ascent), m_filterNote);
  }
}

}  // namespace tapwise
