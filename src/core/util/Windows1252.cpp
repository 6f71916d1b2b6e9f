#include "core/util/Windows1252.h"

#include <cstdint>

namespace tapwise {

namespace {

constexpr char32_t Replacement = 0xFFFD;

// 80h-9Fh; the rest of the upper half equals Latin-1, i.e. U+00A0-U+00FF.
// The undefined codes keep their own value.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// For a terminal: nothing that a terminal could act on.
char32_t CodePoint(uint8_t byte) {
  if (byte < 0x20) return Replacement;
  if (byte == 0x7F) return 0x2302;
  const char16_t unicode = Windows1252ToUnicode(byte);
  return unicode >= 0x80 && unicode < 0xA0 ? Replacement : unicode;
}

// Code points here are below U+10000, so at most three bytes.
void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

char16_t Windows1252ToUnicode(uint8_t byte) {
  return byte >= 0x80 && byte < 0xA0 ? HighControls[byte - 0x80] : static_cast<char16_t>(byte);
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string result;
  result.reserve(bytes.size() * 2);
  for (char c : bytes) AppendUtf8(result, CodePoint(static_cast<uint8_t>(c)));
  return result;
}

}  // namespace tapwise
