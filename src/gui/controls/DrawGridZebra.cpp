#include "gui/controls/DrawGridZebra.h"

#include <QHeaderView>
#include <QPainter>

#include "gui/controls/WindowsLib.h"

namespace tapwise {

TDrawGridZebra::TDrawGridZebra(QWidget* parent) : TDrawGridMouseWheel(parent) {}

void TDrawGridZebra::SetSort(int col) {
  m_sort = col;
  Repaint();
}

void TDrawGridZebra::SetColorZebra(const QColor& colour) {
  m_colorZebra = colour;
  Repaint();
}

void TDrawGridZebra::Repaint() {
  viewport()->update();
  horizontalHeader()->viewport()->update();
}

QColor TDrawGridZebra::CellBackground(int col, int row, bool selected) const {
  if (selected) return palette().color(QPalette::Highlight);
  if (IsFixed(col, row)) return ButtonFaceColour();
  return row % 2 == 0 ? m_colorZebra : WindowColour();
}

void TDrawGridZebra::DrawCell(QPainter& canvas, int col, int row, const QRect& rect, bool selected) {
  canvas.fillRect(rect, CellBackground(col, row, selected));
  canvas.setPen(selected ? palette().color(QPalette::HighlightedText) : WindowTextColour());
  if (IsFixed(col, row) && col == m_sort) {
    // An upward triangle 8 pixels wide and high near the cell's right edge,
    // lit from the top left.
    const int x = rect.left() + rect.width() - 6;
    const int y = rect.top() + 4;
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setPen(QPen(ButtonHighlightColour(), 1));
    canvas.drawLine(QPoint(x - 4, y), QPoint(x, y + 8));
    LineToExclusive(canvas, QPoint(x - 1, y + 8), QPoint(x - 8, y + 8));
    canvas.setPen(QPen(ButtonShadowColour(), 1));
    canvas.drawLine(QPoint(x - 8, y + 8), QPoint(x - 4, y));
    canvas.restore();
  }
  CallDrawCellHandler(canvas, col, row, rect, selected);
}

}  // namespace tapwise
