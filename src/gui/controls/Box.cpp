#include "gui/controls/Box.h"

#include <QPainter>

#include "gui/controls/WindowsLib.h"

namespace tapwise {

TBox::TBox(QWidget* parent) : QWidget(parent) {}

void TBox::SetLineTop(bool on) {
  m_lineTop = on;
  update();
}

void TBox::SetLineBottom(bool on) {
  m_lineBottom = on;
  update();
}

void TBox::SetLineLeft(bool on) {
  m_lineLeft = on;
  update();
}

void TBox::SetLineRight(bool on) {
  m_lineRight = on;
  update();
}

void TBox::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  const int cw = width();
  const int ch = height();
  // The highlight first, one pixel in; the shadow over it on the edge: each
  // edge shows as an etched groove.
  canvas.setPen(ButtonHighlightColour());
  if (m_lineTop) LineToExclusive(canvas, {1, 1}, {cw - 1, 1});
  if (m_lineRight) LineToExclusive(canvas, {cw - 1, 1}, {cw - 1, ch - 1});
  if (m_lineBottom) LineToExclusive(canvas, {cw - 1, ch - 1}, {1, ch - 1});
  if (m_lineLeft) LineToExclusive(canvas, {1, ch - 1}, {1, 1});
  canvas.setPen(ButtonShadowColour());
  if (m_lineTop) LineToExclusive(canvas, {0, 0}, {cw - 2, 0});
  if (m_lineRight) LineToExclusive(canvas, {cw - 2, 0}, {cw - 2, ch - 2});
  if (m_lineBottom) LineToExclusive(canvas, {cw - 2, ch - 2}, {0, ch - 2});
  if (m_lineLeft) LineToExclusive(canvas, {0, ch - 2}, {0, 0});
}

}  // namespace tapwise
