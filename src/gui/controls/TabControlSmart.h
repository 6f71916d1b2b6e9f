#pragma once
// A tab bar that tells its owner when the data behind a tab must be shown or
// stored, and lets the user reorder tabs by dragging one onto another.
//
// - OnFill(index): a tab has become the current one; fill the window's
//   controls from its data. OnRead(index): the current tab is being left (or
//   the bar lost the focus); read the controls back into its data.
//   A left-button press that selects another tab raises OnRead for the tab
//   left (none before the first press) and then OnFill for the new one.
// - A left-button drag that travels at least 4 pixels and is released over
//   another tab with a non-empty caption moves the dragged tab there one place
//   at a time: each step exchanges two neighbours' captions and raises
//   OnSwapData(a, b) so the owner exchanges their data too. Only captions are
//   exchanged here; tool tips, icons and tab data are the owner's to exchange.
//   The moved tab stays selected and current; no OnFill follows.
// - Tabs are painted by this bar: the selected tab on the button face, the
//   others on a gradient from the button face to the scroll-bar colour. The
//   owner's draw callback then paints each tab's content (image, caption) over
//   that background; without one the caption is drawn centred.
// QTabBar's own tab moving never runs (a left-button drag is handled here
// even if the bar is made movable); the wheel does not switch tabs. The focus
// leaving for another window (or a menu) is no leaving: it comes back.

#include <QTabBar>

#include <functional>
#include <utility>
#include <vector>

namespace tapwise {

// The neighbour exchanges that carry a tab from source to target, in order:
// 0 -> 3 gives (0,1), (1,2), (2,3); 3 -> 1 gives (3,2), (2,1).
std::vector<std::pair<int, int>> TabSwapSequence(int source, int target);

class TTabControlSmart : public QTabBar {
  Q_OBJECT
 public:
  static constexpr int DragThreshold = 4;

  // Paints one tab's content; rect is the tab's outline.
  using TDrawTabFn =
      std::function<void(QPainter& canvas, int index, const QRect& rect, bool active)>;

  explicit TTabControlSmart(QWidget* parent = nullptr);

  int TabIndex() const { return currentIndex(); }
  void SetTabIndex(int index) { setCurrentIndex(index); }
  // 0: the height the style gives; above 0: every tab is this high.
  int TabHeight() const { return m_tabHeight; }
  void SetTabHeight(int height);
  // 0: as wide as the caption needs; above 0: every tab is this wide.
  int TabWidth() const { return m_tabWidth; }
  void SetTabWidth(int width);
  // Room the owner's drawing needs left of the caption (an image), added to
  // the width a caption needs.
  int ImageWidth() const { return m_imageWidth; }
  void SetImageWidth(int width);
  void SetOnDrawTab(TDrawTabFn draw);

  // The tab whose data the window shows; -1 before the first Fill.
  int Current() const { return m_current; }
  bool Dragging() const { return m_dragging; }
  // Whether a dragged tab may be dropped at this point of the bar.
  bool DropAccepted(QPoint position) const;

 signals:
  void OnFill(tapwise::TTabControlSmart* sender, int index);
  void OnRead(tapwise::TTabControlSmart* sender, int index);
  void OnSwapData(tapwise::TTabControlSmart* sender, int indexA, int indexB);

 protected:
  QSize tabSizeHint(int index) const override;
  void tabInserted(int index) override;
  void tabRemoved(int index) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void Fill();
  void Read();
  void Drop(QPoint position);
  void EndDrag();
  void DrawTab(QPainter& canvas, int index, bool active);

  int m_current = -1;
  bool m_dragging = false;
  bool m_pressed = false;
  bool m_dragMoving = false;
  QPoint m_pressPosition;
  int m_tabHeight = 0;
  int m_tabWidth = 0;
  int m_imageWidth = 0;
  TDrawTabFn m_onDrawTab;
};

}  // namespace tapwise
