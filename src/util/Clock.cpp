#include "util/Clock.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace tapwise {

namespace {
constexpr double DaysFrom1899To1970 = 25569.0;
constexpr int64_t MillisecondsPerDay = 86'400'000;
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
  int64_t localMs = (static_cast<int64_t>(now.tv_sec) + local.tm_gmtoff) * 1000 + now.tv_nsec / 1'000'000;
  return DaysFrom1899To1970 + static_cast<double>(localMs) / static_cast<double>(MillisecondsPerDay);
}

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
