#include "ui/AnsiText.h"

#include <array>

namespace tapwise {

namespace {

// 80h-9Fh; the rest of the upper half equals Latin-1. The undefined codes
// keep their own value so that they come back as the same byte.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

QString AnsiToQString(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    text.append(QChar(byte >= 0x80 && byte < 0xA0 ? HighControls[byte - 0x80]
                                                  : static_cast<char16_t>(byte)));
  }
  return text;
}

std::string QStringToAnsi(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(text.size()));
  for (QChar ch : text) {
    const char16_t u = ch.unicode();
    char byte = '?';
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      byte = static_cast<char>(u);
    } else {
      for (size_t i = 0; i < HighControls.size(); ++i) {
        if (HighControls[i] == u) {
          byte = static_cast<char>(0x80 + i);
          break;
        }
      }
    }
    bytes += byte;
  }
  return bytes;
}

}  // namespace tapwise
