#include "core/userpackets/UserPacketEditing.h"

#include <vector>

#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

std::string TrimPacketText(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

std::string CleanPastedText(std::string_view text) {
  std::string line(text);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return TrimPacketText(line);
}

std::string HexListToPacketText(std::string_view text) {
  std::vector<uint8_t> bytes;
  ParseError = false;
  size_t pos = 1;
  for (SkipSeparators(text, pos); pos <= text.size();) {
    const uint32_t value = ReadHex(text, pos);
    if (ParseError) return std::string(text);
    bytes.push_back(static_cast<uint8_t>(value & 0xFF));
  }
  std::string result;
  bool quoted = false;
  for (uint8_t b : bytes) {
    if (b >= 0x20 && b <= 0x7E && b != '"' && b != '\'') {
      if (!quoted) result += '"';
      quoted = true;
      result += static_cast<char>(b);
    } else {
      if (quoted) result += "\" ";
      quoted = false;
      result += HexByte(b);
      result += ' ';
    }
  }
  if (quoted) result += '"';
  return result;
}

}  // namespace tapwise
