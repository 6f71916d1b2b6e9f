#include "core/display/TimedHexLine.h"

#include "core/format/HexLines.h"

namespace tapwise {

namespace {

// "COM5 " or "ERR5*": the label, the port character and the origin mark.
constexpr size_t LabelWidth = 5;
constexpr size_t FileHeaderWidth = 12;

bool Widened(TimeStyle style) { return style != TimeStyle::Tenths && style != TimeStyle::Delta; }

}  // namespace

size_t TimedHeaderWidth(TimeStyle style) {
  if (!Widened(style)) return FileHeaderWidth;
  // Every time of the style is as wide as any other.
  return LabelWidth + PacketTimeText(style, 0).size();
}

std::string TimedHexLine(const DisplayLine& line, TimeStyle style) {
  if (!Widened(style) || line.Text.size() != static_cast<size_t>(HexLineWidth)) return line.Text;
  const std::string_view body = std::string_view(line.Text).substr(FileHeaderWidth);
  std::string text;
  text.reserve(TimedHeaderWidth(style) + body.size());
  if (line.Text[0] == ' ') {
    text.assign(TimedHeaderWidth(style), ' ');
  } else {
    text.assign(line.Text, 0, LabelWidth);
    text += PacketTimeText(style, line.Time);
  }
  text += body;
  return text;
}

}  // namespace tapwise
