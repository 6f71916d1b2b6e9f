#pragma once
// The live display: the lines of the display ring drawn in the port colours,
// transmissions and packets with errors on their own backgrounds, separator
// lines in hex mode, and a dotted frame round every line of the selected
// packet. It sits in a scroll area, is exactly 80 characters wide (wider by
// what finer packet times add to the header) and as high as the lines held,
// and paints only the rows that meet the exposed area.
//
// Painting only looks things up: the colours are resolved when they are set
// or the palette changes, the cells measured when the font changes.
//
// Given a history, the rows go on above the ring's into it (DisplayRows);
// a view scrolled up into those rows, or held by find, stays on its lines
// while new ones come, rather than following the newest. Given a find, the
// matches on the rows shown are marked.

#include <QColor>
#include <QFont>
#include <QMenu>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

#include "core/config/ColourTable.h"
#include "core/display/DisplayDrain.h"
#include "core/display/DisplayRows.h"
#include "core/display/PacketSelection.h"
#include "core/display/ShownLines.h"
#include "core/format/PacketTime.h"
#include "core/session/DisplayFind.h"
#include "gui/mainwindow/DisplayGeometry.h"
#include "gui/mainwindow/MainKeys.h"

class QScrollArea;
class QWheelEvent;

namespace tapwise {

class PacketHistory;

class DisplayPaintBox : public QWidget {
  Q_OBJECT
 public:
  // The vertical scroll bar's width, which the window's width allows for.
  static constexpr int ScrollBarWidth = 16;

  DisplayPaintBox(DisplayDrain& drain, QWidget* parent = nullptr);

  // The scroll area that holds this paint box; created with it.
  QScrollArea* ScrollBox() const { return m_scrollBox; }

  // Sets the font (plain style); a family that is not installed, such as
  // "FixedSys", falls back to the system's fixed-width font. Recomputes the
  // metrics, the width, the height and the scroll steps, and follows the end.
  void ApplyDisplayFont(const QString& name, int pointSize);
  // Any font the box is given (through ApplyDisplayFont or not) is spaced
  // out to whole pixel cells and measured when it arrives.
  const DisplayGeometry& Geometry() const { return m_geometry; }
  int CharWidth() const { return m_geometry.CharWidth(); }
  int LineHeight() const { return m_geometry.LineHeight(); }
  // The main window's width for the box: its columns, the scroll bar and frame.
  int WindowWidth() const { return m_geometry.BoxWidth() + 2 * ScrollBarWidth + 4; }

  void SetColours(const ColourTable& colours);
  // The precision of the times in hex lines' headers: tenths as the packet
  // data file has them, or ms or us in a wider header, which widens the
  // box. The lines held stay as they are; the view keeps its place.
  void SetTimeStyle(TimeStyle style);
  TimeStyle Time() const { return m_time; }
  // The colour port n's text and tab caption are drawn in. Ports above 16
  // take the colours of 1..16 again in turn.
  QColor PortColour(int port) const;

  // The rows drawn: the held lines that pass the drain's filter.
  const ShownLines& Shown() const { return m_shown; }
  // Height follows the lines held; the view goes to the newest line and is
  // repainted at once.
  void ScrollToEnd();
  // Height follows the lines held (after Clear, or a new filter, say) and
  // repaints.
  void LinesChanged();
  // Moves the view by pixels (positive: down).
  void ScrollBy(int pixels);
  // The window's scroll keys: a page for Page Up and Down, a line for the
  // arrows; any other action does nothing.
  void ScrollForKey(MainKeyCommand::Kind action);
  // A wheel event anywhere in the window scrolls one line per notch,
  // however the notches come in parts; the event climbs the parents when
  // ignored, so each is acted on once. True when it is used up: it was
  // over the display, where that is all the wheel does.
  bool ScrollForWindowWheel(QWidget* widget, QWheelEvent* event);

  // May be null; not owned. The rows then scroll back into the history and
  // the matches are marked.
  void SetHistory(PacketHistory* history);
  void SetFind(const DisplayFind* find);
  const DisplayRows& Rows() const { return m_rows; }
  // Releases the view and puts it on the newest line at once.
  void ShowNewest();
  // Puts row `row` in the middle of the view and holds the view there.
  void ShowRow(int row);
  // Held, the view stays on its lines as new ones come; released, it
  // follows the newest again.
  void SetHeld(bool held);
  bool Held() const { return m_held; }
  // Whether the view stays on its lines at the next pass: held, or scrolled
  // up into the history rows.
  bool Holding() const;

  const PacketSelection& Selection() const { return m_selection; }
  QMenu* ContextMenu() const { return m_pmMain; }
  QAction* mCopy;
  QAction* mSend;
  QAction* mSendHex;
  QAction* mPlayThisPacket;

 signals:
  // The rows were worked out again (lines came or went), before the repaint.
  void RowsChanged();

 protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateHeight();
  // The rows drawn, and the row of Rows() that drawn row `row` shows (-1:
  // none).
  int RowCount() const;
  int BaseRow(int row) const;
  // Works the rows out again, keeping a holding view on the lines it shows.
  void RefreshRows();
  void PaintMarks(QPainter& canvas, int row, int y);
  void ResolveColours();
  void MeasureFont();

  DisplayDrain& m_drain;
  DisplayRows m_rows;
  const DisplayFind* m_find = nullptr;
  std::vector<MarkedColumns> m_marks;  // of the row being painted
  bool m_held = false;
  QScrollArea* m_scrollBox;
  QMenu* m_pmMain;
  PacketSelection m_selection;
  ShownLines m_shown;
  // As set, system colours unresolved, so that a new palette can resolve
  // them again.
  ColourTable m_colourTable;
  std::array<QColor, ColourTable::Count> m_colours;
  QColor m_windowColour;
  QColor m_separatorColour;
  DisplayGeometry m_geometry;
  TimeStyle m_time = TimeStyle::Tenths;
  int m_widerHeader = 0;  // columns the header has beyond the file's 12
  bool m_spacingFont = false;
  const QWheelEvent* m_lastWheel = nullptr;
  quint64 m_lastWheelTime = 0;
  int m_wheelRemainder = 0;
};

}  // namespace tapwise
