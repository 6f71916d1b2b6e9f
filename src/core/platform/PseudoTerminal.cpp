#include "core/platform/PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tapwise {

namespace {

void SetError(std::string* error, const char* step, int code) {
  if (error) *error = std::string(step) + ": " + std::strerror(code);
}

}  // namespace

std::unique_ptr<PseudoTerminal> PseudoTerminal::Create(std::string* error) {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0) {
    SetError(error, "cannot create a pseudo-terminal", errno);
    return nullptr;
  }
  char slave[128];
  const char* step = nullptr;
  if (grantpt(master) != 0) {
    step = "cannot grant the pseudo-terminal";
  } else if (unlockpt(master) != 0) {
    step = "cannot unlock the pseudo-terminal";
  } else if (int failed = ptsname_r(master, slave, sizeof slave); failed != 0) {
    errno = failed;
    step = "cannot name the pseudo-terminal";
  }
  termios settings{};
  if (!step) {
    // Termios calls on the master act on the slave side.
    if (tcgetattr(master, &settings) != 0) {
      step = "cannot read the pseudo-terminal settings";
    } else {
      cfmakeraw(&settings);
      if (tcsetattr(master, TCSANOW, &settings) != 0) step = "cannot make the pseudo-terminal raw";
    }
  }
  if (step) {
    int code = errno;
    close(master);
    SetError(error, step, code);
    return nullptr;
  }
  return std::unique_ptr<PseudoTerminal>(new PseudoTerminal(master, slave));
}

PseudoTerminal::PseudoTerminal(int masterFd, std::string slavePath)
    : m_masterFd(masterFd), m_slavePath(std::move(slavePath)) {}

PseudoTerminal::~PseudoTerminal() { close(m_masterFd); }

}  // namespace tapwise
