#pragma once
// The 80-column hex line: the display's hex mode and the packet data file
// share it. A packet gives one line per 16 bytes (at least one): a 12-column
// header on the first line ("COM"/"ERR", the port character, " " received or
// "*" sent, mm:ss.t), the bytes in hex in four groups, and the same bytes as
// characters (183, the middle dot, for bytes below 32).

#include <cstdint>
#include <string>

#include "core/capture/PacketRecord.h"

namespace tapwise {

constexpr int HexLineWidth = 80;
constexpr int HexBytesPerLine = 16;

// Stands in for an unprintable byte wherever bytes are shown as characters
// (hex lines and the ASCII display alike).
constexpr char MiddleDot = static_cast<char>(183);

// A byte as it is shown among characters: itself, or the middle dot below 32.
constexpr char ShownCharacter(uint8_t byte) { return byte < 32 ? MiddleDot : static_cast<char>(byte); }

// The character naming a port in the header: '1'..'9', then 'a' for 10 and
// on through the character set (port + 87).
char PortCharacter(uint8_t port);

// Number of lines the packet takes.
int HexLineCount(const PacketRecord& record);

// Line `index` (0-based) of the packet, exactly 80 characters.
std::string FormatHexLine(const PacketRecord& record, int index);
// The same into `line`, whose storage is reused: a caller that formats many
// lines into the same strings allocates nothing once they have grown.
void FormatHexLine(const PacketRecord& record, int index, std::string& line);

// Hands each of the packet's lines to visit, in order: the one loop from a
// packet to its lines, for the display, the packet data file and the
// headless output alike.
template <typename Visit>
void ForEachHexLine(const PacketRecord& record, Visit&& visit) {
  const int lines = HexLineCount(record);
  for (int i = 0; i < lines; ++i) visit(FormatHexLine(record, i));
}

}  // namespace tapwise
