#include "core/platform/Termios2.h"

// Only the kernel's own definitions here: <termios.h> and <sys/ioctl.h>
// would redefine struct termios and the ioctl numbers.
#include <asm/ioctls.h>
#include <asm/termbits.h>

namespace tapwise {

bool SetLineRate(SysCalls& sys, int fd, uint32_t rate) {
  if (rate == 0) return false;
  termios2 settings{};
  if (sys.Ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = rate;
  settings.c_ospeed = rate;
  return sys.Ioctl(fd, TCSETS2, &settings) == 0;
}

std::optional<LineRates> ReadLineRates(SysCalls& sys, int fd) {
  termios2 settings{};
  if (sys.Ioctl(fd, TCGETS2, &settings) != 0) return std::nullopt;
  return LineRates{settings.c_ispeed, settings.c_ospeed};
}

std::optional<FollowedLine> ReadFollowedLine(SysCalls& sys, int fd) {
  termios2 settings{};
  if (sys.Ioctl(fd, TCGETS2, &settings) != 0) return std::nullopt;
  return FollowedLine{settings.c_ospeed, (settings.c_cflag & CSTOPB) != 0};
}

bool WriteFollowedLine(SysCalls& sys, int fd, const FollowedLine& line) {
  if (line.Rate == 0) return false;
  termios2 settings{};
  if (sys.Ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT) | CSTOPB);
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | (line.TwoStopBits ? CSTOPB : 0);
  settings.c_ispeed = line.Rate;
  settings.c_ospeed = line.Rate;
  return sys.Ioctl(fd, TCSETS2, &settings) == 0;
}

}  // namespace tapwise
