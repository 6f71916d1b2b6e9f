#include "gui/controls/TickedLabel.h"

#include <QPainter>
#include <QPen>

#include <algorithm>

#include "gui/controls/WindowsLib.h"
#include "gui/markup/Markup.h"

namespace tapwise {

TickedLabelGeometry TickedLabelLayout(int height, int captionHeight) {
  const int unit = (height + 4) / 8;
  return {unit, std::max(unit, 2), height, (height - captionHeight) / 2};
}

std::vector<std::vector<QPoint>> TickedLabelMark(TTickedLabel::TState state, int unit) {
  const auto at = [unit](int x, int y) { return QPoint(x * unit, y * unit); };
  switch (state) {
    case TTickedLabel::sTicked:
      return {{at(2, 4), at(4, 6), at(6, 1)}};
    case TTickedLabel::sCrossed:
      return {{at(2, 2), at(6, 6)}, {at(2, 6), at(6, 2)}};
    case TTickedLabel::sProgress:
      // The lower-left half of the ring through the eight points of the square.
      return {{at(6, 6), at(4, 6), at(2, 6), at(2, 4), at(2, 2)}};
    case TTickedLabel::sNone:
      break;
  }
  return {};
}

TTickedLabel::TTickedLabel(QWidget* parent)
    : QWidget(parent),
      m_backColour(ButtonFaceColour()),
      m_tickColour(WindowTextColour()),
      m_crossColour(WindowTextColour()),
      m_progressColour(WindowTextColour()) {
  resize(sizeHint());
}

void TTickedLabel::SetBackColour(const QColor& colour) {
  m_backColour = colour;
  update();
}

void TTickedLabel::SetTickColour(const QColor& colour) {
  m_tickColour = colour;
  update();
}

void TTickedLabel::SetCrossColour(const QColor& colour) {
  m_crossColour = colour;
  update();
}

void TTickedLabel::SetProgressColour(const QColor& colour) {
  m_progressColour = colour;
  update();
}

void TTickedLabel::SetCaption(std::string caption) {
  m_caption = std::move(caption);
  updateGeometry();
  update();
}

void TTickedLabel::SetState(TState state) {
  m_state = state;
  update();
}

QSize TTickedLabel::sizeHint() const {
  const MarkupExtent extent = MeasureMarkup(font(), 0, 0, m_caption, 0);
  const int h = std::max(15, extent.Bottom);
  return QSize(h + extent.Right, h);
}

QColor TTickedLabel::MarkColour() const {
  switch (m_state) {
    case sCrossed:
      return m_crossColour;
    case sProgress:
      return m_progressColour;
    default:
      return m_tickColour;
  }
}

void TTickedLabel::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  canvas.fillRect(rect(), m_backColour);
  const int captionHeight = MeasureMarkup(font(), 0, 0, m_caption, 0).Bottom;
  const TickedLabelGeometry geometry = TickedLabelLayout(height(), captionHeight);

  canvas.setPen(QPen(MarkColour(), geometry.PenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  for (const auto& line : TickedLabelMark(m_state, geometry.Unit)) {
    canvas.drawPolyline(line.data(), static_cast<int>(line.size()));
  }

  canvas.setFont(font());
  canvas.setPen(palette().color(foregroundRole()));
  DrawMarkup(canvas, geometry.CaptionX, geometry.CaptionY, m_caption, 0);
}

}  // namespace tapwise
