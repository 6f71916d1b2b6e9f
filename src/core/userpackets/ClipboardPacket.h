#pragma once
// The packet that the display's clipboard commands send: read from the
// clipboard's text or from the selected packet's text, at most one packet of
// PacketCapacity bytes, whatever the text holds (binary, a megabyte, nothing).
//
// In hex display mode the text is a list of hex numbers (separators: space,
// tab, CR, LF, comma; a longer number gives the byte of its last two digits);
// in ASCII display mode every character is one byte. Bytes beyond the
// PacketCapacity-th are ignored. Plain functions of the text; the window
// reads the clipboard and hands the bytes to WritePacket.

#include <cstdint>
#include <string_view>
#include <vector>

namespace tapwise {

// Shown with MsgError when a text in hex mode is not a hex list.
extern const std::string_view InvalidHexDataMessage;

struct ClipboardPacket {
  std::vector<uint8_t> Bytes;  // empty: nothing to send
  bool InvalidHex = false;     // the text was not a hex list; nothing to send
};

// "Play Clipboard (as Hex)" and "Play Selected Packet". A text of
// separators only (a lone line break) sends nothing rather than a 00 byte
// that the user never wrote.
ClipboardPacket ReadHexOrRaw(std::string_view text, bool hexMode);

// "Play Clipboard (raw)": the text's characters as they stand, the first
// PacketCapacity of them, as one packet can hold no more.
ClipboardPacket ReadRawPacket(std::string_view text);

}  // namespace tapwise
