#pragma once
// Cuts a pcapng byte stream, as it comes in pieces off a socket, into whole
// blocks, so that what is passed on always ends at a block boundary: a
// capture stopped at any moment leaves a file the analyser reads to its
// end. Knows of blocks only their length (at offset 4, in the byte order of
// the section header, which the live feed writes little-endian); refuses a
// length that no block can have.

#include <cstddef>
#include <string>
#include <string_view>

namespace tapwise {

class PcapngBlockSplitter {
 public:
  // Far above any packet's block: a length past it means the stream is not
  // pcapng (or is out of step).
  static constexpr size_t MaxBlock = size_t{1} << 24;

  // Adds bytes; false once the stream is seen not to be pcapng.
  bool Add(std::string_view bytes);
  // The whole blocks so far, taken out.
  std::string TakeBlocks();
  // Bytes of a block that has not come whole yet.
  size_t Partial() const { return m_buffer.size() - m_complete; }
  const std::string& Problem() const { return m_problem; }

 private:
  std::string m_buffer;
  size_t m_complete = 0;  // bytes at the front that are whole blocks
  bool m_bigEndian = false;
  bool m_sawSection = false;
  std::string m_problem;
};

}  // namespace tapwise
