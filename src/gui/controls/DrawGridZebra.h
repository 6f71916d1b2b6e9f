#pragma once
// A draw grid with alternating row colours and a sort mark: odd rows in the
// window colour, even rows in ColorZebra (pale yellow unless set), fixed
// cells in the button face, the selected cell in the highlight colours; the
// fixed cell of column Sort carries a small upward triangle, etched in the
// button highlight and shadow colours. The window's draw-cell handler then
// draws the text on that background. Main thread only.

#include <QColor>

#include "gui/controls/DrawGridMouseWheel.h"

namespace tapwise {

class TDrawGridZebra : public TDrawGridMouseWheel {
  Q_OBJECT
 public:
  explicit TDrawGridZebra(QWidget* parent = nullptr);

  // The column whose header shows the sort mark; -1 for none.
  int Sort() const { return m_sort; }
  void SetSort(int col);
  QColor ColorZebra() const { return m_colorZebra; }
  void SetColorZebra(const QColor& colour);

  // The background a cell is drawn on.
  QColor CellBackground(int col, int row, bool selected) const;

 protected:
  void DrawCell(QPainter& canvas, int col, int row, const QRect& rect, bool selected) override;

 private:
  void Repaint();

  int m_sort = -1;
  QColor m_colorZebra{255, 255, 208};
};

}  // namespace tapwise
