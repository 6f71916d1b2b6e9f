#include "gui/mainwindow/DisplayGeometry.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tapwise {

namespace {

// Whole cells times a count, held at the int range instead of overflowing.
int Times(int count, int size) {
  const int64_t product = static_cast<int64_t>(count) * size;
  return static_cast<int>(std::clamp<int64_t>(product, std::numeric_limits<int>::min(),
                                              std::numeric_limits<int>::max()));
}

// Rounds towards minus infinity, so that the pixel rows just above the box
// fall in row -1 and not in row 0.
int FloorDiv(int value, int divisor) {
  const int quotient = value / divisor;
  return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

}  // namespace

DisplayGeometry::DisplayGeometry(int charWidth, int textHeight, int ascent, int columns)
    : m_charWidth(std::max(1, charWidth)),
      m_textHeight(std::max(1, textHeight)),
      m_ascent(ascent),
      m_columns(std::max(1, columns)) {}

std::pair<int, int> DisplayGeometry::RowsInBand(int top, int bottom, int lineCount) const {
  if (bottom < top || lineCount <= 0) return {0, 0};
  const int first = std::clamp(RowAt(top), 0, lineCount);
  const int end = std::clamp(RowAt(bottom) + 1, first, lineCount);
  return {first, end};
}

int DisplayGeometry::RowAt(int y) const {
  return FloorDiv(y, LineHeight());
}

int DisplayGeometry::RowTop(int row) const {
  return Times(row, LineHeight());
}

int DisplayGeometry::TextWidth(int characters) const {
  return Times(std::max(0, characters), m_charWidth);
}

int DisplayGeometry::ColumnMiddle(int column) const {
  return Times(column, m_charWidth) + m_charWidth / 2;
}

int DisplayGeometry::BoxHeight(int lineCount) const {
  return Times(std::max(0, lineCount), LineHeight());
}

}  // namespace tapwise
