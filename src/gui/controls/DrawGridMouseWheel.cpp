#include "gui/controls/DrawGridMouseWheel.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

namespace tapwise {

namespace {

// How near a column's right edge the pointer must be to size it.
constexpr int SizingMargin = 4;

}  // namespace

// The fixed row (horizontal) and the fixed column (vertical): each section
// is a fixed cell of the grid, painted like any other cell.
class DrawGridHeader : public QHeaderView {
 public:
  DrawGridHeader(Qt::Orientation orientation, TDrawGridMouseWheel* grid)
      : QHeaderView(orientation, grid), m_grid(grid) {
    setSectionsClickable(false);
    setHighlightSections(false);
    setStretchLastSection(false);
    setMinimumSectionSize(1);
    setSectionResizeMode(orientation == Qt::Horizontal ? QHeaderView::Interactive : QHeaderView::Fixed);
  }

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
    if (orientation() == Qt::Horizontal) {
      m_grid->PaintFixedCell(*painter, logicalIndex + m_grid->FixedCols(), 0, rect);
    } else {
      m_grid->PaintFixedCell(*painter, 0, logicalIndex + 1, rect);
    }
  }

 private:
  TDrawGridMouseWheel* m_grid;
};

// Cells of rows 1..: painted by the grid; editing is the delegate's own.
class DrawGridDelegate : public QStyledItemDelegate {
 public:
  explicit DrawGridDelegate(TDrawGridMouseWheel* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

  // A cell editor takes any length: a shorter limit would cut a long text
  // the moment its cell is edited.
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) line->setMaxLength(std::numeric_limits<int>::max());
    return editor;
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    // A text of several lines stays inside its cell.
    painter->save();
    painter->setClipRect(option.rect, Qt::IntersectClip);
    m_grid->DrawCell(*painter, index.column() + m_grid->FixedCols(), index.row() + 1, option.rect,
                     (option.state & QStyle::State_Selected) != 0);
    painter->restore();
  }

 private:
  TDrawGridMouseWheel* m_grid;
};

TDrawGridMouseWheel::TDrawGridMouseWheel(QWidget* parent) : QTableView(parent) {
  setHorizontalHeader(new DrawGridHeader(Qt::Horizontal, this));
  setVerticalHeader(new DrawGridHeader(Qt::Vertical, this));
  verticalHeader()->hide();
  connect(verticalHeader(), &QHeaderView::sectionMoved, this, &TDrawGridMouseWheel::FixedSectionMoved);
  setItemDelegate(new DrawGridDelegate(this));
  setVerticalScrollMode(ScrollPerItem);
  setHorizontalScrollMode(ScrollPerPixel);
  setSelectionBehavior(SelectRows);
  setSelectionMode(SingleSelection);
  verticalScrollBar()->setTracking(true);
  horizontalScrollBar()->setTracking(true);
  setWordWrap(false);
  // The top-left cell is the fixed row's cell of the fixed column; its
  // clicks select nothing.
  m_corner = findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
  if (m_corner) {
    m_corner->installEventFilter(this);
    m_corner->setMouseTracking(true);
  }
  SetDefaultRowHeight(24);
}

void TDrawGridMouseWheel::SetOnDrawCell(DrawCellHandler handler) {
  m_onDrawCell = std::move(handler);
  viewport()->update();
}

int TDrawGridMouseWheel::RowCount() const { return (model() ? model()->rowCount() : 0) + 1; }

int TDrawGridMouseWheel::ColCount() const { return (model() ? model()->columnCount() : 0) + m_fixedCols; }

void TDrawGridMouseWheel::SetFixedCols(int count) {
  m_fixedCols = std::clamp(count, 0, 1);
  verticalHeader()->setVisible(m_fixedCols == 1);
}

void TDrawGridMouseWheel::SetRowMoving(bool on) { verticalHeader()->setSectionsMovable(on); }

// A section holds the cell and the grid line right of or below it.
void TDrawGridMouseWheel::SetDefaultRowHeight(int height) {
  verticalHeader()->setDefaultSectionSize(height + 1);
  horizontalHeader()->setFixedHeight(height + 1);
}

int TDrawGridMouseWheel::ColWidth(int col) const {
  if (col < m_fixedCols) return verticalHeader()->maximumWidth() - 1;
  return horizontalHeader()->sectionSize(col - m_fixedCols) - 1;
}

void TDrawGridMouseWheel::SetColWidth(int col, int width) {
  const int section = std::max(1, width + 1);
  if (col < m_fixedCols) {
    verticalHeader()->setFixedWidth(section);
    updateGeometries();
  } else {
    horizontalHeader()->resizeSection(col - m_fixedCols, section);
  }
}

int TDrawGridMouseWheel::TopRow() const { return verticalScrollBar()->value() + 1; }

void TDrawGridMouseWheel::SetTopRow(int row) { verticalScrollBar()->setValue(row - 1); }

int TDrawGridMouseWheel::VisibleRowCount() const {
  if (!model()) return 0;
  int count = 0;
  for (int row = TopRow() - 1; row < model()->rowCount(); ++row) {
    if (rowViewportPosition(row) + rowHeight(row) > viewport()->height()) break;
    ++count;
  }
  return count;
}

int TDrawGridMouseWheel::Col() const {
  return currentIndex().isValid() ? currentIndex().column() + m_fixedCols : -1;
}

