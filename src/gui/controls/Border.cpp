#include "gui/controls/Border.h"

#include <QPainter>

#include "gui/controls/WindowsLib.h"

namespace tapwise {

void DrawBorder(QPainter& canvas, int left, int top, TBorder kind, int bottom, int right) {
  if (kind != bLowered && kind != bRaised) return;
  const QColor shadow = ButtonShadowColour();
  const QColor window = WindowColour();
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);
  canvas.setPen(QPen(kind == bLowered ? shadow : window, 1));
  PolylineExclusive(canvas, {{left, bottom}, {left, top}, {right, top}});
  canvas.setPen(QPen(kind == bLowered ? window : shadow, 1));
  PolylineExclusive(canvas, {{right, top}, {right, bottom}, {left, bottom}});
  canvas.restore();
}

}  // namespace tapwise
