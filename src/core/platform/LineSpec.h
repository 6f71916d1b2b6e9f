#pragma once
// Line settings as a user types them after a port: "115200,8N1" (rate, then
// data bits, parity N/E/O/M/S and stop bits 1, 1.5 or 2), each of the two
// parts optional ("9600", "7E1"). What is not given stays as it was.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/SerialDevice.h"

namespace tapwise {

struct LineSpec {
  std::optional<uint32_t> BaudRate;
  // Data bits, parity and stop bits come together or not at all.
  std::optional<uint8_t> DataBits;
  uint8_t Parity = ParityNone;  // ParityCode
  uint8_t StopBits = StopOne;   // StopBitsCode

  // The format with what this spec sets put in.
  LineFormat AppliedTo(LineFormat format) const;
};

// The rates a spec may name. The lowest and highest a UART or USB adapter
// can be asked for; the driver may still refuse one in between.
constexpr uint32_t LowestLineRate = 50;
constexpr uint32_t HighestLineRate = 16'000'000;

// The spec, or the reason it is not one ("11520x is neither a rate nor data
// bits, parity and stop bits such as 8N1").
struct LineSpecParse {
  std::optional<LineSpec> Line;
  std::string Problem;
};
LineSpecParse ParseLineSpec(std::string_view text);

// A device target with line settings after it, split: "/dev/ttyUSB0,115200,8N1"
// gives "/dev/ttyUSB0" and the spec. Only trailing comma-separated parts
// that are a rate or a frame are taken, so a path that holds a comma of its
// own keeps it; a ",link=LINK" at the end stays with the target.
struct SplitTarget {
  std::string Target;
  std::optional<LineSpec> Line;
  // Set when the trailing parts are each a rate or a frame but not a spec
  // together ("8N1,9600"): the user meant line settings and got them wrong.
  std::string Problem;
};
SplitTarget SplitLineSuffix(std::string_view target);

// "115200,8N1" for the settings of a tab or a start line.
std::string LineFormatText(const LineFormat& format);

}  // namespace tapwise
