#include "core/format/HexLines.h"

namespace tapwise {

namespace {
constexpr char HexDigits[] = "0123456789ABCDEF";

void AppendTwoDigits(std::string& out, int value) {
  out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
}
}  // namespace

char PortCharacter(uint8_t port) {
  if (port < 10) return static_cast<char>('0' + port);
  return static_cast<char>(port + 87);
}

int HexLineCount(const PacketRecord& record) {
  return record.Length == 0 ? 1 : (record.Length + HexBytesPerLine - 1) / HexBytesPerLine;
}

std::string FormatHexLine(const PacketRecord& record, int index) {
  std::string line;
  FormatHexLine(record, index, line);
  return line;
}

void FormatHexLine(const PacketRecord& record, int index, std::string& line) {
  line.clear();
  line.reserve(HexLineWidth);
  if (index == 0) {
    line += record.Error ? "ERR" : "COM";
    line += PortCharacter(record.Port);
    line += record.Origin == OriginReceived ? ' ' : '*';
    TimeOfDay time = DecodeTime(record.Time);
    AppendTwoDigits(line, time.Minute);
    line += ':';
    AppendTwoDigits(line, time.Second);
    line += '.';
    line += static_cast<char>('0' + time.Millisecond / 100);
  } else {
    line.append(12, ' ');
  }
  const int offset = index * HexBytesPerLine;
  for (int j = 0; j < HexBytesPerLine; ++j) {
    int at = offset + j;
    if (at < record.Length) {
      line += ' ';
      line += HexDigits[record.Data[at] >> 4];
      line += HexDigits[record.Data[at] & 0x0F];
    } else {
      line.append(3, ' ');
    }
    if (j % 4 == 3) line += ' ';
  }
  for (int j = 0; j < HexBytesPerLine; ++j) {
    int at = offset + j;
    if (at >= record.Length) {
      line += ' ';
    } else {
      line += ShownCharacter(record.Data[at]);
    }
  }
}

}  // namespace tapwise
