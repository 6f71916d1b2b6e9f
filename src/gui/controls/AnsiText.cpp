#include "gui/controls/AnsiText.h"

#include <QByteArray>
#include <QFile>

#include <array>

#include "core/util/Windows1252.h"

namespace tapwise {

QString AnsiToQString(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char c : bytes) text.append(QChar(Windows1252ToUnicode(static_cast<uint8_t>(c))));
  return text;
}

std::string QStringToAnsi(const QString& text) {
  // The way back: the upper half's 32 odd characters looked up once.
  static const std::array<char16_t, 32> highControls = [] {
    std::array<char16_t, 32> table{};
    for (size_t i = 0; i < table.size(); ++i) table[i] = Windows1252ToUnicode(static_cast<uint8_t>(0x80 + i));
    return table;
  }();
  std::string bytes;
  bytes.reserve(static_cast<size_t>(text.size()));
  for (QChar ch : text) {
    const char16_t u = ch.unicode();
    char byte = '?';
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      byte = static_cast<char>(u);
    } else {
      for (size_t i = 0; i < highControls.size(); ++i) {
        if (highControls[i] == u) {
          byte = static_cast<char>(0x80 + i);
          break;
        }
      }
    }
    bytes += byte;
  }
  return bytes;
}

QString PathToQString(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

}  // namespace tapwise
