// A packet's time at each precision the user can choose.

#include "core/format/PacketTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "support/TimeZone.h"

namespace tapwise {
namespace {

constexpr int64_t Second = 1'000'000;

// Local date-time of an instant under a POSIX zone rule, the way Now() takes it.
class PacketTimeInZone : public InTimeZone {};

TEST_F(PacketTimeInZone, EachStyleShowsTheSameInstant) {
  Use("CET-1CEST,M3.5.0,M10.5.0/3");
  // 2026-12-09 13:03:07.012345 UTC is 14:03:07.012345 in Central Europe.
  const int64_t instant = 1'796'821'387 * Second + 12'345;
  const DateTime local = LocalAt(instant);
  struct Case {
    TimeStyle style;
    const char* text;
  };
  const Case cases[] = {
      {TimeStyle::Tenths, "03:07.0"},
      {TimeStyle::Milliseconds, "14:03:07.012"},
      {TimeStyle::Microseconds, "14:03:07.012345"},
      {TimeStyle::Iso, "2026-12-09T14:03:07.012345+01:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(PacketTimeText(c.style, local), c.text);
  EXPECT_EQ(PacketUnixMicroseconds(local), instant);

  // Summer time gives its own offset.
  EXPECT_EQ(PacketTimeText(TimeStyle::Iso, LocalAt(1'783'000'000 * Second)), "2026-07-02T15:46:40.000000+02:00");
  Use("EST5");
  EXPECT_EQ(PacketTimeText(TimeStyle::Iso, LocalAt(instant)), "2026-12-09T08:03:07.012345-05:00");
  Use("IST-5:30");
  EXPECT_EQ(PacketTimeText(TimeStyle::Iso, LocalAt(instant)), "2026-12-09T18:33:07.012345+05:30");
}

TEST(PacketTime, TenthsRoundAsThePacketDataFileDoesOthersTruncate) {
  // 59.99996 s: the data file's tenths round up to the next minute; a finer
  // precision never shows a time that has not yet come.
  const DateTime time = DateTimeFromMicroseconds(int64_t{20'000} * 86'400 * Second + 59 * Second + 999'960);
  EXPECT_EQ(PacketTimeText(TimeStyle::Tenths, time), "01:00.0");
  EXPECT_EQ(PacketTimeText(TimeStyle::Milliseconds, time), "00:00:59.999");
  EXPECT_EQ(PacketTimeText(TimeStyle::Microseconds, time), "00:00:59.999960");
}

TEST(PacketTime, DeltaIsSignedSecondsToTheMicrosecond) {
  EXPECT_EQ(PacketTimeText(TimeStyle::Delta, 0, 0), "+0.000000");
  EXPECT_EQ(PacketTimeText(TimeStyle::Delta, 0, 1'234), "+0.001234");
  EXPECT_EQ(PacketTimeText(TimeStyle::Delta, 0, 61 * Second + 5), "+61.000005");
  // The clock was set back between two packets.
  EXPECT_EQ(PacketTimeText(TimeStyle::Delta, 0, -2 * Second - 500'000), "-2.500000");
}

}  // namespace
}  // namespace tapwise
