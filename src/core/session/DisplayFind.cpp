#include "core/session/DisplayFind.h"

#include <algorithm>

#include "core/display/PacketHistory.h"
#include "core/format/HexLines.h"
#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {

// Where byte `index` of a line (0..15) stands in the 80-column hex line:
// a 12-column header, then " hh" per byte with one more space after each
// group of four, then the bytes as characters from column 64.
int HexColumn(int index) { return 13 + 3 * index + index / 4; }
int CharColumn(int index) { return 64 + index; }

bool Before(const FindMatch& match, uint64_t packet) { return match.Packet < packet; }

}  // namespace

void DisplayFind::SetPattern(const PacketPattern& pattern) {
  m_pattern = pattern;
  m_matches.clear();
  m_current = -1;
  m_history.FollowDisplay();
  m_searchedTo = m_history.FrontNumber();
  Search(0);
  m_current = static_cast<long>(m_matches.size()) - 1;
}

void DisplayFind::Update() {
  m_history.FollowDisplay();
  const uint64_t front = m_history.FrontNumber();
  const auto kept = std::lower_bound(m_matches.begin(), m_matches.end(), front, Before);
  const long dropped = static_cast<long>(kept - m_matches.begin());
  if (dropped > 0) {
    m_matches.erase(m_matches.begin(), kept);
    // The current match, if it went, gives way to the oldest one left.
    m_current = m_current < 0 ? -1 : std::max<long>(m_current - dropped, m_matches.empty() ? -1 : 0);
  }
  m_searchedTo = std::max(m_searchedTo, front);
  Search(static_cast<size_t>(m_searchedTo - front));
  if (m_current < 0 && !m_matches.empty()) m_current = static_cast<long>(m_matches.size()) - 1;
}

void DisplayFind::Search(size_t fromIndex) {
  const size_t count = m_history.Count();
  if (!m_pattern.Empty()) {
    for (size_t i = fromIndex; i < count; ++i) {
      const HistoryPacket& packet = m_history.At(i);
      for (size_t offset : m_pattern.FindIn(packet.Data, packet.Length)) {
        m_matches.push_back({packet.Number, static_cast<uint32_t>(offset)});
      }
    }
  }
  m_searchedTo = m_history.FrontNumber() + count;
}

bool DisplayFind::Next() {
  if (m_matches.empty()) return false;
  m_current = (m_current + 1) % static_cast<long>(m_matches.size());
  return true;
}

bool DisplayFind::Previous() {
  if (m_matches.empty()) return false;
  m_current = m_current <= 0 ? static_cast<long>(m_matches.size()) - 1 : m_current - 1;
  return true;
}

std::string DisplayFind::CountText() const {
  if (m_pattern.Empty()) return {};
  if (m_matches.empty()) return "No matches";
  const std::string total = UIntToText(static_cast<uint32_t>(std::min<size_t>(m_matches.size(), UINT32_MAX)));
  if (m_current < 0) return total + " matches";
  return UIntToText(static_cast<uint32_t>(m_current + 1)) + " of " + total;
}

uint64_t DisplayFind::CurrentLine() const {
  if (m_current < 0) return 0;
  const FindMatch& match = m_matches[static_cast<size_t>(m_current)];
  const HistoryPacket& packet = m_history.At(static_cast<size_t>(match.Packet - m_history.FrontNumber()));
  return packet.FirstLine + match.Offset / HexBytesPerLine;
}

void DisplayFind::MarksOnLine(uint64_t line, std::vector<MarkedColumns>& marks) const {
  marks.clear();
  if (m_matches.empty() || line < m_history.FrontLine()) return;
  const size_t index = m_history.PacketAtLine(line - m_history.FrontLine());
  if (index >= m_history.Count()) return;
  const HistoryPacket& packet = m_history.At(index);
  const size_t lineStart = static_cast<size_t>(line - packet.FirstLine) * HexBytesPerLine;
  const size_t lineEnd = lineStart + HexBytesPerLine;
  const size_t length = m_pattern.Bytes().size();
  const auto first = std::lower_bound(m_matches.begin(), m_matches.end(), packet.Number, Before);
  for (auto match = first; match != m_matches.end() && match->Packet == packet.Number; ++match) {
    const size_t from = std::max<size_t>(match->Offset, lineStart);
    const size_t to = std::min<size_t>(match->Offset + length, lineEnd);
    if (from >= to) continue;
    const bool current = m_current >= 0 && match - m_matches.begin() == m_current;
    const int a = static_cast<int>(from - lineStart);
    const int b = static_cast<int>(to - lineStart) - 1;
    marks.push_back({HexColumn(a), HexColumn(b) + 2 - HexColumn(a), current});
    marks.push_back({CharColumn(a), b - a + 1, current});
  }
}

}  // namespace tapwise
