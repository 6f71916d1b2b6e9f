#include "core/platform/PosixSerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>

#include "core/platform/Termios2.h"

namespace tapwise {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* LockDirectory = "/run/lock";

OpenStatus StatusForOpenError(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return OpenStatus::NotPermitted;
    case EBUSY:
      return OpenStatus::Busy;
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR:
      return OpenStatus::Absent;
    case EISDIR:
      return OpenStatus::NotATty;
    case EMFILE:
    case ENFILE:
      return OpenStatus::NoDescriptors;
    default:
      return OpenStatus::Failed;
  }
}

// The process named by a UUCP lock file: ten ASCII digits padded with blanks
// and a newline by most programs, a 4-byte binary number by old ones.
std::optional<pid_t> LockFilePid(const char* text, size_t size) {
  size_t at = 0;
  while (at < size && (text[at] == ' ' || text[at] == '\t')) ++at;
  size_t digitsFrom = at;
  long long value = 0;
  while (at < size && text[at] >= '0' && text[at] <= '9' && value <= INT_MAX) {
    value = value * 10 + (text[at] - '0');
    ++at;
  }
  bool ascii = at > digitsFrom && value <= INT_MAX;
  while (ascii && at < size) {
    if (text[at] != ' ' && text[at] != '\t' && text[at] != '\n' && text[at] != '\r') ascii = false;
    ++at;
  }
  if (ascii) {
    if (value > 0) return static_cast<pid_t>(value);
    return std::nullopt;
  }
  if (size == sizeof(int32_t)) {
    int32_t binary;
    std::memcpy(&binary, text, sizeof binary);
    if (binary > 0) return binary;
  }
  return std::nullopt;
}

// Whether /run/lock/LCK..<name> names a process that is still running. Lock
// files use the device's own name, so a symbolic link (/dev/serial/by-id/...)
// is followed first. A lock of a dead process, or one we cannot read, does
// not count.
bool LockedByLiveProcess(SysCalls& sys, const std::string& path) {
  std::error_code error;
  std::filesystem::path device = std::filesystem::canonical(path, error);
  if (error) device = path;
  std::string lockPath = std::string(LockDirectory) + "/LCK.." + device.filename().string();

  int fd = sys.Open(lockPath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  char text[64];
  ssize_t got;
  do {
    got = sys.Read(fd, text, sizeof text);
  } while (got < 0 && errno == EINTR);
  sys.Close(fd);
  if (got <= 0) return false;

  std::optional<pid_t> pid = LockFilePid(text, static_cast<size_t>(got));
  // We never write lock files, so one naming us is a leftover of a process
  // that had our number before.
  if (!pid || *pid == getpid()) return false;
  return sys.Kill(*pid, 0) == 0 || errno == EPERM;
}

// Whether another program has the port: its flock, its exclusive flag or its
// lock file. Nothing here changes the port.
bool HeldElsewhere(SysCalls& sys, int fd, const std::string& path) {
  int locked;
  do {
    locked = sys.Flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0 && errno == EWOULDBLOCK) return true;
  // The exclusive flag is not enforced for root, so ask for it: a holder
  // that set it must not find us on its line.
  int exclusive = 0;
  if (sys.Ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) return true;
  return LockedByLiveProcess(sys, path);
}

// A program that opened the port plainly, with no lock at all, loses its
// bytes to whoever else reads the line: it counts as holding the port.
bool OpenedByOther(SysCalls& sys, int fd, const PosixSerialDevice::OpenedElsewhere& openedElsewhere) {
  struct stat info {};
  return sys.Fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && openedElsewhere(info.st_rdev);
}

// The kernel registers /dev/ttyS0..31 whether or not a UART is behind them;
// one without (type PORT_UNKNOWN) is no port.
bool IsUnknownUart(SysCalls& sys, int fd, const std::string& path) {
  if (path.rfind("/dev/ttyS", 0) != 0) return false;
  serial_struct info{};
  return sys.Ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
}

}  // namespace

