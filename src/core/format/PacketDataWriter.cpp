#include "core/format/PacketDataWriter.h"

#include "core/format/HexLines.h"

namespace tapwise {

void AppendPacketDataLines(const PacketRecord& record, std::string& out) {
  const int lines = HexLineCount(record);
  out.reserve(out.size() + static_cast<size_t>(lines) * (HexLineWidth + 2));
  for (int i = 0; i < lines; ++i) {
    out += FormatHexLine(record, i);
    out += "\r\n";
  }
}

}  // namespace tapwise
