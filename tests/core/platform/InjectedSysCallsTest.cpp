// What a pseudo-terminal cannot show, made to happen through the system-call
// seam: interrupted and short writes, a full buffer, I/O errors, line error
// counters, modem lines, lock files, open errors. Everything not scripted
// goes to the real pseudo-terminal underneath.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <optional>

#include "core/platform/PosixSerialDevice.h"
#include "support/Pty.h"

namespace tapwise {
namespace {

using Bytes = Pty::Bytes;

class ScriptedSysCalls : public SysCalls {
 public:
  // One step of a write: let at most Cap bytes through, or fail with Errno.
  struct WriteStep {
    size_t Cap = SIZE_MAX;
    int Errno = 0;
  };
  std::deque<WriteStep> WriteSteps;
  std::vector<short> PollEvents;

  std::deque<Bytes> Reads;  // when set, reads come from here instead
  bool ScriptReads = false;

  std::optional<serial_icounter_struct> Counters;  // none: ENOTTY
  std::optional<int> ModemBits;                    // none: ENOTTY
  std::optional<int> UartType;                     // none: ENOTTY
  std::vector<unsigned long> Requests;

  std::map<std::string, std::string> Redirects;  // path opened -> path really opened
  std::optional<int> OpenErrno;

  int Open(const char* path, int flags) override {
    if (OpenErrno) {
      errno = *OpenErrno;
      return -1;
    }
    auto redirect = Redirects.find(path);
    if (redirect != Redirects.end()) return SysCalls::Open(redirect->second.c_str(), flags);
    return SysCalls::Open(path, flags);
  }

  ssize_t Write(int fd, const void* data, size_t count) override {
    if (WriteSteps.empty()) return SysCalls::Write(fd, data, count);
    WriteStep step = WriteSteps.front();
    WriteSteps.pop_front();
    if (step.Errno != 0) {
      errno = step.Errno;
      return -1;
    }
    return SysCalls::Write(fd, data, std::min(count, step.Cap));
  }

  int Poll(pollfd* fds, unsigned long count, int timeoutMs) override {
    PollEvents.push_back(fds[0].events);
    return SysCalls::Poll(fds, count, timeoutMs);
  }

  ssize_t Read(int fd, void* buffer, size_t count) override {
    if (!ScriptReads) return SysCalls::Read(fd, buffer, count);
    if (Reads.empty()) {
      errno = EAGAIN;
      return -1;
    }
    Bytes& next = Reads.front();
    size_t n = std::min(count, next.size());
    std::memcpy(buffer, next.data(), n);
    next.erase(next.begin(), next.begin() + static_cast<long>(n));
    if (next.empty()) Reads.pop_front();
    return static_cast<ssize_t>(n);
  }

  int Ioctl(int fd, unsigned long request, void* arg) override {
    Requests.push_back(request);
    switch (request) {
      case TIOCGICOUNT:
        if (!Counters) return NotTty();
        *static_cast<serial_icounter_struct*>(arg) = *Counters;
        return 0;
      case TIOCMGET:
        if (!ModemBits) return NotTty();
        *static_cast<int*>(arg) = *ModemBits;
        return 0;
      case TIOCGSERIAL:
        if (!UartType) return NotTty();
        static_cast<serial_struct*>(arg)->type = *UartType;
        return 0;
      default:
        return SysCalls::Ioctl(fd, request, arg);
    }
  }

  bool Asked(unsigned long request) const {
    return std::find(Requests.begin(), Requests.end(), request) != Requests.end();
  }

 private:
  static int NotTty() {
    errno = ENOTTY;
    return -1;
  }
};

class InjectedSysCallsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_pty.Ok()) << m_pty.Error(); }

  std::unique_ptr<SerialDevice> OpenSlave(const std::string& path = "") {
    OpenResult opened = PosixSerialDevice::Open(path.empty() ? m_pty.SlavePath() : path, m_sys);
    EXPECT_EQ(opened.Status, OpenStatus::Opened);
    return std::move(opened.Device);
  }

  Pty m_pty;
  ScriptedSysCalls m_sys;
};

