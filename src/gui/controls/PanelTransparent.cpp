#include "gui/controls/PanelTransparent.h"

#include <QPainter>

#include "gui/controls/WindowsLib.h"

namespace tapwise {

TPanelTransparent::TPanelTransparent(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(false);
}

void TPanelTransparent::SetRaised(bool raised) {
  m_raised = raised;
  update();
}

void TPanelTransparent::SetLowered(bool lowered) {
  m_lowered = lowered;
  update();
}

void TPanelTransparent::paintEvent(QPaintEvent*) {
  if (!m_raised && !m_lowered) return;
  QPainter canvas(this);
  const QColor upper = m_raised ? ButtonHighlightColour() : ButtonShadowColour();
  const QColor lower = m_lowered ? ButtonHighlightColour() : ButtonShadowColour();
  const int w = width();
  const int h = height();
  for (int i = 0; i < 2; ++i) {
    canvas.setPen(upper);
    PolylineExclusive(canvas, {{i, h - i - 1}, {i, i}, {w - i - 1, i}});
    canvas.setPen(lower);
    PolylineExclusive(canvas, {{w - i - 1, i}, {w - i - 1, h - i - 1}, {i, h - i - 1}});
  }
}

}  // namespace tapwise
