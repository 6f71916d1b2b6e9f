#pragma once
// The rows the display draws: the held lines of a DisplayBuffer that pass a
// LineFilter, in order. With the filter off every held line is a row and
// row n is held line n, with nothing stored. With it on, the rows are
// worked out again on each Update, which the owner calls whenever the lines
// or the filter may have changed (a pass over at most 999 lines).
//
// Tick thread (the window's) only.

#include <vector>

#include "core/display/DisplayBuffer.h"
#include "core/display/LineFilter.h"

namespace tapwise {

class ShownLines {
 public:
  void Update(const DisplayBuffer& buffer, const LineFilter& filter);

  int Count() const { return m_filtered ? static_cast<int>(m_rows.size()) : m_count; }
  // The held index of row `row`, or -1 when there is no such row.
  int HeldIndex(int row) const;
  bool Filtered() const { return m_filtered; }

 private:
  std::vector<int> m_rows;
  int m_count = 0;
  bool m_filtered = false;
};

}  // namespace tapwise
