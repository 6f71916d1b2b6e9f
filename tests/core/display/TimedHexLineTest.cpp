// Hex lines drawn with finer packet times: the header widens, the bytes stay.

#include "core/display/TimedHexLine.h"

#include <gtest/gtest.h>

#include "core/format/HexLines.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

constexpr int64_t Second = 1'000'000;
// 2026-12-09 14:03:07.123456 on the local clock.
constexpr int64_t LocalMicros = (20796LL * 86400 + 14 * 3600 + 3 * 60 + 7) * Second + 123456;

DisplayLine LineOf(const PacketRecord& record, int index) {
  DisplayLine line;
  line.Text = FormatHexLine(record, index);
  line.Port = record.Port;
  line.Time = record.Time;
  return line;
}

TEST(TimedHexLine, TheHeaderWidensToTheTimeAndTheBytesStay) {
  std::unique_ptr<PacketRecord> record = MakeRecord(40, CountingBytes(20), OriginTransmitted, 1);
  record->Time = DateTimeFromMicroseconds(LocalMicros);
  const DisplayLine first = LineOf(*record, 0);
  const DisplayLine second = LineOf(*record, 1);
  const std::string firstBytes = first.Text.substr(12);
  const std::string secondBytes = second.Text.substr(12);
  // The port character and the marks of an error and a transmission stay.
  const std::string label = first.Text.substr(0, 5);
  ASSERT_EQ(label, std::string("ERR") + PortCharacter(40) + "*");
  struct Case {
    TimeStyle style;
    std::string time;
  };
  const Case cases[] = {
      {TimeStyle::Milliseconds, "14:03:07.123"},
      {TimeStyle::Microseconds, "14:03:07.123456"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(TimeStyleName(c.style));
    const size_t header = 5 + c.time.size();
    EXPECT_EQ(TimedHeaderWidth(c.style), header);
    EXPECT_EQ(TimedHexLine(first, c.style), label + c.time + firstBytes);
    EXPECT_EQ(TimedHexLine(second, c.style), std::string(header, ' ') + secondBytes);
    EXPECT_EQ(TimedHexLine(first, c.style).size(), 80 + header - 12);
  }
}

TEST(TimedHexLine, TenthsAndRunningTextAreLeftAsTheyAre) {
  std::unique_ptr<PacketRecord> record = MakeRecord(5, "AB");
  const DisplayLine hex = LineOf(*record, 0);
  EXPECT_EQ(TimedHeaderWidth(TimeStyle::Tenths), 12u);
  EXPECT_EQ(TimedHexLine(hex, TimeStyle::Tenths), hex.Text);
  // Delta needs the packet before: the display has no such column.
  EXPECT_EQ(TimedHexLine(hex, TimeStyle::Delta), hex.Text);
  DisplayLine text;
  text.Text = "COM5 typed by hand, not a hex line";
  text.Port = 5;
  EXPECT_EQ(TimedHexLine(text, TimeStyle::Microseconds), text.Text);
}

}  // namespace
}  // namespace tapwise
