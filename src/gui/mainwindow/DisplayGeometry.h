#pragma once
// Where things are in the display's pixels: 80 columns of whole character
// cells (more when the packet times are finer than tenths), and one row per held line, LineHeight high (the text and two pixels
// between lines). Plain numbers, worked out once when the display font
// changes, so that painting and mouse clicks only look them up and a test
// needs neither a widget nor a font.
//
// Rows are counted from the top of the paint box; a y above it is row -1 or
// less, a y below the last line a row past it. Sizes that would not fit an
// int are held at the largest int rather than wrapping.

#include <utility>

namespace tapwise {

class DisplayGeometry {
 public:
  static constexpr int Columns = 80;

  // 8 by 14 pixel cells, until a font has been measured.
  DisplayGeometry() = default;
  // A width or height below 1 counts as 1, as does a column count.
  DisplayGeometry(int charWidth, int textHeight, int ascent, int columns = Columns);

  int CharWidth() const { return m_charWidth; }
  int TextHeight() const { return m_textHeight; }
  int Ascent() const { return m_ascent; }
  int LineHeight() const { return m_textHeight + 2; }
  int ColumnCount() const { return m_columns; }

  // The rows [first, end) of lineCount held lines that meet the pixel rows
  // top..bottom, both included (as a QRect's top() and bottom()).
  std::pair<int, int> RowsInBand(int top, int bottom, int lineCount) const;
  int RowAt(int y) const;
  int RowTop(int row) const;
  // A text of this many characters: that many whole cells.
  int TextWidth(int characters) const;
  // The x of a vertical line through the middle of a column's cell.
  int ColumnMiddle(int column) const;

  // The paint box: a cell per column wide, as high as the lines held.
  int BoxWidth() const { return TextWidth(m_columns); }
  int BoxHeight(int lineCount) const;

  bool operator==(const DisplayGeometry&) const = default;

 private:
  int m_charWidth = 8;
  int m_textHeight = 14;
  int m_ascent = 11;
  int m_columns = Columns;
};

}  // namespace tapwise
