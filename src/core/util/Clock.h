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

// The current local date and time, to the microsecond.
DateTime Now();

// Date-times and microseconds. A date-time of 2079 or earlier holds a
// microsecond count exactly: its last bit is worth about 0.63 µs (2^-37 of a
// day), so the value nearest a count lies within 0.32 µs of it and rounds
// back to the same count. Later date-times hold it to about a microsecond.
//
// Microseconds since 1970-01-01 00:00 on the date-time's own clock (local).
DateTime DateTimeFromMicroseconds(int64_t microseconds);
int64_t MicrosecondsOf(DateTime time);

// The instant a local date-time stands for, as microseconds since the Unix
// epoch (UTC), by the time zone rules in force. The hour that the clocks go
// back happens twice; of its two instants the one nearer `nearUnixMicros`
// is taken (a packet is recorded moments after its time was taken, so the
// present is the natural reference).
int64_t LocalToUnixMicroseconds(DateTime local, int64_t nearUnixMicros);
int64_t LocalToUnixMicroseconds(DateTime local);

// Local time of day of a date-time, rounded to the millisecond.
struct TimeOfDay {
  uint8_t Hour;
  uint8_t Minute;
  uint8_t Second;
  uint16_t Millisecond;
};
TimeOfDay DecodeTime(DateTime time);

}  // namespace tapwise
