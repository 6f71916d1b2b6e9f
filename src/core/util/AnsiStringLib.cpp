#include "core/util/AnsiStringLib.h"

#include <algorithm>
#include <charconv>
#include <climits>

namespace tapwise {

thread_local bool ParseError = false;

namespace {

constexpr char UpperHexDigits[] = "0123456789ABCDEF";

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',';
}

// Digit value of c in base 10 or 16, or -1; sets no flag.
int DigitValue(char c, uint32_t base) {
  const int digit = HexDigitValue(c);
  return digit >= 0 && static_cast<uint32_t>(digit) < base ? digit : -1;
}

struct NumberRead {
  uint32_t Value;
  bool AnyDigit;
  bool Overflowed;
};

// The common body of ReadHex and ReadUnsigned. Besides the wrapped value it
// tells whether digits were found and whether the value lost high bits, for
// callers that need to know (a sign with no number, a hex list of bytes).
NumberRead ReadNumber(std::string_view s, size_t& pos, uint32_t base) {
  if (pos == 0) pos = 1;
  const size_t start = pos;
  SkipSeparators(s, pos);
  NumberRead result{0, false, false};
  while (pos <= s.size()) {
    const int digit = DigitValue(s[pos - 1], base);
    if (digit < 0) break;
    const uint64_t next = uint64_t{result.Value} * base + static_cast<uint32_t>(digit);
    result.Overflowed = result.Overflowed || next > UINT32_MAX;
    result.Value = static_cast<uint32_t>(next);
    result.AnyDigit = true;
    ++pos;
  }
  // Nothing at all, or separators followed by something that is no digit:
  // both are unreadable. Separators running to the end are an empty field.
  if (!result.AnyDigit && (pos == start || pos <= s.size())) ParseError = true;
  SkipSeparators(s, pos);
  return result;
}

}  // namespace

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char UpCaseAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCaseAscii(std::string_view s) {
  std::string result(s);
  for (char& c : result) c = UpCaseAscii(c);
  return result;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  return CompareTextAscii(a, b) == 0;
}

int CompareTextAscii(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    // Byte values, not signed chars: a byte above 7Fh sorts after ASCII.
    const int ca = static_cast<unsigned char>(UpCaseAscii(a[i]));
    const int cb = static_cast<unsigned char>(UpCaseAscii(b[i]));
    if (ca != cb) return ca - cb;
  }
  const ptrdiff_t difference = static_cast<ptrdiff_t>(a.size()) - static_cast<ptrdiff_t>(b.size());
  return static_cast<int>(std::clamp<ptrdiff_t>(difference, INT_MIN, INT_MAX));
}

size_t PosFrom(size_t start, char c, std::string_view s) {
  if (start == 0) start = 1;
  if (start > s.size()) return 0;
  const size_t found = s.find(c, start - 1);
  return found == std::string_view::npos ? 0 : found + 1;
}

size_t FindPattern(size_t start, std::string_view pattern, std::string_view s) {
  if (start == 0) start = 1;
  if (pattern.empty()) return start <= s.size() + 1 ? start : 0;
  if (pattern.size() > s.size()) return 0;
  const size_t lastStart = s.size() - pattern.size() + 1;
  for (size_t p = start; p <= lastStart; ++p) {
    bool matches = true;
    for (size_t i = 0; i < pattern.size() && matches; ++i) {
      const char want = pattern[i];
      const char have = s[p - 1 + i];
      if (want == '#') {
        matches = have >= '0' && have <= '9';
      } else if (want == '?') {
        matches = static_cast<unsigned char>(have) >= 0x20;
      } else {
        matches = UpCaseAscii(want) == UpCaseAscii(have);
      }
    }
    if (matches) return p;
  }
  return 0;
}

std::string TabField(std::string_view s, size_t n) {
  size_t fieldStart = 0;
  for (size_t field = 0; field < n; ++field) {
    const size_t tab = s.find('\t', fieldStart);
    if (tab == std::string_view::npos) return {};
    fieldStart = tab + 1;
  }
  const size_t fieldEnd = s.find('\t', fieldStart);
  return std::string(s.substr(fieldStart, fieldEnd == std::string_view::npos ? s.npos : fieldEnd - fieldStart));
}

std::optional<uint32_t> DecimalNumber(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > std::min<size_t>(maxDigits, 9)) return std::nullopt;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  return value;
}