int TDrawGridMouseWheel::Row() const { return currentIndex().isValid() ? currentIndex().row() + 1 : 0; }

void TDrawGridMouseWheel::SetCurrentCell(int col, int row) {
  if (!model() || row < 1 || col < m_fixedCols) return;
  setCurrentIndex(model()->index(row - 1, col - m_fixedCols));
}

QRect TDrawGridMouseWheel::CellRect(int col, int row) const {
  if (!model() || row < 1 || col < m_fixedCols) return {};
  return visualRect(model()->index(row - 1, col - m_fixedCols));
}

QPoint TDrawGridMouseWheel::CellAt(QPoint viewportPoint) const {
  const QModelIndex index = indexAt(viewportPoint);
  if (!index.isValid()) return {-1, -1};
  return {index.column() + m_fixedCols, index.row() + 1};
}

void TDrawGridMouseWheel::EndEdit() {
  if (!Editing()) return;
  if (QWidget* editor = indexWidget(currentIndex())) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
  }
}

int TDrawGridMouseWheel::WheelTopRow(int topRow, int visibleRows, int rowCount, bool down) {
  const int step = std::max(1, visibleRows / 6);
  if (down) {
    if (visibleRows + topRow + step - 1 < rowCount) return topRow + step;
    return std::max(1, rowCount - visibleRows);
  }
  return topRow - step > 0 ? topRow - step : 1;
}

void TDrawGridMouseWheel::DrawCell(QPainter& canvas, int col, int row, const QRect& rect, bool selected) {
  const QColor background = selected ? palette().color(QPalette::Highlight)
                            : IsFixed(col, row) ? palette().color(QPalette::Button)
                                                : palette().color(QPalette::Base);
  canvas.fillRect(rect, background);
  CallDrawCellHandler(canvas, col, row, rect, selected);
}

void TDrawGridMouseWheel::CallDrawCellHandler(QPainter& canvas, int col, int row, const QRect& rect, bool selected) {
  if (m_onDrawCell) m_onDrawCell(canvas, col, row, rect, selected);
}

void TDrawGridMouseWheel::PaintFixedCell(QPainter& canvas, int col, int row, const QRect& section) {
  const QRect cell = section.adjusted(0, 0, -1, -1);
  canvas.save();
  canvas.setClipRect(cell, Qt::IntersectClip);
  DrawCell(canvas, col, row, cell, false);
  canvas.restore();
  QStyleOptionViewItem option;
  canvas.setPen(QColor::fromRgba(static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this))));
  canvas.drawLine(section.topRight(), section.bottomRight());
  canvas.drawLine(section.bottomLeft(), section.bottomRight());
}

void TDrawGridMouseWheel::FixedSectionMoved(int, int oldVisual, int newVisual) {
  // The rows stay where they are; the owner moves its data instead.
  verticalHeader()->blockSignals(true);
  verticalHeader()->moveSection(newVisual, oldVisual);
  verticalHeader()->blockSignals(false);
  if (newVisual != oldVisual) emit RowMoved(oldVisual + 1, newVisual + 1);
}

bool TDrawGridMouseWheel::CornerEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::Paint: {
      QPainter canvas(m_corner);
      PaintFixedCell(canvas, 0, 0, m_corner->rect());
      return true;
    }
    case QEvent::MouseMove: {
      const int x = static_cast<int>(static_cast<QMouseEvent*>(event)->position().x());
      if (m_sizingFixedCol) {
        SetColWidth(0, std::max(SizingMargin, x));
      } else if (x >= m_corner->width() - SizingMargin && m_fixedCols == 1) {
        m_corner->setCursor(Qt::SplitHCursor);
      } else {
        m_corner->unsetCursor();
      }
      return true;
    }
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      m_sizingFixedCol = m_fixedCols == 1 && mouse->button() == Qt::LeftButton &&
                         mouse->position().x() >= m_corner->width() - SizingMargin;
      return true;
    }
    case QEvent::MouseButtonRelease:
      m_sizingFixedCol = false;
      return true;
    case QEvent::MouseButtonDblClick:
      return true;
    default:
      return false;
  }
}

bool TDrawGridMouseWheel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_corner && m_corner) return CornerEvent(event);
  return QTableView::eventFilter(watched, event);
}

void TDrawGridMouseWheel::wheelEvent(QWheelEvent* event) {
  m_wheelRemainder += event->angleDelta().y();
  for (; m_wheelRemainder >= QWheelEvent::DefaultDeltasPerStep; m_wheelRemainder -= QWheelEvent::DefaultDeltasPerStep) {
    SetTopRow(WheelTopRow(TopRow(), VisibleRowCount(), RowCount(), false));
  }
  for (; m_wheelRemainder <= -QWheelEvent::DefaultDeltasPerStep; m_wheelRemainder += QWheelEvent::DefaultDeltasPerStep) {
    SetTopRow(WheelTopRow(TopRow(), VisibleRowCount(), RowCount(), true));
  }
  event->accept();
}

void TDrawGridMouseWheel::mousePressEvent(QMouseEvent* event) {
  // Only the left button picks a cell; the others are the window's.
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  QTableView::mousePressEvent(event);
}

void TDrawGridMouseWheel::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && !Editing() && currentIndex().isValid()) {
    edit(currentIndex());
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

}  // namespace tapwise