OpenResult PosixSerialDevice::Open(const std::string& path, SysCalls& sys, const OpenedElsewhere& openedElsewhere) {
  int fd;
  do {
    fd = sys.Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return {nullptr, StatusForOpenError(errno)};
  termios probe{};
  if (sys.Tcgetattr(fd, &probe) != 0) {
    // A file, a pipe or a device that is no terminal: nothing to set up.
    const OpenStatus status = errno == ENOTTY ? OpenStatus::NotATty : OpenStatus::Failed;
    sys.Close(fd);
    return {nullptr, status};
  }

  // The busy checks come before the control lines are lowered: lowering DTR
  // on a line another program holds would hang up its session. The checks
  // are a few system calls, so the pulse that open() raises is hardly longer.
  if (HeldElsewhere(sys, fd, path) || (openedElsewhere && OpenedByOther(sys, fd, openedElsewhere))) {
    sys.Close(fd);
    return {nullptr, OpenStatus::Busy};
  }
  int lines = TIOCM_RTS | TIOCM_DTR;
  sys.Ioctl(fd, TIOCMBIC, &lines);  // ENOTTY where there are no such lines
  if (IsUnknownUart(sys, fd, path)) {
    sys.Close(fd);
    return {nullptr, OpenStatus::Absent};
  }

  // The port is ours from here; the destructor undoes the exclusive flag.
  sys.Ioctl(fd, TIOCEXCL, nullptr);
  std::unique_ptr<PosixSerialDevice> device(new PosixSerialDevice(sys, fd, Kind::Line));
  if (!device->MakeRaw()) return {nullptr, OpenStatus::Failed};
  sys.Tcflush(fd, TCIOFLUSH);
  // Errors counted before we came do not belong to us.
  device->m_errorCounts = device->ReadErrorCounts();
  return {std::move(device), OpenStatus::Opened};
}

OpenResult PosixSerialDevice::OpenPtyMaster(int masterFd, SysCalls& sys) {
  int fd = sys.Dup(masterFd);
  if (fd < 0) return {nullptr, OpenStatus::Failed};
  return {std::unique_ptr<SerialDevice>(new PosixSerialDevice(sys, fd, Kind::PtyMaster)), OpenStatus::Opened};
}

PosixSerialDevice::PosixSerialDevice(SysCalls& sys, int fd, Kind kind) : m_sys(sys), m_fd(fd), m_kind(kind) {}

PosixSerialDevice::~PosixSerialDevice() {
  if (m_kind == Kind::Line) m_sys.Ioctl(m_fd, TIOCNXCL, nullptr);
  m_sys.Close(m_fd);  // also drops the flock
}

bool PosixSerialDevice::MakeRaw() {
  termios settings{};
  if (m_sys.Tcgetattr(m_fd, &settings) != 0) return false;  // not a tty
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  // No HUPCL: closing the port must not drop the lines.
  settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | HUPCL);
  // A bad byte must neither vanish (IGNPAR) nor turn into a plain 00: PARMRK
  // marks it, and a break too (no IGNBRK, no BRKINT); ISTRIP would hide FF.
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | IGNPAR | IGNBRK | BRKINT | ISTRIP);
  settings.c_iflag |= INPCK | PARMRK;
  // With O_NONBLOCK an idle read gives EAGAIN, and 0 means the device is gone.
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  return m_sys.Tcsetattr(m_fd, TCSANOW, &settings) == 0;
}

bool PosixSerialDevice::SetFormatFlags(const LineFormat& format, termios& settings) {
  tcflag_t size;
  switch (format.DataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
  }
  tcflag_t parity;
  switch (format.Parity) {
    case ParityNone: parity = 0; break;
    case ParityOdd: parity = PARENB | PARODD; break;
    case ParityEven: parity = PARENB; break;
    case ParityMark: parity = PARENB | PARODD | CMSPAR; break;
    case ParitySpace: parity = PARENB | CMSPAR; break;
    default: return false;
  }
  tcflag_t stop;
  switch (format.StopBits) {
    case StopOne: stop = 0; break;
    // A UART sends one and a half stop bits for CSTOPB with 5 data bits.
    case StopOneAndHalf:
    case StopTwo: stop = CSTOPB; break;
    default: return false;
  }
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
  settings.c_cflag |= size | parity | stop | CLOCAL | CREAD;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  settings.c_iflag |= INPCK;
  return true;
}

bool PosixSerialDevice::ApplyLineFormat(const LineFormat& format) {
  if (m_kind == Kind::PtyMaster) return true;
  if (format.BaudRate == 0) return false;
  termios settings{};
  if (m_sys.Tcgetattr(m_fd, &settings) != 0) return false;
  if (!SetFormatFlags(format, settings)) return false;
  // tcsetattr also fails when the driver kept part of the format (a
  // pseudo-terminal keeps 8 data bits without parity); the rest has landed
  // then, and the rate goes in all the same. The rate comes second because
  // tcsetattr knows only the classic ones.
  bool formatSet = m_sys.Tcsetattr(m_fd, TCSANOW, &settings) == 0;
  m_parityChecked.store(format.Parity != ParityNone);
  bool rateSet = SetLineRate(m_sys, m_fd, format.BaudRate);
  return formatSet && rateSet;
}

