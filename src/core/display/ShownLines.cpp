#include "core/display/ShownLines.h"

namespace tapwise {

void ShownLines::Update(const DisplayBuffer& buffer, const LineFilter& filter) {
  m_count = buffer.LineCount();
  m_filtered = filter.Active();
  m_rows.clear();
  if (!m_filtered) return;
  // Capacity stays from pass to pass: a busy display allocates nothing here.
  for (int index = 0; index < m_count; ++index) {
    if (filter.Passes(buffer.Line(index))) m_rows.push_back(index);
  }
}

int ShownLines::HeldIndex(int row) const {
  if (row < 0 || row >= Count()) return -1;
  return m_filtered ? m_rows[static_cast<size_t>(row)] : row;
}

}  // namespace tapwise
