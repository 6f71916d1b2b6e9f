#include "capture/ReferenceCounter.h"

#include "support/HexLineParser.h"

namespace tapwise::bench {

void ReferenceCounter::Feed(const char* data, size_t size) {
  uint64_t bytes = 0;  // wraps when a header takes back what looked like hex
  for (size_t i = 0; i < size; ++i) {
    auto c = static_cast<unsigned char>(data[i]);
    if (c == '\n') {
      m_column = m_skip = m_digits = m_held = 0;
      continue;
    }
    // A header is told from hex ("41 42") by its fifth character: "2024-".
    int column = m_column++;
    if (column == 4 && c == '-') {
      ++Blocks;
      m_skip = 1;
      bytes -= static_cast<uint64_t>(m_held);
      continue;
    }
    if (m_skip || c == '\t') {
      m_skip = 1;
      continue;
    }
    m_digits = HexDigitValue(c) < 0 ? 0 : m_digits + 1;
    if (m_digits < 2) continue;
    m_digits = 0;
    ++bytes;
    if (column < 4) ++m_held;
  }
  Bytes.fetch_add(bytes);
}

}  // namespace tapwise::bench
