#include "extcap/PcapngBlockSplitter.h"

#include <cstdint>

namespace tapwise {

namespace {

constexpr uint32_t SectionHeaderType = 0x0A0D0D0A;
constexpr uint32_t ByteOrderMagic = 0x1A2B3C4D;

uint32_t Word(const std::string& bytes, size_t at, bool bigEndian) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    const auto byte = static_cast<uint8_t>(bytes[at + (bigEndian ? i : 3 - i)]);
    value = (value << 8) | byte;
  }
  return value;
}

}  // namespace

bool PcapngBlockSplitter::Add(std::string_view bytes) {
  if (!m_problem.empty()) return false;
  m_buffer.append(bytes);
  for (;;) {
    const size_t start = m_complete;
    if (m_buffer.size() - start < 12) break;
    // The section header's type reads the same in either order; its magic
    // after the length tells which order the section is in.
    const bool section = Word(m_buffer, start, false) == SectionHeaderType;
    if (section) {
      const uint32_t magic = Word(m_buffer, start + 8, false);
      if (magic == ByteOrderMagic) {
        m_bigEndian = false;
      } else if (Word(m_buffer, start + 8, true) == ByteOrderMagic) {
        m_bigEndian = true;
      } else {
        m_problem = "a section header without its byte-order mark";
        return false;
      }
      m_sawSection = true;
    } else if (!m_sawSection) {
      m_problem = "the stream does not begin with a section header";
      return false;
    }
    const uint32_t length = Word(m_buffer, start + 4, m_bigEndian);
    if (length < 12 || length % 4 != 0 || length > MaxBlock) {
      m_problem = "a block " + std::to_string(length) + " bytes long";
      return false;
    }
    if (m_buffer.size() - start < length) break;
    if (Word(m_buffer, start + length - 4, m_bigEndian) != length) {
      m_problem = "a block whose two lengths differ";
      return false;
    }
    m_complete += length;
  }
  return true;
}

std::string PcapngBlockSplitter::TakeBlocks() {
  std::string blocks = m_buffer.substr(0, m_complete);
  m_buffer.erase(0, m_complete);
  m_complete = 0;
  return blocks;
}

}  // namespace tapwise
