#include "core/format/PacketDataReader.h"

#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {
constexpr std::string_view TimePattern = "##:##.#";
// The time is 7 characters; one space separates it from the data.
constexpr size_t DataAfterTime = 8;
// Sixteen slots of " XX" plus the four group spaces, less the first space.
constexpr size_t DataWidth = 50;

// A hex digit, or 0 for anything else: a damaged digit still sends a byte
// rather than shifting every later byte of the line.
uint8_t Nibble(char c) {
  const int digit = HexDigitValue(c);
  return static_cast<uint8_t>(digit < 0 ? 0 : digit);
}
}  // namespace

void PacketDataReader::Reset() {
  m_pending.clear();
  m_resume = 0;
  m_continuation = false;
  m_dataColumn = 0;
}

bool PacketDataReader::Read(RecordFile& file, PlayPacket& packet) {
  packet.Length = 0;
  bool atStart = true;
  const uint64_t startedAt = file.Consumed();
  for (;;) {
    if (m_pending.empty()) {
      if (!atStart && file.Consumed() - startedAt >= PacketScanLimit) {
        m_continuation = true;
        return true;
      }
      // No line of this layout is that long.
      if (file.ReadLine(m_pending) == LineRead::TooLong) return false;
      // An empty line, or the end of the file, ends the packet.
      if (m_pending.empty()) return true;
    }
    size_t pos;
    if (m_resume != 0) {
      // The rest of a line whose first bytes filled the previous packet; its
      // length was checked then.
      pos = m_resume;
      m_resume = 0;
    } else {
      const size_t time = FindPattern(1, TimePattern, m_pending);
      if (atStart) {
        const bool continuing = m_continuation;
        m_continuation = false;
        if (time != 0) {
          m_dataColumn = time + DataAfterTime;
        } else if (!continuing) {
          m_pending.clear();
          return false;
        }
      } else if (time != 0) {
        // The header of the next packet: it stays pending for the next call.
        return true;
      }
      if (m_pending.size() < m_dataColumn + DataWidth) return false;
      pos = m_dataColumn;
    }
    const size_t end = m_dataColumn + DataWidth;
    for (;;) {
      SkipSeparators(m_pending, pos);
      if (pos >= end) break;
      if (packet.Length == PacketCapacity) {
        m_resume = pos;
        return true;
      }
      // pos + 1 <= end <= the line's length: both characters exist.
      packet.Data[packet.Length++] =
          static_cast<uint8_t>(Nibble(m_pending[pos - 1]) * 16 + Nibble(m_pending[pos]));
      pos += 2;
    }
    m_pending.clear();
    atStart = false;
    if (packet.Length == PacketCapacity) {
      m_continuation = true;
      return true;
    }
  }
}

}  // namespace tapwise
