#include "core/userpackets/PacketPattern.h"

#include <algorithm>
#include <cstring>

#include "core/capture/PacketRecord.h"
#include "core/userpackets/CalcState.h"
#include "core/userpackets/PacketCompiler.h"
#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {

// The compiler says only that a text is wrong, not where: the fault is at
// the end of the shortest prefix that no longer compiles (a prefix that
// stops inside a token is still a whole token, so nothing before the
// faulty character fails).
size_t FaultPosition(const std::string& text) {
  std::vector<uint8_t> scratch(PacketTextCapacity);
  for (size_t length = 1; length <= text.size(); ++length) {
    CalcState calc;
    if (CompilePacketText(std::string_view(text).substr(0, length), scratch.data(), PacketTextCapacity, calc) < 0) {
      return length - 1;
    }
  }
  return text.size();
}

// Whether the text holds the counter or a random byte ($0..$8). The walk
// follows the compiler's reading (see PacketCompiler.h): quoted text is
// skipped, and a token with a '$' is calculated when its value is 0..F.
bool DrawsBytes(const std::string& text) {
  bool quoted = false;
  for (size_t pos = 0; pos < text.size();) {
    const char c = text[pos];
    if (quoted) {
      quoted = c != '"' && c != '\'';
      ++pos;
      continue;
    }
    if (c == '"') {
      quoted = true;
      ++pos;
      continue;
    }
    uint32_t value = 0;
    bool calculated = false;
    const size_t start = pos;
    for (; pos < text.size(); ++pos) {
      if (text[pos] == '$') {
        calculated = true;
      } else if (const int digit = HexDigitValue(text[pos]); digit >= 0) {
        value = value * 16 + static_cast<uint32_t>(digit);
      } else {
        break;
      }
    }
    if (calculated && value <= 8) return true;
    if (pos == start) ++pos;  // a separator
  }
  return false;
}

}  // namespace

Result PacketPattern::Compile(const std::string& text, PacketPattern& pattern) {
  std::vector<uint8_t> bytes(PacketTextCapacity);
  CalcState calc;
  const int32_t count = CompilePacketText(text, bytes.data(), PacketTextCapacity, calc);
  if (count < 0) {
    const size_t at = FaultPosition(text);
    const std::string shown = at < text.size() ? std::string(1, text[at]) : std::string();
    return Result::Failure("Not a pattern: '" + shown + "' at character " + IntToText(static_cast<int32_t>(at + 1)) +
                           " is neither a hex byte nor quoted text");
  }
  if (count > PacketCapacity) {
    return Result::Failure("The pattern makes " + IntToText(count) + " bytes; a packet holds at most " +
                           IntToText(PacketCapacity));
  }
  bytes.resize(static_cast<size_t>(count));
  if (DrawsBytes(text)) {
    return Result::Failure("A pattern cannot hold the counter or a random byte ($0..$8)");
  }
  pattern.m_text = text;
  pattern.m_bytes = std::move(bytes);
  return Result::Success();
}

std::vector<size_t> PacketPattern::FindIn(const uint8_t* data, size_t size) const {
  std::vector<size_t> offsets;
  const size_t length = m_bytes.size();
  if (length == 0 || size < length) return offsets;
  // The first byte by memchr, the rest compared where it is found: packets
  // are short and patterns shorter, so this beats building a skip table for
  // every packet of a long history.
  const size_t last = size - length;
  for (size_t from = 0; from <= last;) {
    const auto* hit = static_cast<const uint8_t*>(std::memchr(data + from, m_bytes[0], last - from + 1));
    if (!hit) break;
    const size_t at = static_cast<size_t>(hit - data);
    if (std::memcmp(hit + 1, m_bytes.data() + 1, length - 1) == 0) offsets.push_back(at);
    from = at + 1;
  }
  return offsets;
}

bool PacketPattern::Matches(const uint8_t* data, size_t size) const {
  if (m_bytes.empty() || size < m_bytes.size()) return false;
  return std::search(data, data + size, m_bytes.begin(), m_bytes.end()) != data + size;
}

}  // namespace tapwise
