// Date-times as microseconds, and local date-times back to the instant they
// stand for, under time zones with summer time.

#include "core/util/Clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>
#include <string>

#include "support/TimeZone.h"

namespace tapwise {
namespace {

constexpr int64_t Second = 1'000'000;
constexpr int64_t Hour = 3600 * Second;

// 00:00 UTC of a date, in microseconds since the epoch.
int64_t Midnight(int year, int month, int day) {
  tm date{};
  date.tm_year = year - 1900;
  date.tm_mon = month - 1;
  date.tm_mday = day;
  return static_cast<int64_t>(timegm(&date)) * Second;
}

TEST(Clock, EveryMicrosecondUntil2079SurvivesADateTime) {
  std::mt19937_64 random(1899);
  const int64_t from = Midnight(1980, 1, 1);
  const int64_t to = Midnight(2079, 6, 5) - 1;  // the last day before 65536 days
  std::uniform_int_distribution<int64_t> anyTime(from, to);
  std::vector<int64_t> samples = {from, to, Midnight(2024, 2, 29) - 1, Midnight(2024, 2, 29),
                                  Midnight(2050, 1, 1) + 86'399'999'999};
  for (int i = 0; i < 200'000; ++i) samples.push_back(anyTime(random));
  for (int64_t us : samples) {
    ASSERT_EQ(MicrosecondsOf(DateTimeFromMicroseconds(us)), us) << us;
  }
  // The day count is the one the display decodes.
  EXPECT_EQ(DateTimeFromMicroseconds(0), 25569.0);
  EXPECT_EQ(DateTimeFromMicroseconds(Midnight(2023, 3, 15) + 12 * Hour), 45000.5);
}


TEST_F(InTimeZone, ALocalTimeGoesBackToItsInstantAcrossTheChanges) {
  struct Zone {
    const char* rule;
    int64_t springChange;  // UTC
    int64_t autumnChange;
  };
  // Central Europe (+1, +2 in summer, changing at 01:00 UTC) and US
  // Eastern (-5, -4, changing at 07:00 and 06:00 UTC), both in 2024.
  const Zone zones[] = {
      {"CET-1CEST,M3.5.0,M10.5.0/3", Midnight(2024, 3, 31) + 1 * Hour, Midnight(2024, 10, 27) + 1 * Hour},
      {"EST5EDT,M3.2.0,M11.1.0", Midnight(2024, 3, 10) + 7 * Hour, Midnight(2024, 11, 3) + 6 * Hour},
      {"UTC0", Midnight(2024, 3, 31), Midnight(2024, 10, 27)},
  };
  for (const Zone& zone : zones) {
    SCOPED_TRACE(zone.rule);
    Use(zone.rule);
    std::vector<int64_t> instants;
    for (int64_t change : {zone.springChange, zone.autumnChange}) {
      // Every quarter of an hour from 3 hours before to 3 hours after, and
      // the microseconds either side of the change.
      for (int64_t at = change - 3 * Hour; at <= change + 3 * Hour; at += Hour / 4) instants.push_back(at + 654'321);
      instants.push_back(change - 1);
      instants.push_back(change);
    }
    instants.push_back(Midnight(2024, 1, 15) + 12 * Hour + 123'456);
    instants.push_back(Midnight(2024, 7, 1) + 12 * Hour + 999'999);
    // The packet is recorded moments after its time was taken.
    for (int64_t instant : instants) {
      EXPECT_EQ(LocalToUnixMicroseconds(LocalAt(instant), instant + 300'000), instant) << instant;
    }
  }
}

TEST_F(InTimeZone, TheHourThatHappensTwiceIsTakenNearerTheReference) {
  Use("CET-1CEST,M3.5.0,M10.5.0/3");
  // 27 October 2024, 02:30 local: first in summer time (00:30 UTC), then again in winter time (01:30 UTC).
  const DateTime twice = DateTimeFromMicroseconds(Midnight(2024, 10, 27) + 2 * Hour + 30 * 60 * Second);
  const int64_t summer = Midnight(2024, 10, 27) + Hour / 2;
  const int64_t winter = summer + Hour;
  EXPECT_EQ(LocalToUnixMicroseconds(twice, summer + Second), summer);
  EXPECT_EQ(LocalToUnixMicroseconds(twice, winter + Second), winter);
  // 31 March 2024, 02:30 local never happens; it reads as winter time.
  const DateTime skipped = DateTimeFromMicroseconds(Midnight(2024, 3, 31) + 2 * Hour + 30 * 60 * Second);
  EXPECT_EQ(LocalToUnixMicroseconds(skipped, 0), Midnight(2024, 3, 31) + Hour + Hour / 2);
}

TEST(Clock, NowIsThePresentToTheMicrosecond) {
  timespec before{};
  clock_gettime(CLOCK_REALTIME, &before);
  const DateTime now = Now();
  timespec after{};
  clock_gettime(CLOCK_REALTIME, &after);
  const int64_t instant = LocalToUnixMicroseconds(now);
  EXPECT_GE(instant, static_cast<int64_t>(before.tv_sec) * Second + before.tv_nsec / 1000);
  EXPECT_LE(instant, static_cast<int64_t>(after.tv_sec) * Second + after.tv_nsec / 1000);
}

}  // namespace
}  // namespace tapwise
