#include "support/StreamCheck.h"

#include <algorithm>
#include <cstdio>

namespace tapwise::bench {

void StreamCheck::Take(uint8_t byte) {
  ++Received;
  if (m_window.empty() && m_cursor < m_stream.Offered() && byte == m_stream.ByteAt(m_cursor)) {
    Assign(m_cursor++);
    return;
  }
  m_window.push_back(byte);
  if (m_window.size() >= Window) Resync(false);
}

void StreamCheck::Finish() {
  Resync(true);
  uint64_t sent = m_stream.Written();
  if (m_maxSeen < sent)
    Note("the last " + std::to_string(sent - m_maxSeen) + " bytes (from offset " + std::to_string(m_maxSeen) +
         ") never came out");
}

void StreamCheck::Note(const std::string& text) {
  if (Notes.size() < MaxNotes) Notes.push_back("COM" + std::to_string(m_port) + ": " + text);
}

void StreamCheck::Assign(uint64_t position) {
  if (position >= m_seen.size()) m_seen.resize(std::max<uint64_t>(position + 1, m_seen.size() * 2 + 65536));
  if (m_seen[position]) {
    ++Repeated;
    return;
  }
  m_seen[position] = true;
  Distinct.fetch_add(1, std::memory_order_relaxed);
  if (position < m_maxSeen) ++Reordered;
  m_maxSeen = std::max(m_maxSeen, position + 1);
}

size_t StreamCheck::MatchLength(uint64_t at, uint64_t limit) const {
  size_t n = 0;
  while (n < m_window.size() && at + n < limit && m_window[n] == m_stream.ByteAt(at + n)) ++n;
  return n;
}

// Finds the longest run of the window in the sent stream, nearest first.
// A tail shorter than MinMatch is only believed where the stream was going.
void StreamCheck::Resync(bool final) {
  const uint64_t limit = m_stream.Offered();
  // A badly broken stream resyncs often: then search less, so the run ends.
  const uint64_t forward = m_resyncs < 10000 ? (1u << 20) : 4096;
  const uint64_t back = m_resyncs < 10000 ? 65536 : 4096;
  while (!m_window.empty() && (final || m_window.size() >= Window)) {
    ++m_resyncs;
    uint64_t best = m_cursor;
    size_t bestLength = MatchLength(m_cursor, limit);
    const bool shortTail = m_window.size() < MinMatch;
    for (uint64_t d = 1; !shortTail && bestLength < m_window.size() && (d <= forward || d <= back); ++d) {
      if (d <= forward && m_cursor + d < limit) {
        size_t n = MatchLength(m_cursor + d, limit);
        if (n > bestLength) bestLength = n, best = m_cursor + d;
      }
      if (d <= back && d <= m_cursor) {
        size_t n = MatchLength(m_cursor - d, limit);
        if (n > bestLength) bestLength = n, best = m_cursor - d;
      }
    }
    if (bestLength > 0 && bestLength >= std::min(MinMatch, m_window.size())) {
      if (best > std::max(m_cursor, m_maxSeen)) {
        Note("jumped over " + std::to_string(best - std::max(m_cursor, m_maxSeen)) + " bytes to offset " +
             std::to_string(best) + " (" + Where + ")");
      } else if (best < m_cursor) {
        Note("offset " + std::to_string(best) + " came again or late, after offset " + std::to_string(m_cursor - 1) +
             " (" + Where + ")");
      }
      for (size_t i = 0; i < bestLength; ++i) Assign(best + i);
      m_cursor = best + bestLength;
      m_window.erase(m_window.begin(), m_window.begin() + static_cast<std::ptrdiff_t>(bestLength));
    } else {
      char text[80];
      std::snprintf(text, sizeof text, "byte %02X near offset %llu matches nothing sent (", m_window[0],
                    static_cast<unsigned long long>(m_cursor));
      Note(text + Where + ")");
      ++Corrupted;
      m_window.erase(m_window.begin());
    }
  }
}

}  // namespace tapwise::bench
