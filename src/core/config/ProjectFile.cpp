#include "core/config/ProjectFile.h"

#include <algorithm>

#include "core/config/WholeFile.h"
#include "core/util/AnsiStringLib.h"

namespace tapwise {

namespace {

constexpr std::string_view Header = ";TAPWISE PROJECT";
constexpr std::string_view LineEnd = "\r\n";
// A line of its own letter sequence: a reader that knows only the C, S and
// U lines passes it over, and no other line begins the same way.
constexpr std::string_view RotationLine = "ROTATE:";

// --- Writing ---

char Flag(bool set) { return set ? '1' : '0'; }

// A text goes into the file as the rest of its line, and any byte below 32
// would end that line early on reading (losing the rest of the text, and
// reading the rest as a line of its own). Such bytes are written in a form
// that compiles to the same bytes: outside quotes they only separate tokens,
// so a space does the same; inside quotes the byte is written in hex between
// a closing and a reopening quote.
std::string LineSafeText(std::string_view text) {
  std::string safe;
  bool quoted = false;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20) {
      if (quoted ? (c == '"' || c == '\'') : c == '"') quoted = !quoted;
      safe += c;
    } else if (quoted) {
      safe += '"';
      safe += HexByte(byte);
      safe += '"';
    } else {
      safe += ' ';
    }
  }
  return safe;
}

void AddLine(std::string& out, std::string_view line) {
  out += line;
  out += LineEnd;
}

// A port's name goes in a port line with the letter N where the other port
// lines have a digit: a reader that knows only the digits passes it over.
void AddNameLine(std::string& out, int n, const std::string& name) {
  if (!name.empty()) AddLine(out, "S" + HexByte(static_cast<uint8_t>(n)) + "N" + LineSafeText(name));
}

void AddPortLines(std::string& out, int n, const PortSettings& port) {
  const PortSettings defaults;
  auto add = [&](int digit, int32_t value) {
    AddLine(out, "S" + HexByte(static_cast<uint8_t>(n)) + DigitChar(digit) + IntToText(value));
  };
  if (port.BaudRate != defaults.BaudRate) add(1, static_cast<int32_t>(port.BaudRate));
  if (port.Parity != defaults.Parity) add(2, port.Parity);
  if (port.DataBits != defaults.DataBits) add(3, port.DataBits);
  if (port.StopBits != defaults.StopBits) add(4, port.StopBits);
  if (port.RTS != defaults.RTS) add(5, port.RTS);
  if (port.DTR != defaults.DTR) add(6, port.DTR);
}

// --- Reading text ---

// Column col (1-based) of line, or 0 past its end.
char At(std::string_view line, size_t col) { return col <= line.size() ? line[col - 1] : '\0'; }

// The two hex digits at col and col + 1, a digit that is not hex counting 0.
uint8_t LenientHexByte(std::string_view line, size_t col) {
  const int high = std::max(0, HexDigitValue(At(line, col)));
  const int low = std::max(0, HexDigitValue(At(line, col + 1)));
  return static_cast<uint8_t>(high * 16 + low);
}

// The two hex digits at col and col + 1, or -1 when either is not one: an
// index that is not hex names no port or row.
int StrictHexByte(std::string_view line, size_t col) {
  const int high = HexDigitValue(At(line, col));
  const int low = HexDigitValue(At(line, col + 1));
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// The decimal number from col on (separators skipped; no digits gives 0),
// held at limit rather than wrapping.
uint32_t DecimalAt(std::string_view line, size_t col, uint32_t limit) {
  size_t pos = col;
  SkipSeparators(line, pos);
  uint64_t value = 0;
  for (; pos <= line.size() && line[pos - 1] >= '0' && line[pos - 1] <= '9'; ++pos) {
    value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(line[pos - 1] - '0'), limit);
  }
  return static_cast<uint32_t>(value);
}

void ReadOptionLine(std::string_view line, ProjectData& data) {
  const bool lowBit = (static_cast<unsigned char>(At(line, 3)) & 1) != 0;
  switch (At(line, 2)) {
    case '1': data.HexDisplay = lowBit; break;
    case '2': data.Play.OneShot = lowBit ? 1 : 0; break;
    case '3': data.Play.PlayGap = LenientHexByte(line, 3); break;
    case '4': data.Play.TerminatorChar = LenientHexByte(line, 3); break;
    case '5': data.Play.TerminatorCount = LenientHexByte(line, 3); break;
    case '6': data.Play.Repeat = lowBit ? 1 : 0; break;
    case '7': data.PacketGap = static_cast<uint16_t>(DecimalAt(line, 3, 0xFFFF)); break;
    case '8': {
      const uint32_t count = DecimalAt(line, 3, 0x10000);
      if (count >= 1 && count <= 0xFFFF) data.Play.TerminatorCount = static_cast<uint16_t>(count);
      break;
    }
    default: break;
  }
}

