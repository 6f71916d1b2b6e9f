#include "core/userpackets/ClipboardPacket.h"

#include <algorithm>

#include "core/capture/PacketRecord.h"
#include "core/util/AnsiStringLib.h"

namespace tapwise {

const std::string_view InvalidHexDataMessage = "\\b\\1Invalid Hex Data in Clipboard";

ClipboardPacket ReadHexOrRaw(std::string_view text, bool hexMode) {
  if (!hexMode) return ReadRawPacket(text);
  ClipboardPacket packet;
  ParseError = false;
  size_t pos = 1;
  SkipSeparators(text, pos);
  while (pos <= text.size() && packet.Bytes.size() < PacketCapacity) {
    const uint32_t value = ReadHex(text, pos);
    if (ParseError) {
      // What was read before the bad character goes too: half a packet is
      // not what the user meant to send.
      packet.Bytes.clear();
      packet.InvalidHex = true;
      break;
    }
    packet.Bytes.push_back(static_cast<uint8_t>(value & 0xFF));
  }
  ParseError = false;
  return packet;
}

ClipboardPacket ReadRawPacket(std::string_view text) {
  const size_t count = std::min<size_t>(text.size(), PacketCapacity);
  ClipboardPacket packet;
  packet.Bytes.assign(text.begin(), text.begin() + static_cast<ptrdiff_t>(count));
  return packet;
}

}  // namespace tapwise
