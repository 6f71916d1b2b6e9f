#include "core/format/PacketDataWriter.h"

#include "core/format/HexLines.h"

namespace tapwise {

void AppendPacketDataLines(const PacketRecord& record, std::string& out) {
  out.reserve(out.size() + static_cast<size_t>(HexLineCount(record)) * (HexLineWidth + 2));
  ForEachHexLine(record, [&out](const std::string& line) {
    out += line;
    out += "\r\n";
  });
}

void AppendPacketDataLines(std::span<const std::string> lines, std::string& out) {
  out.reserve(out.size() + lines.size() * (HexLineWidth + 2));
  for (const std::string& line : lines) {
    out += line;
    out += "\r\n";
  }
}

}  // namespace tapwise