void ReadPortLine(std::string_view line, ProjectData& data) {
  const int n = StrictHexByte(line, 2);
  if (n < 1 || n > ProjectPortCount) return;
  if (At(line, 4) == 'N') {
    data.Names[static_cast<size_t>(n)] = std::string(line.size() > 4 ? line.substr(4) : std::string_view());
    return;
  }
  size_t pos = 5;
  ParseError = false;
  const int32_t value = pos <= line.size() ? ReadSigned(line, pos) : 0;
  ParseError = false;
  PortSettings& port = data.Ports[static_cast<size_t>(n)];
  switch (At(line, 4)) {
    case '1': port.BaudRate = static_cast<uint32_t>(value); break;
    case '2': port.Parity = static_cast<uint8_t>(value); break;
    case '3': port.DataBits = static_cast<uint8_t>(value); break;
    case '4': port.StopBits = static_cast<uint8_t>(value); break;
    case '5': port.RTS = static_cast<uint8_t>(value & 1); break;
    case '6': port.DTR = static_cast<uint8_t>(value & 1); break;
    default: break;
  }
}

void ReadTextLine(std::string_view line, ProjectData& data) {
  const char kind = At(line, 2);
  if (kind != 'P' && kind != 'T') return;
  const int row = StrictHexByte(line, 3);
  if (!ValidUserPacketRow(row)) return;
  std::string text(line.size() > 4 ? line.substr(4) : std::string_view());
  UserPacketRow& entry = data.Rows[static_cast<size_t>(row)];
  (kind == 'P' ? entry.Packet : entry.Trigger) = std::move(text);
}

// "Hnrrggbbtext": rule n keeps its place; a line whose number or colour
// does not read is passed over whole.
void ReadHighlightLine(std::string_view line, ProjectData& data) {
  const char place = At(line, 2);
  if (place < '1' || place > static_cast<char>('0' + MaxHighlightRules)) return;
  uint32_t colour = 0;
  for (size_t col = 3; col <= 8; ++col) {
    const int digit = HexDigitValue(At(line, col));
    if (digit < 0) return;
    colour = colour << 4 | static_cast<uint32_t>(digit);
  }
  HighlightRule& rule = data.Highlights[static_cast<size_t>(place - '1')];
  rule.Colour = colour;
  rule.Pattern = std::string(line.size() > 8 ? line.substr(8) : std::string_view());
}

void ReadRotationLine(std::string_view line, ProjectData& data) {
  if (line.substr(0, RotationLine.size()) != RotationLine) return;
  // A value this program cannot read (a later one's, or edited by hand)
  // leaves recordings unrotated rather than guessing.
  RotationSettings rotation;
  if (ParseRotation(std::string(line.substr(RotationLine.size())), rotation)) data.Rotation = rotation;
}

void ReadTextLayout(std::string_view bytes, ProjectData& data) {
  size_t pos = 0;
  while (pos < bytes.size()) {
    while (pos < bytes.size() && static_cast<unsigned char>(bytes[pos]) < 32) ++pos;
    const size_t start = pos;
    while (pos < bytes.size() && static_cast<unsigned char>(bytes[pos]) >= 32) ++pos;
    const std::string_view line = bytes.substr(start, pos - start);
    if (line.empty()) continue;
    switch (line[0]) {
      case 'C': ReadOptionLine(line, data); break;
      case 'S': ReadPortLine(line, data); break;
      case 'U': ReadTextLine(line, data); break;
      case 'H': ReadHighlightLine(line, data); break;
      case 'R': ReadRotationLine(line, data); break;
      default: break;
    }
  }
}

// --- Reading the fixed layouts ---

uint8_t Byte(std::string_view bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }

uint32_t LittleEndian(std::string_view bytes, size_t at, size_t width) {
  uint32_t value = 0;
  for (size_t i = width; i-- > 0;) value = value << 8 | Byte(bytes, at + i);
  return value;
}

void ReadFixedLayout(std::string_view bytes, ProjectData& data, bool wideRecords) {
  const size_t recordSize = wideRecords ? 12 : 8;
  const size_t rateWidth = wideRecords ? 4 : 2;
  for (int n = 1; n <= ProjectPortCount; ++n) {
    const size_t at = static_cast<size_t>(n - 1) * recordSize;
    PortSettings& port = data.Ports[static_cast<size_t>(n)];
    port.BaudRate = LittleEndian(bytes, at, rateWidth);
    port.Parity = Byte(bytes, at + rateWidth);
    port.DataBits = Byte(bytes, at + rateWidth + 1);
    port.StopBits = Byte(bytes, at + rateWidth + 2);
    port.RTS = Byte(bytes, at + rateWidth + 3) != 0 ? 1 : 0;
    port.DTR = Byte(bytes, at + rateWidth + 4) != 0 ? 1 : 0;
  }
  const size_t options = ProjectPortCount * recordSize;
  data.HexDisplay = Byte(bytes, options) != 0;
  data.Play.OneShot = Byte(bytes, options + 1) != 0 ? 1 : 0;
  data.Play.PlayGap = Byte(bytes, options + 2);
  data.Play.TerminatorChar = Byte(bytes, options + 3);
  if (!wideRecords) data.Play.TerminatorCount = 1;
  constexpr size_t FixedRows = 24;
  constexpr size_t Slot = 256;
  for (size_t row = 1; row <= FixedRows; ++row) {
    const size_t packetAt = options + 4 + (row - 1) * Slot;
    const size_t triggerAt = packetAt + FixedRows * Slot;
    data.Rows[row].Packet.assign(bytes.substr(packetAt + 1, Byte(bytes, packetAt)));
    data.Rows[row].Trigger.assign(bytes.substr(triggerAt + 1, Byte(bytes, triggerAt)));
  }
}

}  // namespace

