// What the display's clipboard commands send for a text: the hex-or-raw
// reader in both display modes, and the raw reader, on the texts a user's
// clipboard may hold, up to one packet of 4096 bytes.

#include "core/userpackets/ClipboardPacket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/capture/PacketRecord.h"

namespace tapwise {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Of(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(ClipboardPacket, ReadsHexOrRawByDisplayMode) {
  const struct {
    std::string text;
    bool hexMode;
    Bytes sent;
    bool invalid;
  } cases[] = {
      {"01 02 0D", true, {0x01, 0x02, 0x0D}, false},
      {"01,02", true, {0x01, 0x02}, false},
      {"01\r\n02\r\n", true, {0x01, 0x02}, false},
      {"141", true, {0x41}, false},
      {"1 2 A", true, {0x01, 0x02, 0x0A}, false},
      // A selected packet's text: two spaces between groups, CR LF per line.
      {"41 42 43 44  45\r\n46\r\n", true, {0x41, 0x42, 0x43, 0x44, 0x45, 0x46}, false},
      {"01 0G", true, {}, true},
      {std::string("\x00\xFF\x01", 3), true, {}, true},
      {"", true, {}, false},
      // Separators only: nothing, not a 00 byte the user never wrote.
      {"\r\n", true, {}, false},
      {" , \t", true, {}, false},
      {"01 02", false, Of("01 02"), false},
      {"01 0G", false, Of("01 0G"), false},
      {"", false, {}, false},
  };
  for (const auto& c : cases) {
    const ClipboardPacket packet = ReadHexOrRaw(c.text, c.hexMode);
    EXPECT_EQ(packet.Bytes, c.sent) << c.text << (c.hexMode ? " (hex)" : " (ASCII)");
    EXPECT_EQ(packet.InvalidHex, c.invalid) << c.text;
  }
  EXPECT_EQ(ReadRawPacket("01 02 0D").Bytes, (Bytes{0x30, 0x31, 0x20, 0x30, 0x32, 0x20, 0x30, 0x44}));
  EXPECT_TRUE(ReadRawPacket("").Bytes.empty());
  EXPECT_EQ(InvalidHexDataMessage, "\\b\\1Invalid Hex Data in Clipboard");
}

TEST(ClipboardPacket, LongTextsGiveOnePacketOfAtMost4096Bytes) {
  const std::string letters(5000, 'x');
  const Bytes first(PacketCapacity, 'x');
  EXPECT_EQ(ReadHexOrRaw(letters, false).Bytes, first);
  EXPECT_EQ(ReadRawPacket(letters).Bytes, first);

  std::string megabyte;
  while (megabyte.size() < 1'000'000) megabyte += "5A ";
  EXPECT_EQ(ReadHexOrRaw(megabyte, true).Bytes, Bytes(PacketCapacity, 0x5A));
  // A bad character beyond the 4096th number is never reached.
  EXPECT_EQ(ReadHexOrRaw(megabyte + "zz", true).Bytes.size(), size_t{PacketCapacity});
  EXPECT_TRUE(ReadHexOrRaw("zz " + megabyte, true).InvalidHex);
}

}  // namespace
}  // namespace tapwise
