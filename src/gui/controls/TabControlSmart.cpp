#include "gui/controls/TabControlSmart.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cstdlib>

#include "gui/controls/WindowsLib.h"

namespace tapwise {

namespace {

// Inactive tabs sit this much lower than the selected one, so it stands out.
constexpr int InactiveDrop = 2;

// The focus moved on to another control. When the whole window loses the
// activation (another program, or the window closing) or a menu pops up,
// the focus comes back here and nothing was left; while a window is being
// destroyed its owner must not be called either.
bool LeavesTheWindowsControls(const QFocusEvent& event) {
  return event.reason() != Qt::ActiveWindowFocusReason && event.reason() != Qt::PopupFocusReason;
}

}  // namespace

std::vector<std::pair<int, int>> TabSwapSequence(int source, int target) {
  std::vector<std::pair<int, int>> swaps;
  if (source < 0 || target < 0) return swaps;
  for (int s = source; s > target; --s) swaps.emplace_back(s, s - 1);
  for (int s = source; s < target; ++s) swaps.emplace_back(s, s + 1);
  return swaps;
}

TTabControlSmart::TTabControlSmart(QWidget* parent) : QTabBar(parent) {
  // Reordering is ours: QTabBar's own moving would carry the tab without
  // telling the owner, leaving the per-tab data behind.
  setMovable(false);
  setChangeCurrentOnDrag(false);
  setExpanding(false);
  setDrawBase(false);
  // A click gives the bar the focus, so leaving it afterwards reads the
  // current tab's data back.
  setFocusPolicy(Qt::StrongFocus);
}

void TTabControlSmart::SetTabHeight(int height) {
  m_tabHeight = height;
  updateGeometry();
  update();
}

void TTabControlSmart::SetTabWidth(int width) {
  m_tabWidth = width;
  updateGeometry();
  update();
}

void TTabControlSmart::SetImageWidth(int width) {
  m_imageWidth = width;
  updateGeometry();
  update();
}

void TTabControlSmart::SetOnDrawTab(TDrawTabFn draw) {
  m_onDrawTab = std::move(draw);
  update();
}

bool TTabControlSmart::DropAccepted(QPoint position) const {
  const int index = tabAt(position);
  return index >= 0 && index < count() && !tabText(index).isEmpty();
}

QSize TTabControlSmart::tabSizeHint(int index) const {
  QSize size = QTabBar::tabSizeHint(index);
  if (m_tabWidth > 0) {
    size.setWidth(m_tabWidth);
  } else {
    size.rwidth() += m_imageWidth;
  }
  if (m_tabHeight > 0) size.setHeight(m_tabHeight);
  return size;
}

// Current names a tab, not a place: it follows its tab when tabs are added
// or removed before it, and is forgotten with its tab, so OnRead never names
// a tab that is gone or a different one.
void TTabControlSmart::tabInserted(int index) {
  QTabBar::tabInserted(index);
  if (m_current >= 0 && index <= m_current) ++m_current;
}

void TTabControlSmart::tabRemoved(int index) {
  QTabBar::tabRemoved(index);
  if (index == m_current) {
    m_current = -1;
  } else if (index < m_current) {
    --m_current;
  }
}

void TTabControlSmart::Fill() {
  m_current = currentIndex();
  if (m_current >= 0) emit OnFill(this, m_current);
}

void TTabControlSmart::Read() {
  if (m_current >= 0) emit OnRead(this, m_current);
}

void TTabControlSmart::mousePressEvent(QMouseEvent* event) {
  QTabBar::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  // Some styles select a tab only on release; the data change below needs
  // the tab under the pointer selected now.
  const int pressed = tabAt(event->position().toPoint());
  if (pressed >= 0 && pressed != currentIndex()) setCurrentIndex(pressed);
  if (currentIndex() != m_current) {
    Read();
    Fill();
  }
  m_pressed = true;
  m_dragMoving = false;
  m_pressPosition = event->position().toPoint();
  m_dragging = true;
}

void TTabControlSmart::mouseMoveEvent(QMouseEvent* event) {
  if (!m_pressed) {
    QTabBar::mouseMoveEvent(event);
    return;
  }
  const QPoint position = event->position().toPoint();
  if (!m_dragMoving) {
    const QPoint travel = position - m_pressPosition;
    m_dragMoving = std::abs(travel.x()) >= DragThreshold || std::abs(travel.y()) >= DragThreshold;
  }
  if (m_dragMoving) setCursor(DropAccepted(position) ? Qt::DragMoveCursor : Qt::ForbiddenCursor);
  event->accept();
}

void TTabControlSmart::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !m_pressed) {
    QTabBar::mouseReleaseEvent(event);
    return;
  }
  const bool moved = m_dragMoving;
  const QPoint position = event->position().toPoint();
  // A press that never travelled is an ordinary click: the base class may
  // finish it. A finished drag must not also select on release.
  if (!moved) QTabBar::mouseReleaseEvent(event);
  if (moved && DropAccepted(position)) Drop(position);
  EndDrag();
  event->accept();
}

