#pragma once
// A packet's time as text, at the precision the user chose. The time is the
// moment the read that brought the packet's first byte returned (local
// time), not the moment the byte crossed the wire: scheduling and the
// device's own buffering (a USB adapter's latency timer) come before it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/util/Clock.h"

namespace tapwise {

enum class TimeStyle : uint8_t {
  Tenths,        // mm:ss.t, as in the packet data file
  Milliseconds,  // hh:mm:ss.mmm
  Microseconds,  // hh:mm:ss.uuuuuu
  Iso,           // 2026-12-09T14:03:07.123456+01:00
  Delta,         // +0.012345: seconds since the packet before, on any port
};

// The style's name as the command line and the settings spell it:
// "tenths", "ms", "us", "iso", "delta".
const char* TimeStyleName(TimeStyle style);
// The style a name stands for, in any case; none for another word.
std::optional<TimeStyle> TimeStyleNamed(std::string_view name);

// The text for time; deltaMicros is used by Delta alone.
std::string PacketTimeText(TimeStyle style, DateTime time, int64_t deltaMicros = 0);

// The wall-clock instant of a packet time, in microseconds since the Unix
// epoch, for measuring deltas across a change of the clocks.
int64_t PacketUnixMicroseconds(DateTime time);

}  // namespace tapwise