std::string FormatProjectText(const ProjectData& data) {
  std::string out;
  AddLine(out, Header);
  for (int n = 1; n <= ProjectPortCount; ++n) AddPortLines(out, n, data.Ports[static_cast<size_t>(n)]);
  for (int n = 1; n <= ProjectPortCount; ++n) AddNameLine(out, n, data.Names[static_cast<size_t>(n)]);
  const PlaySettings& play = data.Play;
  AddLine(out, std::string("C1") + Flag(data.HexDisplay));
  AddLine(out, std::string("C2") + Flag(play.OneShot != 0));
  AddLine(out, "C3" + HexByte(play.PlayGap));
  AddLine(out, "C4" + HexByte(play.TerminatorChar));
  AddLine(out, "C5" + HexByte(static_cast<uint8_t>(play.TerminatorCount & 0xFF)));
  AddLine(out, std::string("C6") + Flag(play.Repeat != 0));
  AddLine(out, "C7" + UIntToText(data.PacketGap));
  if (play.TerminatorCount > 0xFF) AddLine(out, "C8" + UIntToText(play.TerminatorCount));
  if (data.Rotation.Rotates()) AddLine(out, std::string(RotationLine) + RotationText(data.Rotation));
  for (int row = 1; row <= UserPacketRowCount; ++row) {
    const std::string& text = data.Rows[static_cast<size_t>(row)].Packet;
    if (!text.empty()) AddLine(out, "UP" + HexByte(static_cast<uint8_t>(row)) + LineSafeText(text));
  }
  for (int row = 1; row <= UserPacketRowCount; ++row) {
    const std::string& text = data.Rows[static_cast<size_t>(row)].Trigger;
    if (!text.empty()) AddLine(out, "UT" + HexByte(static_cast<uint8_t>(row)) + LineSafeText(text));
  }
  for (size_t i = 0; i < MaxHighlightRules; ++i) {
    const HighlightRule& rule = data.Highlights[i];
    if (rule.Pattern.empty()) continue;
    const std::string colour = HexByte(static_cast<uint8_t>(rule.Colour >> 16)) +
                               HexByte(static_cast<uint8_t>(rule.Colour >> 8)) + HexByte(static_cast<uint8_t>(rule.Colour));
    AddLine(out, "H" + std::string(1, static_cast<char>('1' + i)) + colour + LineSafeText(rule.Pattern));
  }
  // The reader knows the fixed layouts by their size alone, so a text of
  // exactly such a size would come back as garbage. A line that no reader
  // knows moves it off that size.
  if (out.size() == ProjectFixedLayoutSize || out.size() == ProjectFixedLayoutShortSize) AddLine(out, ";");
  return out;
}

void ReadProjectBytes(std::string_view bytes, ProjectData& data) {
  data.Ports.fill(PortSettings{});
  data.Names.fill(std::string());
  data.Rows.fill(UserPacketRow{});
  data.Highlights = DefaultHighlightRules();
  // Written only when recordings rotate, so a file without the line says
  // they do not.
  data.Rotation = RotationSettings{};
  if (bytes.size() == ProjectFixedLayoutSize) {
    ReadFixedLayout(bytes, data, true);
  } else if (bytes.size() == ProjectFixedLayoutShortSize) {
    ReadFixedLayout(bytes, data, false);
  } else {
    ReadTextLayout(bytes, data);
  }
}

ProjectRead ReadProjectFile(const std::string& path, ProjectData& data) {
  ProjectRead result;
  WholeFileRead file = ReadWholeFile(path, MaxProjectFileSize);
  if (file.Missing) {
    result.Missing = true;
  } else if (!file.Error.empty()) {
    result.Outcome = Result::Failure("cannot read " + path + ": " + file.Error);
  } else {
    ReadProjectBytes(file.Bytes, data);
  }
  return result;
}

Result WriteProjectFile(const std::string& path, const ProjectData& data) {
  return ReplaceWholeFile(path, FormatProjectText(data));
}

}  // namespace tapwise