TEST_F(InjectedSysCallsTest, WriteCompletesThroughInterruptsFullBuffersAndShortWrites) {
  using Step = ScriptedSysCalls::WriteStep;
  struct Case {
    const char* Name;
    std::vector<Step> Steps;
    size_t Polls;
  };
  const Case cases[] = {
      {"interrupted", {Step{0, EINTR}, Step{0, EINTR}}, 0},
      {"buffer full", {Step{0, EAGAIN}}, 1},
      {"short writes", {Step{3, 0}, Step{1, 0}, Step{0, EINTR}, Step{5, 0}}, 0},
      {"everything", {Step{2, 0}, Step{0, EAGAIN}, Step{0, EINTR}, Step{1, 0}, Step{0, EAGAIN}}, 2},
  };
  Bytes message = {0x10, 0x11, 0xFF, 0x00, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B};
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    m_sys.WriteSteps.assign(c.Steps.begin(), c.Steps.end());
    m_sys.PollEvents.clear();
    EXPECT_TRUE(device->Write(message.data(), message.size()));
    EXPECT_TRUE(m_sys.WriteSteps.empty());
    EXPECT_EQ(m_sys.PollEvents, std::vector<short>(c.Polls, POLLOUT));
    EXPECT_EQ(m_pty.ReadFor(message.size()), message);
  }
}

TEST_F(InjectedSysCallsTest, WriteFailsOnAHardError) {
  using Step = ScriptedSysCalls::WriteStep;
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  for (int error : {EIO, EPIPE, EBADF}) {
    SCOPED_TRACE(error);
    m_sys.WriteSteps = {Step{2, 0}, Step{0, error}};
    Bytes message(8, 0x33);
    EXPECT_FALSE(device->Write(message.data(), message.size()));
    EXPECT_EQ(m_pty.ReadFor(8, std::chrono::milliseconds(200)), Bytes(2, 0x33));
  }
}

TEST_F(InjectedSysCallsTest, ErrorStateComesFromMarksAndFromTheDriverCounters) {
  m_sys.Counters = serial_icounter_struct{};
  m_sys.Counters->overrun = 7;  // before we opened: not ours
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  m_sys.ScriptReads = true;
  EXPECT_FALSE(device->TakeErrorState());

  // A mark cut across two reads.
  m_sys.Reads = {{0x41, 0xFF}, {0x00, 0x42}};
  uint8_t buffer[16];
  EXPECT_EQ(device->Read(buffer, sizeof buffer), 1u);
  EXPECT_FALSE(device->TakeErrorState());
  ASSERT_EQ(device->Read(buffer, sizeof buffer), 1u);
  EXPECT_EQ(buffer[0], 0x42);
  EXPECT_TRUE(device->TakeErrorState());
  EXPECT_FALSE(device->TakeErrorState());

  for (int serial_icounter_struct::*counter :
       {&serial_icounter_struct::frame, &serial_icounter_struct::parity, &serial_icounter_struct::overrun,
        &serial_icounter_struct::buf_overrun, &serial_icounter_struct::brk}) {
    ++(*m_sys.Counters.*counter);
    EXPECT_TRUE(device->TakeErrorState());
    EXPECT_FALSE(device->TakeErrorState());
  }
  // Counters that are not line errors do not count.
  m_sys.Counters->rx += 100;
  m_sys.Counters->cts += 1;
  EXPECT_FALSE(device->TakeErrorState());
  m_sys.Counters.reset();
  EXPECT_FALSE(device->TakeErrorState());
}

