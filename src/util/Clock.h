#pragma once
// Time as the program keeps it: a 32-bit millisecond tick count for measuring
// gaps, and date-times as days since 30 December 1899 (the fraction being the
// time of day, local time), the form in which packets carry their time.

#include <cstdint>

namespace tapwise {

using DateTime = double;

// Milliseconds since an arbitrary start, wrapping at 2^32; compare two ticks
// only through a signed difference.
uint32_t TickCount();

// The current local date and time.
DateTime Now();

// Local time of day of a date-time, rounded to the millisecond.
struct TimeOfDay {
  uint8_t Hour;
  uint8_t Minute;
  uint8_t Second;
  uint16_t Millisecond;
};
TimeOfDay DecodeTime(DateTime time);

}  // namespace tapwise
