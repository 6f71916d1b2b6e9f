#pragma once
// A draw grid over an item model that scrolls by whole rows on the mouse
// wheel. Grid coordinates: row 0 is the fixed header row, rows 1.. are the
// model's rows; with a fixed column, column 0 is that column (the row
// labels, which stay in place when the grid scrolls sideways) and column c
// shows model column c - 1, else column c is model column c. Every cell,
// fixed ones too, is painted by DrawCell and then by the window's
// draw-cell handler, so the window decides what a cell shows.
//
// The wheel, per notch: step = fully visible rows / 6, at least 1; down
// moves the top row by step while the last rows are not yet reached, else
// shows the last rows; up moves it back by step, to row 1 at most. The
// current cell does not move.
//
// With row moving on, a row is dragged by its fixed cell; the grid then only
// reports RowMoved(from, to) and the owner moves its data. Columns are sized
// by dragging their edge in the header row, the fixed column's too.
//
// The constructor selects whole rows, one at a time, with the scroll bars
// following their thumbs; a window sets its own selection options after it.
// Main thread only.

#include <QTableView>

#include <functional>

class QAbstractButton;
class QPainter;

namespace tapwise {

class TDrawGridMouseWheel : public QTableView {
  Q_OBJECT
 public:
  explicit TDrawGridMouseWheel(QWidget* parent = nullptr);

  // The window's part of painting a cell, after the grid's background.
  using DrawCellHandler = std::function<void(QPainter& canvas, int col, int row, const QRect& rect, bool selected)>;
  void SetOnDrawCell(DrawCellHandler handler);

  int RowCount() const;
  int ColCount() const;
  // 0 or 1: whether column 0 is the fixed column.
  int FixedCols() const { return m_fixedCols; }
  void SetFixedCols(int count);
  void SetRowMoving(bool on);
  // Height of every row, the fixed one too, without the grid line.
  void SetDefaultRowHeight(int height);
  // Width of a column without the grid line.
  int ColWidth(int col) const;
  void SetColWidth(int col, int width);

  // The first scrollable row shown, and how many are shown whole.
  int TopRow() const;
  void SetTopRow(int row);
  int VisibleRowCount() const;

  // The current cell; the fixed row and column are never current.
  int Col() const;
  int Row() const;
  void SetCurrentCell(int col, int row);
  // The cell area's rectangle of a scrollable cell, in viewport pixels.
  QRect CellRect(int col, int row) const;
  // The scrollable cell at a point of the viewport; (-1, -1) where there is none.
  QPoint CellAt(QPoint viewportPoint) const;
  bool Editing() const { return state() == EditingState; }
  // Closes an open cell editor, storing what it holds.
  void EndEdit();

  // The top row after one notch, by the rule above (rows counted with the
  // fixed row, as TopRow and RowCount are).
  static int WheelTopRow(int topRow, int visibleRows, int rowCount, bool down);

 signals:
  void RowMoved(int fromRow, int toRow);

 protected:
  // Fills the cell's background: the highlight when selected, the button
  // face for fixed cells, else the window colour; then the handler. A
  // derived grid paints its own background and then calls
  // CallDrawCellHandler.
  virtual void DrawCell(QPainter& canvas, int col, int row, const QRect& rect, bool selected);
  void CallDrawCellHandler(QPainter& canvas, int col, int row, const QRect& rect, bool selected);
  bool IsFixed(int col, int row) const { return row == 0 || col < m_fixedCols; }

  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class DrawGridHeader;
  friend class DrawGridDelegate;

  // A fixed cell with its grid lines on the right and bottom.
  void PaintFixedCell(QPainter& canvas, int col, int row, const QRect& section);
  // The top-left cell: painted as a fixed cell, and sizing the fixed column.
  bool CornerEvent(QEvent* event);
  void FixedSectionMoved(int logical, int oldVisual, int newVisual);

  DrawCellHandler m_onDrawCell;
  QAbstractButton* m_corner = nullptr;
  int m_fixedCols = 0;
  int m_wheelRemainder = 0;
  bool m_sizingFixedCol = false;
};

}  // namespace tapwise
