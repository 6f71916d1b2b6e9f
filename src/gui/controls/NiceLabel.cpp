#include "gui/controls/NiceLabel.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>

#include "gui/markup/Markup.h"

namespace tapwise {

TNiceLabel::TNiceLabel(QWidget* parent) : QWidget(parent) {}

std::string TNiceLabel::MarkupFromText(const std::string& text) {
  std::string markup;
  markup.reserve(text.size());
  for (char c : text) {
    if (c != '\n') {
      markup += c;
      continue;
    }
    // A carriage return before the line feed becomes the backslash, so the
    // pair turns into the escape in place; a line feed alone keeps the
    // character before it and gains a backslash of its own.
    if (!markup.empty() && markup.back() == '\r') markup.pop_back();
    markup += "\\n";
  }
  return markup;
}

int TNiceLabel::TextLeft(TAlignment alignment, int clientWidth, int extentRight) {
  switch (alignment) {
    case taRightJustify:
      return std::max(clientWidth - extentRight, 0);
    case taCenter:
      return std::max((clientWidth - extentRight) / 2, 0);
    default:
      return 0;
  }
}

void TNiceLabel::SetCaption(const std::string& caption) {
  m_caption = MarkupFromText(caption);
  if (m_autoSize) {
    const MarkupExtent extent = MeasureMarkup(font(), 0, 0, m_caption, m_gap);
    const QSize wanted(std::max(extent.Right, 4), std::max(extent.Bottom, 4));
    if (wanted != size()) resize(wanted);
  }
  update();
}

void TNiceLabel::SetAutoSize(bool autoSize) {
  m_autoSize = autoSize;
  SetCaption(m_caption);
}

void TNiceLabel::SetGap(uint16_t gap) {
  m_gap = gap;
  SetCaption(m_caption);
}

void TNiceLabel::SetBorder(TBorder border) {
  m_border = border;
  SetCaption(m_caption);
}

void TNiceLabel::SetAlignment(TAlignment alignment) {
  m_alignment = alignment;
  SetCaption(m_caption);
}

void TNiceLabel::changeEvent(QEvent* event) {
  // A label that sizes itself must follow a new font too, or its text is cut.
  if (event->type() == QEvent::FontChange && m_autoSize) SetCaption(m_caption);
  QWidget::changeEvent(event);
}

void TNiceLabel::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  canvas.setFont(font());
  canvas.setPen(palette().color(QPalette::WindowText));
  canvas.setBackgroundMode(Qt::TransparentMode);
  const MarkupExtent extent = MeasureMarkup(font(), 0, 0, m_caption, m_gap);
  const int left = TextLeft(m_alignment, width(), extent.Right);
  DrawMarkup(canvas, left, 0, m_caption, m_gap);
  // The frame hugs the text block where the alignment put it: a frame left
  // at the label's top-left would stand beside centred or right-aligned
  // text, which then runs out of it.
  DrawBorder(canvas, left, 0, m_border, extent.Bottom - 1, left + extent.Right - 1);
}

}  // namespace tapwise