bool PosixSerialDevice::SetControlLines(bool rts, bool dtr) {
  if (m_kind == Kind::PtyMaster) return true;
  int raise = (rts ? TIOCM_RTS : 0) | (dtr ? TIOCM_DTR : 0);
  int lower = (TIOCM_RTS | TIOCM_DTR) & ~raise;
  bool ok = true;
  if (raise != 0 && m_sys.Ioctl(m_fd, TIOCMBIS, &raise) != 0) ok = false;
  if (lower != 0 && m_sys.Ioctl(m_fd, TIOCMBIC, &lower) != 0) ok = false;
  return ok;
}

size_t PosixSerialDevice::ReadRaw(uint8_t* buffer, size_t maxBytes) {
  if (maxBytes == 0) return 0;
  // EAGAIN: nothing there; EINTR: the next poll gets it; 0 or EIO: gone.
  ssize_t got = m_sys.Read(m_fd, buffer, maxBytes);
  if (got > 0) return static_cast<size_t>(got);
  // A master side reads EIO while no program has the slave open; that is
  // the virtual port waiting, not going.
  if (m_kind == Kind::Line && (got == 0 || errno == EIO || errno == ENODEV || errno == ENXIO)) m_vanished = true;
  return 0;
}

size_t PosixSerialDevice::Read(uint8_t* buffer, size_t maxBytes) {
  if (m_kind == Kind::PtyMaster) return ReadRaw(buffer, maxBytes);
  return m_decoder.Read(buffer, maxBytes, [this](uint8_t* into, size_t room) { return ReadRaw(into, room); });
}

bool PosixSerialDevice::Write(const uint8_t* data, size_t count) {
  const auto stallLimit = std::chrono::milliseconds(WriteStallLimitMs);
  size_t done = 0;
  Clock::time_point lastProgress = Clock::now();
  while (done < count) {
    ssize_t wrote = m_sys.Write(m_fd, data + done, count - done);
    if (wrote > 0) {
      done += static_cast<size_t>(wrote);
      lastProgress = Clock::now();
      continue;
    }
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    // The output buffer is full. O_NONBLOCK stays set (the reader shares the
    // open file); wait for room a slice at a time.
    auto waited = Clock::now() - lastProgress;
    if (waited >= stallLimit) return false;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(stallLimit - waited).count();
    pollfd writable{m_fd, POLLOUT, 0};
    if (m_sys.Poll(&writable, 1, static_cast<int>(std::min<long long>(left, WriteWaitSliceMs))) < 0 &&
        errno != EINTR) {
      return false;
    }
  }
  return Drain();
}

bool PosixSerialDevice::Drain() {
  int drained;
  do {
    drained = m_sys.Tcdrain(m_fd);
  } while (drained != 0 && errno == EINTR);
  return drained == 0;
}

std::optional<PosixSerialDevice::ErrorCounts> PosixSerialDevice::ReadErrorCounts() {
  serial_icounter_struct counts{};
  if (m_sys.Ioctl(m_fd, TIOCGICOUNT, &counts) != 0) return std::nullopt;  // ENOTTY on ptys
  return ErrorCounts{counts.frame, counts.parity, counts.overrun, counts.buf_overrun, counts.brk};
}

uint8_t PosixSerialDevice::TakeLineErrors() {
  uint8_t marks = m_decoder.TakeErrors();
  if ((marks & LineErrorOther) && !m_parityChecked.load()) marks = (marks & ~LineErrorOther) | LineErrorFraming;
  if (m_kind == Kind::PtyMaster) return marks;
  // Overruns never show in the stream; the driver only counts them. Where
  // it counts, its counts also tell parity from framing.
  std::optional<ErrorCounts> counts = ReadErrorCounts();
  uint8_t counted = 0;
  if (counts) {
    if (m_errorCounts) {
      const ErrorCounts& was = *m_errorCounts;
      const ErrorCounts& now = *counts;
      if (now[0] != was[0]) counted |= LineErrorFraming;
      if (now[1] != was[1]) counted |= LineErrorParity;
      if (now[2] != was[2] || now[3] != was[3]) counted |= LineErrorOverrun;
      if (now[4] != was[4]) counted |= LineErrorBreak;
    }
    m_errorCounts = counts;
  }
  // A count explains the marks it covers; a mark the counts missed stays.
  return counted != 0 ? static_cast<uint8_t>(counted | (marks & LineErrorBreak)) : marks;
}

uint8_t PosixSerialDevice::ModemLines() {
  if (m_kind == Kind::PtyMaster) return 0;
  int bits = 0;
  if (m_sys.Ioctl(m_fd, TIOCMGET, &bits) != 0) {
    if (errno == ENOTTY || errno == EINVAL) m_noModemLines.store(true);
    return 0;
  }
  uint8_t lines = 0;
  if (bits & TIOCM_CTS) lines |= ModemCTS;
  if (bits & TIOCM_DSR) lines |= ModemDSR;
  if (bits & TIOCM_CAR) lines |= ModemCD;
  return lines;
}

}  // namespace tapwise