void TTabControlSmart::Drop(QPoint position) {
  const int target = tabAt(position);
  if (target < 0) return;
  for (const auto& [a, b] : TabSwapSequence(currentIndex(), target)) {
    const QString caption = tabText(a);
    setTabText(a, tabText(b));
    setTabText(b, caption);
    emit OnSwapData(this, a, b);
  }
  setCurrentIndex(target);
  // The data travelled with the tab: it is current again without a Fill.
  m_current = currentIndex();
}

void TTabControlSmart::EndDrag() {
  m_pressed = false;
  m_dragMoving = false;
  m_dragging = false;
  unsetCursor();
}

void TTabControlSmart::focusOutEvent(QFocusEvent* event) {
  QTabBar::focusOutEvent(event);
  if (LeavesTheWindowsControls(*event)) Read();
}

void TTabControlSmart::wheelEvent(QWheelEvent* event) {
  // Switching tabs by the wheel would change the tab without Read and Fill.
  event->ignore();
}

void TTabControlSmart::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  canvas.setBackgroundMode(Qt::TransparentMode);
  const int active = currentIndex();

  // The line the selected tab opens onto: the top edge of the page below.
  canvas.setPen(ButtonHighlightColour());
  canvas.drawLine(0, height() - 1, width() - 1, height() - 1);

  for (int i = 0; i < count(); ++i) {
    if (i != active) DrawTab(canvas, i, false);
  }
  // The selected tab last, over the edges of its neighbours.
  if (active >= 0) DrawTab(canvas, active, true);
}

void TTabControlSmart::DrawTab(QPainter& canvas, int index, bool active) {
  QRect outline = tabRect(index);
  if (!outline.isValid()) return;
  if (!active) outline.setTop(outline.top() + InactiveDrop);
  // Inactive tabs end at the page's edge line; the selected one runs over it.
  if (!active) outline.setBottom(outline.bottom() - 1);

  if (active) {
    canvas.fillRect(outline, ButtonFaceColour());
  } else {
    QRect shaded = outline;
    if (m_tabHeight > 0 && shaded.height() > m_tabHeight) shaded.setHeight(m_tabHeight);
    GradientFill(canvas, shaded.left(), shaded.top(), shaded.right() + 1, shaded.bottom() + 1,
                 ButtonFaceColour(), ScrollBarColour());
  }

  const int left = outline.left();
  const int right = outline.right();
  const int top = outline.top();
  const int bottom = outline.bottom();
  canvas.setPen(ButtonHighlightColour());
  canvas.drawLine(left, bottom, left, top + 2);
  canvas.drawPoint(left + 1, top + 1);
  canvas.drawLine(left + 2, top, right - 2, top);
  canvas.setPen(ButtonShadowColour());
  canvas.drawLine(right - 1, top + 1, right - 1, bottom);
  canvas.setPen(palette().color(QPalette::Shadow));
  canvas.drawLine(right, top + 2, right, bottom);

  canvas.save();
  canvas.setClipRect(outline);
  if (m_onDrawTab) {
    m_onDrawTab(canvas, index, outline, active);
  } else {
    canvas.setPen(palette().color(QPalette::ButtonText));
    canvas.drawText(outline, Qt::AlignCenter, tabText(index));
  }
  canvas.restore();
}

}  // namespace tapwise
