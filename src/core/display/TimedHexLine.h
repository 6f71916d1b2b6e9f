#pragma once
// A hex line of the display with its packet's time at a finer precision
// than the packet data file's tenths. The header grows to hold the time
// ("COM5 14:03:07.123" for ms, 17 columns in place of 12), a packet's
// further lines are indented to match, and the bytes stay as they were: the
// line is 80 columns plus the growth. The display ring keeps the file's
// lines; this is applied as a line is drawn. Running text has no times and
// is left alone.

#include <cstddef>
#include <string>

#include "core/display/DisplayLine.h"
#include "core/format/PacketTime.h"

namespace tapwise {

// The columns of the header for a time in style: 12 for tenths. Delta needs
// the packet before and is not a style of the display; it counts as tenths.
size_t TimedHeaderWidth(TimeStyle style);

// The line as drawn with its time in style. A line that is not a hex line
// of 80 columns comes back as it is, as does every line for tenths.
std::string TimedHexLine(const DisplayLine& line, TimeStyle style);

}  // namespace tapwise
