#pragma once
// A pseudo-terminal for tests: the test holds the master end, standing for
// the far end of the wire (it writes what "arrives" and reads what the
// program sent); the code under test opens SlavePath() like a serial port.
// The slave starts raw, so nothing written comes back as an echo.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/PseudoTerminal.h"
#include "core/platform/SerialDevice.h"

namespace tapwise {

class Pty {
 public:
  using Bytes = std::vector<uint8_t>;
  static constexpr std::chrono::milliseconds DefaultTimeout{5000};

  Pty();
  // False when the pseudo-terminal could not be made; Error() says why.
  bool Ok() const { return m_terminal != nullptr; }
  const std::string& Error() const { return m_error; }

  const std::string& SlavePath() const;
  // -1 once CloseMaster has run.
  int MasterFd() const;

  // The wire's end goes away: the device then reads 0 and fails to write.
  void CloseMaster();

  bool WriteAll(const Bytes& bytes) const { return WriteAll(MasterFd(), bytes); }
  Bytes ReadFor(size_t count, std::chrono::milliseconds timeout = DefaultTimeout) const {
    return ReadFor(MasterFd(), count, timeout);
  }

  // Writes every byte to a non-blocking descriptor, waiting while it is full.
  static bool WriteAll(int fd, const Bytes& bytes, std::chrono::milliseconds timeout = DefaultTimeout);
  // Reads until count bytes have come or the time is up.
  static Bytes ReadFor(int fd, size_t count, std::chrono::milliseconds timeout = DefaultTimeout);
  // The same through a device's Read, polled as the receive thread does.
  static Bytes ReadFor(SerialDevice& device, size_t count, std::chrono::milliseconds timeout = DefaultTimeout);
  // Opens a path the way another program would (no locks, no settings).
  static int OpenPlain(const std::string& path);

 private:
  std::unique_ptr<PseudoTerminal> m_terminal;
  std::string m_slavePath;
  std::string m_error;
};

}  // namespace tapwise
