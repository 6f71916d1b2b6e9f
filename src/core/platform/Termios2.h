#pragma once
// Line rates by number. The C library only knows the classic B-constants
// (no 14400, 28800, 56000, 128000 or 256000), so every rate goes to the driver
// through the kernel's termios2 interface instead. The kernel headers that
// define it clash with <termios.h>; they are confined to Termios2.cpp, and
// this header stays free of both.

#include <cstdint>
#include <optional>

#include "core/platform/SysCalls.h"

namespace tapwise {

struct LineRates {
  uint32_t Input = 0;
  uint32_t Output = 0;
};

// Sets input and output rate of the tty open on fd to rate bits per second,
// leaving every other setting alone. Call it after any tcsetattr, which may
// carry an older rate back. False for rate 0 (that means "hang up") and when
// the driver refuses.
bool SetLineRate(SysCalls& sys, int fd, uint32_t rate);

// The rates the driver holds now; none when it cannot tell.
std::optional<LineRates> ReadLineRates(SysCalls& sys, int fd);

// The part of a pseudo-terminal's line settings that its other side can
// follow: the kernel keeps the rate and the stop bits an application sets,
// but forces 8 data bits without parity, so those two never show.
struct FollowedLine {
  uint32_t Rate = 0;  // the output rate
  bool TwoStopBits = false;
  bool operator==(const FollowedLine&) const = default;
};

// Read through either side of the pseudo-terminal; none when fd is no tty.
std::optional<FollowedLine> ReadFollowedLine(SysCalls& sys, int fd);
// Puts rate and stop bits into the pseudo-terminal, so that an application
// that asks finds what the device runs at; false when the driver refuses.
bool WriteFollowedLine(SysCalls& sys, int fd, const FollowedLine& line);

}  // namespace tapwise
