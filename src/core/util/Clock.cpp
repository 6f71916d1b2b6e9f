#include "core/util/Clock.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace tapwise {

namespace {
constexpr double DaysFrom1899To1970 = 25569.0;
constexpr int64_t MillisecondsPerDay = 86'400'000;
constexpr int64_t MicrosecondsPerDay = 86'400'000'000;
constexpr int64_t MicrosecondsPerSecond = 1'000'000;

int64_t FloorDivide(int64_t value, int64_t divisor) {
  int64_t quotient = value / divisor;
  if (value % divisor < 0) --quotient;
  return quotient;
}

// The local clock's lead over UTC at an instant, in seconds.
long OffsetAt(int64_t unixSeconds) {
  const auto seconds = static_cast<time_t>(unixSeconds);
  tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return 0;
  return local.tm_gmtoff;
}

int64_t UnixMicrosecondsNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * MicrosecondsPerSecond + now.tv_nsec / 1000;
}
}  // namespace

uint32_t TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec / 1'000'000);
  return static_cast<uint32_t>(ms);
}

DateTime Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  const int64_t localUs =
      (static_cast<int64_t>(now.tv_sec) + local.tm_gmtoff) * MicrosecondsPerSecond + now.tv_nsec / 1000;
  return DateTimeFromMicroseconds(localUs);
}

DateTime DateTimeFromMicroseconds(int64_t microseconds) {
  // The whole days and the time of day apart: the day count is exact, the
  // fraction of a day is exact to far below a microsecond, and adding the
  // two rounds only once, by at most half the last bit of the result.
  const int64_t days = FloorDivide(microseconds, MicrosecondsPerDay);
  const int64_t timeOfDay = microseconds - days * MicrosecondsPerDay;
  return (static_cast<double>(days) + DaysFrom1899To1970) +
         static_cast<double>(timeOfDay) / static_cast<double>(MicrosecondsPerDay);
}

int64_t MicrosecondsOf(DateTime time) {
  // Taking the whole days off first is exact and leaves the fraction with
  // all its bits, so the product below rounds far below a microsecond.
  const double day = std::floor(time);
  const double fraction = time - day;
  return (static_cast<int64_t>(day) - static_cast<int64_t>(DaysFrom1899To1970)) * MicrosecondsPerDay +
         std::llround(fraction * static_cast<double>(MicrosecondsPerDay));
}

int64_t LocalToUnixMicroseconds(DateTime local, int64_t nearUnixMicros) {
  const int64_t localUs = MicrosecondsOf(local);
  const int64_t localSeconds = FloorDivide(localUs, MicrosecondsPerSecond);
  // A local time lies less than a day from its instant, so the offsets in
  // force a day before and a day after are the only ones it can carry. An
  // offset fits when the instant it gives has that offset itself.
  const long before = OffsetAt(localSeconds - 86400);
  const long after = OffsetAt(localSeconds + 86400);
  auto instant = [localUs](long offset) { return localUs - static_cast<int64_t>(offset) * MicrosecondsPerSecond; };
  if (before == after) return instant(before);
  const bool beforeFits = OffsetAt(localSeconds - before) == before;
  const bool afterFits = OffsetAt(localSeconds - after) == after;
  if (beforeFits && afterFits) {
    // The hour that happens twice.
    const int64_t first = instant(before);
    const int64_t second = instant(after);
    return std::llabs(first - nearUnixMicros) <= std::llabs(second - nearUnixMicros) ? first : second;
  }
  // A time in the hour that the clocks skip never comes from the clock; it
  // is read with the offset before the change.
  return instant(afterFits ? after : before);
}

int64_t LocalToUnixMicroseconds(DateTime local) { return LocalToUnixMicroseconds(local, UnixMicrosecondsNow()); }

TimeOfDay DecodeTime(DateTime time) {
  // Round the whole value to milliseconds first, so 12:00:00.9996 shows as
  // 12:00:01.000 and never as 12:00:00 with 1000 milliseconds.
  int64_t totalMs = std::llround(time * static_cast<double>(MillisecondsPerDay));
  int64_t ms = totalMs % MillisecondsPerDay;
  if (ms < 0) ms += MillisecondsPerDay;
  TimeOfDay result{};
  result.Hour = static_cast<uint8_t>(ms / 3'600'000);
  result.Minute = static_cast<uint8_t>(ms / 60'000 % 60);
  result.Second = static_cast<uint8_t>(ms / 1000 % 60);
  result.Millisecond = static_cast<uint16_t>(ms % 1000);
  return result;
}

}  // namespace tapwise