TEST_F(InjectedSysCallsTest, LineErrorKindsComeFromTheDriverCountersOrElseFromTheMarks) {
  m_sys.Counters = serial_icounter_struct{};
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  m_sys.ScriptReads = true;
  struct Case {
    int serial_icounter_struct::*Counter;
    uint8_t Kind;
  };
  const Case cases[] = {
      {&serial_icounter_struct::frame, LineErrorFraming},   {&serial_icounter_struct::parity, LineErrorParity},
      {&serial_icounter_struct::overrun, LineErrorOverrun}, {&serial_icounter_struct::buf_overrun, LineErrorOverrun},
      {&serial_icounter_struct::brk, LineErrorBreak},
  };
  for (const Case& c : cases) {
    ++(*m_sys.Counters.*c.Counter);
    EXPECT_EQ(device->TakeLineErrors(), c.Kind);
    EXPECT_EQ(device->TakeLineErrors(), 0);
  }
  // The counters say what a marked byte had.
  uint8_t buffer[16];
  m_sys.Reads = {{0xFF, 0x00, 0x41}};
  ASSERT_EQ(device->Read(buffer, sizeof buffer), 1u);
  ++m_sys.Counters->parity;
  EXPECT_EQ(device->TakeLineErrors(), LineErrorParity);

  // Without counters the mark alone: a framing error where no parity is
  // checked, a break, or an error of either kind where parity is checked.
  m_sys.Counters.reset();
  // (A pseudo-terminal keeps no parity: what counts is the format asked for.)
  (void)device->ApplyLineFormat({9600, ParityNone, 8, StopOne});
  m_sys.Reads = {{0xFF, 0x00, 0x41}};
  ASSERT_EQ(device->Read(buffer, sizeof buffer), 1u);
  EXPECT_EQ(device->TakeLineErrors(), LineErrorFraming);
  m_sys.Reads = {{0xFF, 0x00, 0x00}};
  ASSERT_EQ(device->Read(buffer, sizeof buffer), 1u);
  EXPECT_EQ(device->TakeLineErrors(), LineErrorBreak);
  (void)device->ApplyLineFormat({9600, ParityEven, 7, StopOne});
  m_sys.Reads = {{0xFF, 0x00, 0x41}};
  ASSERT_EQ(device->Read(buffer, sizeof buffer), 1u);
  EXPECT_EQ(device->TakeLineErrors(), LineErrorOther);
}

TEST_F(InjectedSysCallsTest, ModemLinesReportCtsDsrAndCdOnly) {
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  struct Case {
    int Bits;
    uint8_t Expected;
  };
  for (Case c : {Case{0, 0}, Case{TIOCM_CTS, ModemCTS}, Case{TIOCM_DSR | TIOCM_RNG, ModemDSR},
                 Case{TIOCM_CAR | TIOCM_RTS | TIOCM_DTR, ModemCD},
                 Case{TIOCM_CTS | TIOCM_DSR | TIOCM_CAR, ModemCTS | ModemDSR | ModemCD}}) {
    m_sys.ModemBits = c.Bits;
    EXPECT_EQ(device->ModemLines(), c.Expected);
  }
  m_sys.ModemBits.reset();
  EXPECT_EQ(device->ModemLines(), 0);
}

// Another program holds the port: nothing at all may change on it.
TEST_F(InjectedSysCallsTest, BusyPortIsOnlyLookedAt) {
  int holder = Pty::OpenPlain(m_pty.SlavePath());
  ASSERT_GE(holder, 0);
  ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
  EXPECT_EQ(PosixSerialDevice::Open(m_pty.SlavePath(), m_sys).Status, OpenStatus::Busy);
  for (unsigned long request : {TIOCMBIC, TIOCMBIS, TIOCEXCL, TIOCNXCL, TCSETS, TCSETSW, TCSETSF, TCFLSH}) {
    EXPECT_FALSE(m_sys.Asked(request)) << std::hex << request;
  }
  close(holder);
}

TEST_F(InjectedSysCallsTest, APortAnotherProgramHasOpenWithoutALockIsOnlyLookedAt) {
  dev_t asked = 0;
  const auto openedElsewhere = [&asked](dev_t device) {
    asked = device;
    return true;
  };
  EXPECT_EQ(PosixSerialDevice::Open(m_pty.SlavePath(), m_sys, openedElsewhere).Status, OpenStatus::Busy);
  struct stat node {};
  ASSERT_EQ(stat(m_pty.SlavePath().c_str(), &node), 0);
  EXPECT_EQ(asked, node.st_rdev);
  for (unsigned long request : {TIOCMBIC, TIOCMBIS, TIOCEXCL, TIOCNXCL, TCSETS, TCSETSW, TCSETSF, TCFLSH}) {
    EXPECT_FALSE(m_sys.Asked(request)) << std::hex << request;
  }
  // Nobody else: the port is ours.
  EXPECT_EQ(PosixSerialDevice::Open(m_pty.SlavePath(), m_sys, [](dev_t) { return false; }).Status,
            OpenStatus::Opened);
}

