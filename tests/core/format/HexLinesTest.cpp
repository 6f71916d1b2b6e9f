#include "core/format/HexLines.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tapwise {
namespace {

// A date-time at the given time of day on some day in 2023.
DateTime At(int hour, int minute, double seconds) {
  return 45000.0 + (hour * 3600 + minute * 60 + seconds) / 86400.0;
}

PacketRecord Record(uint8_t port, uint8_t origin, uint8_t error, DateTime time, const std::string& bytes) {
  PacketRecord record{};
  record.Port = port;
  record.Origin = origin;
  record.Error = error;
  record.Time = time;
  record.Length = static_cast<uint16_t>(bytes.size());
  std::memcpy(record.Data, bytes.data(), bytes.size());
  return record;
}

const std::string Dot(1, static_cast<char>(183));

TEST(HexLines, ReceivedAndTransmittedPacketsAsTheyComeOut) {
  PacketRecord ping = Record(2, OriginReceived, 0, At(13, 7, 4.35), "PING\r\n");
  ASSERT_EQ(HexLineCount(ping), 1);
  EXPECT_EQ(FormatHexLine(ping, 0),
            "COM2 07:04.3 50 49 4E 47  0D 0A                                 PING" + Dot + Dot +
                "          ");

  PacketRecord sent = Record(12, OriginTransmitted, 0, At(0, 7, 4.999), "ABCDEFGHIJKLMNOPQRST");
  ASSERT_EQ(HexLineCount(sent), 2);
  EXPECT_EQ(FormatHexLine(sent, 0),
            "COMc*07:04.9 41 42 43 44  45 46 47 48  49 4A 4B 4C  4D 4E 4F 50 ABCDEFGHIJKLMNOP");
  EXPECT_EQ(FormatHexLine(sent, 1),
            "             51 52 53 54                                        QRST            ");
}

TEST(HexLines, EveryLineIsEightyCharactersAndLineCountFollowsLength) {
  struct Case { size_t length; int lines; };
  for (Case c : {Case{0, 1}, Case{1, 1}, Case{16, 1}, Case{17, 2}, Case{4096, 256}}) {
    SCOPED_TRACE(c.length);
    PacketRecord record = Record(1, OriginReceived, 0, At(1, 2, 3), std::string(c.length, 'x'));
    ASSERT_EQ(HexLineCount(record), c.lines);
    for (int i = 0; i < c.lines; ++i) EXPECT_EQ(FormatHexLine(record, i).size(), 80u);
  }
  PacketRecord empty = Record(1, OriginTransmitted, 0, At(1, 2, 3), "");
  EXPECT_EQ(FormatHexLine(empty, 0), "COM1*02:03.0" + std::string(68, ' '));
}

TEST(HexLines, PortCharactersRunOnThroughTheCharacterSet) {
  struct Case { uint8_t port; char expected; };
  for (Case c : {Case{1, '1'}, Case{9, '9'}, Case{10, 'a'}, Case{16, 'g'}, Case{35, 'z'}, Case{36, '{'},
                 Case{128, static_cast<char>(215)}}) {
    SCOPED_TRACE(int{c.port});
    EXPECT_EQ(PortCharacter(c.port), c.expected);
    PacketRecord record = Record(c.port, OriginReceived, 0, At(0, 0, 0), "a");
    EXPECT_EQ(FormatHexLine(record, 0)[3], c.expected);
  }
}

TEST(HexLines, FailedWriteStartsWithErr) {
  PacketRecord record = Record(3, OriginTransmitted, 1, At(0, 59, 59.95), "z");
  EXPECT_EQ(FormatHexLine(record, 0).substr(0, 12), "ERR3*59:59.9");
}

TEST(HexLines, ControlBytesShowAsMiddleDotAndHighBytesAsThemselves) {
  std::string bytes = {'\0', '\x1f', ' ', '\x7f', '\x80', '\xb7', '\xff'};
  PacketRecord record = Record(1, OriginReceived, 0, At(0, 0, 0), bytes);
  std::string line = FormatHexLine(record, 0);
  EXPECT_EQ(line.substr(12, 52), " 00 1F 20 7F  80 B7 FF" + std::string(30, ' '));
  EXPECT_EQ(line.substr(64), Dot + Dot + " \x7f\x80\xb7\xff" + std::string(9, ' '));
}

}  // namespace
}  // namespace tapwise
