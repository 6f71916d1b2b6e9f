#include "core/userpackets/PacketCompiler.h"

#include <limits>

#include "core/util/AnsiStringLib.h"
#include "core/util/Bcd.h"

namespace tapwise {

namespace {

bool IsSeparator(unsigned char c) { return c <= 0x20 || c == ','; }

// 0..15 for a hex digit, 16 for '$', -1 for anything else.
int TokenCharValue(unsigned char c) {
  if (c == '$') return 16;
  return HexDigitValue(static_cast<char>(c));
}

// The running values over the bytes a text has produced so far, and where
// they go.
class Output {
 public:
  Output(uint8_t* buffer, int32_t capacity) : m_buffer(buffer), m_capacity(capacity < 0 ? 0 : capacity) {}

  void Add(uint8_t byte) {
    if (m_count < m_capacity) m_buffer[m_count] = byte;
    Sum = static_cast<uint8_t>(Sum + byte);
    Xor0 ^= byte;
    if (m_count >= 1) Xor1 ^= byte;
    if (m_count >= 2) Xor2 ^= byte;
    if (m_count >= 3) Xor3 ^= byte;
    // A text of more than 2^31 bytes cannot be a packet; the count stops
    // short of overflowing rather than turning negative.
    if (m_count < std::numeric_limits<int32_t>::max()) ++m_count;
  }
  int32_t Count() const { return m_count; }

  uint8_t Sum = 0;
  uint8_t Xor0 = 0;
  uint8_t Xor1 = 0;
  uint8_t Xor2 = 0;
  uint8_t Xor3 = 0;

 private:
  uint8_t* m_buffer;
  int32_t m_capacity;
  int32_t m_count = 0;
};

uint8_t RandomBcd(CalcState& calc, uint32_t n) {
  return static_cast<uint8_t>(WordToBcd(static_cast<uint16_t>(calc.Random(n))) & 0xFF);
}

uint8_t CalculatedByte(uint32_t code, const Output& out, CalcState& calc) {
  switch (code) {
    case 0x0: return calc.TakeCounter();
    case 0x1: return static_cast<uint8_t>(calc.Random(256));
    case 0x2: return RandomBcd(calc, 100);
    case 0x3: return RandomBcd(calc, 60);
    case 0x4: return RandomBcd(calc, 24);
    case 0x5: return RandomBcd(calc, 16);
    case 0x6: return static_cast<uint8_t>(calc.Random(8));
    case 0x7: return static_cast<uint8_t>(calc.Random(4));
    case 0x8: return static_cast<uint8_t>(calc.Random(2));
    case 0x9: return out.Sum;
    case 0xA: return static_cast<uint8_t>(~out.Sum);
    case 0xB: return static_cast<uint8_t>(-out.Sum);
    case 0xC: return out.Xor0;
    case 0xD: return out.Xor1;
    case 0xE: return out.Xor2;
    default: return out.Xor3;
  }
}

}  // namespace

int32_t CompilePacketText(std::string_view text, uint8_t* buffer, int32_t capacity, CalcState& calc) {
  Output out(buffer, capacity);
  size_t pos = 0;
  const size_t end = text.size();
  bool textMode = false;
  while (pos < end) {
    const auto c = static_cast<unsigned char>(text[pos]);
    if (textMode) {
      if (c == '"' || c == '\'') {
        textMode = false;
      } else {
        out.Add(c);
      }
      ++pos;
      continue;
    }
    if (IsSeparator(c)) {
      ++pos;
      continue;
    }
    if (c == '"') {
      textMode = true;
      ++pos;
      continue;
    }
    uint32_t value = 0;
    bool calculated = false;
    const size_t start = pos;
    for (; pos < end; ++pos) {
      const int digit = TokenCharValue(static_cast<unsigned char>(text[pos]));
      if (digit < 0) break;
      if (digit == 16) {
        calculated = true;
      } else {
        value = value * 16 + static_cast<uint32_t>(digit);
      }
    }
    if (pos == start) return -1;
    if (calculated && value <= 0xF) {
      out.Add(CalculatedByte(value, out, calc));
    } else {
      out.Add(static_cast<uint8_t>(value & 0xFF));
    }
  }
  return out.Count();
}

const std::string_view CalculatedBytesHelp =
    R"(\b\uCalculated Bytes\u:\b\n\nFormat: $h   Where h is a hex value. Example: \b$A\b\n\n)"
    R"(Values and their meaning:\n\t$0 Counter\n\t$1 Random 00..FF\n\t$2 Random BCD 00..99\n)"
    R"(\t$3 Random BCD 00..59\n\t$4 Random BCD 00..23\n\t$5 Random BCD 00..15\n\t$6 Random 00..07\n)"
    R"(\t$7 Random 00..03\n\t$8 Random 00..01\n\t$9 Sum of all previous bytes\n)"
    R"(\t$A Inverted Sum of all previous bytes\n\t$B Negative Sum of all previous bytes\n)"
    R"(\t$C Exclusive OR of all previous bytes\n\t$D Exclusive OR of all previous bytes except first 1\n)"
    R"(\t$E Exclusive OR of all previous bytes except first 2\n)"
    R"(\t$F Exclusive OR of all previous bytes except first 3)";

}  // namespace tapwise