TEST_F(InjectedSysCallsTest, SerialPortWithoutAUartIsAbsent) {
  m_sys.Redirects["/dev/ttyS7"] = m_pty.SlavePath();
  m_sys.UartType = PORT_UNKNOWN;
  EXPECT_EQ(PosixSerialDevice::Open("/dev/ttyS7", m_sys).Status, OpenStatus::Absent);
  EXPECT_FALSE(m_sys.Asked(TIOCEXCL));
  m_sys.UartType = PORT_16550A;
  EXPECT_TRUE(OpenSlave("/dev/ttyS7"));
}

TEST_F(InjectedSysCallsTest, OpenErrorsBecomeStatuses) {
  struct Case {
    int Errno;
    OpenStatus Expected;
  };
  for (Case c : {Case{EACCES, OpenStatus::NotPermitted}, Case{EPERM, OpenStatus::NotPermitted},
                 Case{EBUSY, OpenStatus::Busy}, Case{ENOENT, OpenStatus::Absent}, Case{ENXIO, OpenStatus::Absent},
                 Case{ENODEV, OpenStatus::Absent}, Case{EMFILE, OpenStatus::NoDescriptors},
                 Case{ENFILE, OpenStatus::NoDescriptors}, Case{EIO, OpenStatus::Failed}}) {
    SCOPED_TRACE(c.Errno);
    m_sys.OpenErrno = c.Errno;
    EXPECT_EQ(PosixSerialDevice::Open("/dev/ttyUSB0", m_sys).Status, c.Expected);
  }
}

// A process that lives until the test ends.
class LiveProcess {
 public:
  LiveProcess() : m_pid(fork()) {
    if (m_pid == 0) {
      pause();
      _exit(0);
    }
  }
  ~LiveProcess() {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid;
};

pid_t DeadPid() {
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

TEST_F(InjectedSysCallsTest, LockFileOfALiveProcessMakesThePortBusy) {
  char lockFile[] = "/tmp/tapwise-lock-XXXXXX";
  int fd = mkstemp(lockFile);
  ASSERT_GE(fd, 0);
  close(fd);
  std::string name = m_pty.SlavePath().substr(m_pty.SlavePath().rfind('/') + 1);
  m_sys.Redirects["/run/lock/LCK.." + name] = lockFile;

  auto binary = [](int32_t pid) { return std::string(reinterpret_cast<const char*>(&pid), sizeof pid); };
  auto ascii = [](pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return std::string(text);
  };
  LiveProcess holder;
  ASSERT_GT(holder.Pid(), 0);
  struct Case {
    const char* Name;
    std::string Content;
    OpenStatus Expected;
  };
  const Case cases[] = {
      {"ascii, live", ascii(holder.Pid()), OpenStatus::Busy},
      {"ascii without padding, live", std::to_string(holder.Pid()), OpenStatus::Busy},
      {"binary, live", binary(holder.Pid()), OpenStatus::Busy},
      {"ascii, stale", ascii(DeadPid()), OpenStatus::Opened},
      {"binary, stale", binary(DeadPid()), OpenStatus::Opened},
      {"our own", ascii(getpid()), OpenStatus::Opened},
      {"garbage", "not a pid\n", OpenStatus::Opened},
      {"empty", "", OpenStatus::Opened},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    std::ofstream(lockFile, std::ios::binary | std::ios::trunc) << c.Content;
    OpenResult opened = PosixSerialDevice::Open(m_pty.SlavePath(), m_sys);
    EXPECT_EQ(opened.Status, c.Expected);
  }
  unlink(lockFile);
}

}  // namespace
}  // namespace tapwise