std::string IntToText(int32_t n) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
  return std::string(buffer, result.ptr);
}

std::string UIntToText(uint32_t n) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
  return std::string(buffer, result.ptr);
}

char DigitChar(int n) {
  return static_cast<char>(0x30 + n);
}

std::string TwoDigits(int n) {
  if (n < 0 || n > 99) return IntToText(n);
  return {DigitChar(n / 10), DigitChar(n % 10)};
}

char HexDigit(uint32_t n) {
  return UpperHexDigits[n & 0x0F];
}

std::string HexByte(uint8_t b) {
  return {HexDigit(b >> 4u), HexDigit(b)};
}

void SkipSeparators(std::string_view s, size_t& pos) {
  if (pos == 0) pos = 1;
  while (pos <= s.size() && IsSeparator(s[pos - 1])) ++pos;
}

uint8_t HexValue(char c) {
  const int digit = DigitValue(c, 16);
  if (digit < 0) {
    ParseError = true;
    return 0;
  }
  return static_cast<uint8_t>(digit);
}

uint8_t HexValueAt(std::string_view s, size_t i) {
  if (i == 0 || i > s.size()) {
    ParseError = true;
    return 0;
  }
  return HexValue(s[i - 1]);
}

uint8_t HexByteAt(std::string_view s, size_t i) {
  const uint8_t high = HexValueAt(s, i);
  // i + 1 wraps to 0 for the largest i, which HexValueAt refuses as well.
  const uint8_t low = HexValueAt(s, i + 1);
  return static_cast<uint8_t>(high * 16 + low);
}

uint32_t ReadHex(std::string_view s, size_t& pos) {
  return ReadNumber(s, pos, 16).Value;
}

uint32_t ReadUnsigned(std::string_view s, size_t& pos) {
  return ReadNumber(s, pos, 10).Value;
}

int32_t ReadSigned(std::string_view s, size_t& pos) {
  SkipSeparators(s, pos);
  if (pos > s.size()) return 0;
  const char sign = s[pos - 1];
  if (sign == '-' || sign == '+') ++pos;
  const NumberRead number = ReadNumber(s, pos, 10);
  // A sign followed only by separators is no number, not a zero.
  if (!number.AnyDigit && (sign == '-' || sign == '+')) ParseError = true;
  const uint32_t magnitude = sign == '-' ? 0u - number.Value : number.Value;
  return static_cast<int32_t>(magnitude);
}

int32_t TextToIntStrict(std::string_view s) {
  // Our own verdict must not depend on a flag the caller left set.
  const bool earlierError = ParseError;
  ParseError = false;
  size_t pos = 1;
  const int32_t value = ReadSigned(s, pos);
  const bool failed = ParseError || pos <= s.size();
  ParseError = earlierError || failed;
  return failed ? 0 : value;
}

ptrdiff_t ReadHexBytes(std::string_view s, size_t& pos, uint8_t* out, size_t capacity) {
  ParseError = false;
  ptrdiff_t count = 0;
  for (;;) {
    SkipSeparators(s, pos);
    if (pos > s.size()) break;
    const NumberRead number = ReadNumber(s, pos, 16);
    // A value that wrapped in 32 bits was above FFh too, whatever is left.
    if (number.Overflowed || number.Value > 0xFF) ParseError = true;
    if (ParseError) return -1;
    if (out != nullptr && static_cast<size_t>(count) < capacity) out[count] = static_cast<uint8_t>(number.Value);
    ++count;
  }
  return count;
}

std::string ReplaceFileExt(std::string_view name, std::string_view ext) {
  // Both separators count: names typed on Linux use '/', names kept from
  // older settings may use '\'.
  const size_t lastSeparator = name.find_last_of("\\/");
  const size_t fileStart = lastSeparator == std::string_view::npos ? 0 : lastSeparator + 1;
  const size_t dot = name.rfind('.');
  std::string result(name);
  // A leading dot (".profile") names the file; it does not start an extension.
  if (dot != std::string_view::npos && dot > fileStart) result.resize(dot);
  if (!ext.empty() && ext.front() != '.') result += '.';
  result += ext;
  return result;
}

std::string StripTrailingBackslash(std::string_view s) {
  if (s == "/" || s.empty()) return std::string(s);
  if (s.back() == '\\' || s.back() == '/') s.remove_suffix(1);
  return std::string(s);
}

}  // namespace tapwise
