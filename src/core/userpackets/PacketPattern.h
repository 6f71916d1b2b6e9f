#pragma once
// A pattern to look for in packets, typed as hex bytes (02 30 31) or quoted
// text ("PING"), or both mixed, in the packet text syntax and compiled by
// the same compiler as the user packets, so that a pattern reads exactly as
// a user packet would. Calculated bytes that sum or XOR the bytes before
// them ($9..$F) are fixed by the pattern and allowed; the counter and the
// random bytes ($0..$8) would stand for a different byte at every compile,
// so a pattern holding one is refused.
//
// A plain value: compiled once on the thread that types it, then only read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/util/Result.h"

namespace tapwise {

class PacketPattern {
 public:
  // Compiles text into pattern. Blank text is an empty pattern (success,
  // matching nothing). On failure pattern is left as it was and the message
  // (plain text) says what is wrong and where.
  static Result Compile(const std::string& text, PacketPattern& pattern);

  bool Empty() const { return m_bytes.empty(); }
  const std::string& Text() const { return m_text; }  // as typed
  const std::vector<uint8_t>& Bytes() const { return m_bytes; }

  // Offsets of every match in one packet's bytes, in order, overlapping
  // matches included ("AA AA" in AA AA AA: 0 and 1). None for an empty pattern.
  std::vector<size_t> FindIn(const uint8_t* data, size_t size) const;
  bool Matches(const uint8_t* data, size_t size) const;

 private:
  std::string m_text;
  std::vector<uint8_t> m_bytes;
};

}  // namespace tapwise
