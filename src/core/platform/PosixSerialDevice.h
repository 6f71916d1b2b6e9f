#pragma once
// The serial device of a POSIX tty: a real port (/dev/ttyS*, /dev/ttyUSB*, a
// pseudo-terminal's slave side, ...) opened by path, or the master side of a
// pseudo-terminal that the program holds (a virtual port).
//
// Opening by path refuses a port that another program holds (flock, the
// exclusive flag, a UUCP lock file, or, when the caller asks, a plain open
// without any lock) without changing anything on it, then
// takes it: exclusive flag, raw mode, no handshake, PARMRK so that line
// errors show in the stream. A master side has no line of its own: its
// format and control lines are left alone, because its termios are the other
// program's slave settings.

#include <sys/types.h>

#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "core/platform/ParmrkDecoder.h"
#include "core/platform/SerialDevice.h"
#include "core/platform/SysCalls.h"

namespace tapwise {

class PosixSerialDevice : public SerialDevice {
 public:
  // Write waits for a full output buffer in slices of this length...
  static constexpr int WriteWaitSliceMs = 100;
  // ...and gives up when no byte at all could be written for this long (a
  // pseudo-terminal whose reader has stopped would otherwise block forever).
  static constexpr int WriteStallLimitMs = 2000;

  // Asked with the device number once the path has proved to be a tty, and
  // before anything on it changes: whether another program has the device
  // open. Empty: only locks and the exclusive flag count.
  using OpenedElsewhere = std::function<bool(dev_t device)>;

  static OpenResult Open(const std::string& path, SysCalls& sys = RealSysCalls(),
                         const OpenedElsewhere& openedElsewhere = {});

  // A device on a duplicate of masterFd, the master side of a pseudo-terminal;
  // the caller keeps its own descriptor. Fails only when dup fails.
  static OpenResult OpenPtyMaster(int masterFd, SysCalls& sys = RealSysCalls());

  // Writes data bits, parity and stop bits of format into settings, with the
  // parity check (INPCK) on whatever the parity and every handshake off.
  // False, with settings untouched, when a field is out of range.
  static bool SetFormatFlags(const LineFormat& format, termios& settings);

  ~PosixSerialDevice() override;

  bool ApplyLineFormat(const LineFormat& format) override;
  bool SetControlLines(bool rts, bool dtr) override;
  size_t Read(uint8_t* buffer, size_t maxBytes) override;
  bool Write(const uint8_t* data, size_t count) override;
  bool TakeErrorState() override { return TakeLineErrors() != 0; }
  uint8_t TakeLineErrors() override;
  uint8_t ModemLines() override;
  bool HasModemLines() const override { return m_kind == Kind::Line && !m_noModemLines.load(); }
  int WaitHandle() const override { return m_fd; }
  bool Vanished() const override { return m_vanished; }

 private:
  enum class Kind : uint8_t { Line, PtyMaster };
  // frame, parity, overrun, buffer overrun and break counts of the driver
  using ErrorCounts = std::array<int, 5>;

  PosixSerialDevice(SysCalls& sys, int fd, Kind kind);
  bool MakeRaw();
  std::optional<ErrorCounts> ReadErrorCounts();
  size_t ReadRaw(uint8_t* buffer, size_t maxBytes);
  bool Drain();

  SysCalls& m_sys;
  int m_fd;
  Kind m_kind;
  ParmrkDecoder m_decoder;
  std::optional<ErrorCounts> m_errorCounts;
  bool m_vanished = false;  // the reader's own
  // The driver answered TIOCMGET with ENOTTY (a pseudo-terminal's slave).
  std::atomic<bool> m_noModemLines{false};
  // The parity of the format last applied: without it a marked byte can
  // only have had a framing error.
  std::atomic<bool> m_parityChecked{false};
};

}  // namespace tapwise
