#pragma once
// The live display: the lines of the display ring drawn in the port colours,
// transmissions and packets with errors on their own backgrounds, separator
// lines in hex mode, and a dotted frame round every line of the selected
// packet. It sits in a scroll area, is exactly 80 characters wide and as high
// as the lines held, and paints only the rows that meet the exposed area.

#include <QColor>
#include <QFont>
#include <QMenu>
#include <QWidget>

#include <array>
#include <cstdint>

#include "core/config/ColourTable.h"
#include "core/display/DisplayDrain.h"
#include "core/display/PacketSelection.h"

class QScrollArea;

namespace tapwise {

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
  int CharWidth() const { return m_charWidth; }
  int LineHeight() const { return m_lineHeight; }

  void SetColours(const ColourTable& colours);
  // The colour port n's text and tab caption are drawn in. Ports above 16
  // take the colours of 1..16 again in turn.
  QColor PortColour(int port) const;

  // Height follows the lines held; the view goes to the newest line and is
  // repainted at once.
  void ScrollToEnd();
  // Height follows the lines held (after Clear, say) and repaints.
  void LinesChanged();
  // Moves the view by pixels (positive: down).
  void ScrollBy(int pixels);

  const PacketSelection& Selection() const { return m_selection; }
  QMenu* ContextMenu() const { return m_pmMain; }
  QAction* mCopy;
  QAction* mSend;
  QAction* mSendHex;
  QAction* mPlayThisPacket;

  // The rows [first, end) of held lines that meet the band of pixel rows
  // [top, bottom], for a given line height and line count.
  static std::pair<int, int> RowsInBand(int top, int bottom, int lineHeight, int lineCount);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateHeight();

  DisplayDrain& m_drain;
  QScrollArea* m_scrollBox;
  QMenu* m_pmMain;
  PacketSelection m_selection;
  std::array<QColor, ColourTable::Count> m_colours;
  int m_charWidth = 8;
  int m_lineHeight = 16;
  int m_textHeight = 14;
  int m_ascent = 11;
};

}  // namespace tapwise
