// The POSIX backend over real pseudo-terminals: the test holds the master
// end (the far end of the wire), the device opens the slave like a port.
#include "core/platform/PosixSerialDevice.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <numeric>

#include "core/platform/Termios2.h"
#include "support/Pty.h"

namespace tapwise {
namespace {

using Bytes = Pty::Bytes;

termios SettingsOf(int fd) {
  termios settings{};
  EXPECT_EQ(tcgetattr(fd, &settings), 0);
  return settings;
}

bool SameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag;
}

int ExclusiveFlag(int fd) {
  int exclusive = -1;
  EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
  return exclusive;
}

class PosixSerialDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_pty.Ok()) << m_pty.Error(); }

  std::unique_ptr<SerialDevice> OpenSlave() {
    OpenResult opened = PosixSerialDevice::Open(m_pty.SlavePath());
    EXPECT_EQ(opened.Status, OpenStatus::Opened);
    return std::move(opened.Device);
  }

  Pty m_pty;
};

TEST_F(PosixSerialDeviceTest, EveryRateOfTheBaudListReadsBackUnchanged) {
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  for (uint32_t rate : {110u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 14400u, 19200u, 28800u, 38400u, 56000u,
                        57600u, 115200u, 128000u, 256000u}) {
    SCOPED_TRACE(rate);
    EXPECT_TRUE(device->ApplyLineFormat({rate, ParityNone, 8, StopOne}));
    std::optional<LineRates> rates = ReadLineRates(RealSysCalls(), device->WaitHandle());
    ASSERT_TRUE(rates);
    EXPECT_EQ(rates->Output, rate);
    EXPECT_EQ(rates->Input, rate);
  }
  EXPECT_FALSE(device->ApplyLineFormat({0, ParityNone, 8, StopOne}));
}

// What the byte tests cannot show on a pseudo-terminal.
TEST_F(PosixSerialDeviceTest, OpenMarksErrorsAndLeavesHandshakeAndHangupOff) {
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  termios settings = SettingsOf(device->WaitHandle());
  EXPECT_EQ(settings.c_iflag & (INPCK | PARMRK | IGNPAR | IGNBRK | BRKINT), tcflag_t(INPCK | PARMRK));
  EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD | CRTSCTS | HUPCL), tcflag_t(CLOCAL | CREAD));
  EXPECT_EQ(settings.c_cc[VMIN], 1);
}

// A pseudo-terminal forces 8 data bits without parity, but keeps the rest.
TEST_F(PosixSerialDeviceTest, ParityKindAndStopBitsLandOnThePty) {
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  struct Case {
    uint8_t Parity;
    uint8_t StopBits;
    tcflag_t Expected;  // of PARODD | CMSPAR | CSTOPB
  };
  for (Case c : {Case{ParityNone, StopOne, 0}, Case{ParityOdd, StopTwo, PARODD | CSTOPB},
                 Case{ParityEven, StopOneAndHalf, CSTOPB}, Case{ParityMark, StopOne, PARODD | CMSPAR},
                 Case{ParitySpace, StopTwo, CMSPAR | CSTOPB}}) {
    SCOPED_TRACE(int(c.Parity));
    // The pty refuses 7 data bits (the C library reports that as a failure);
    // the rest of the format and the rate must land all the same.
    device->ApplyLineFormat({19200, c.Parity, 7, c.StopBits});
    termios settings = SettingsOf(device->WaitHandle());
    EXPECT_EQ(ReadLineRates(RealSysCalls(), device->WaitHandle())->Output, 19200u);
    EXPECT_EQ(settings.c_cflag & (PARODD | CMSPAR | CSTOPB), c.Expected);
    EXPECT_NE(settings.c_iflag & INPCK, 0u);
    EXPECT_NE(settings.c_iflag & PARMRK, 0u);
  }
}

TEST(PosixSerialDeviceFlagsTest, FormatBecomesTheDesignedFlags) {
  struct Case {
    LineFormat Format;
    tcflag_t Expected;  // of CSIZE | PARENB | PARODD | CMSPAR | CSTOPB
  };
  const Case cases[] = {
      {{9600, ParityNone, 8, StopOne}, CS8},
      {{9600, ParityOdd, 7, StopOne}, CS7 | PARENB | PARODD},
      {{9600, ParityEven, 6, StopTwo}, CS6 | PARENB | CSTOPB},
      {{9600, ParityMark, 5, StopOneAndHalf}, CS5 | PARENB | PARODD | CMSPAR | CSTOPB},
      {{9600, ParitySpace, 8, StopTwo}, CS8 | PARENB | CMSPAR | CSTOPB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Format.Parity));
    termios settings{};
    // Start from everything set, so that a flag left behind shows.
    settings.c_cflag = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL;
    settings.c_iflag = IXON | IXOFF | IXANY;
    ASSERT_TRUE(PosixSerialDevice::SetFormatFlags(c.Format, settings));
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), c.Expected);
    EXPECT_EQ(settings.c_cflag & (CRTSCTS | HUPCL), 0u);
    EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    EXPECT_EQ(settings.c_iflag, tcflag_t(INPCK));
  }
  for (LineFormat bad : {LineFormat{9600, ParityNone, 4, StopOne}, LineFormat{9600, ParityNone, 9, StopOne},
                         LineFormat{9600, 5, 8, StopOne}, LineFormat{9600, ParityNone, 8, 3}}) {
    termios settings{};
    settings.c_cflag = CS8;
    EXPECT_FALSE(PosixSerialDevice::SetFormatFlags(bad, settings));
    EXPECT_EQ(settings.c_cflag, tcflag_t(CS8));
  }
}

TEST_F(PosixSerialDeviceTest, PortHeldByAnotherProgramsFlockIsBusyAndLeftAlone) {
  int holder = Pty::OpenPlain(m_pty.SlavePath());
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  termios before = SettingsOf(holder);

  EXPECT_EQ(PosixSerialDevice::Open(m_pty.SlavePath()).Status, OpenStatus::Busy);
  EXPECT_EQ(ExclusiveFlag(holder), 0);
  EXPECT_TRUE(SameSettings(SettingsOf(holder), before));
  close(holder);
  EXPECT_EQ(PosixSerialDevice::Open(m_pty.SlavePath()).Status, OpenStatus::Opened);
}

// As root the kernel lets us open past TIOCEXCL, so the flag itself is asked.
TEST_F(PosixSerialDeviceTest, PortWithAnotherProgramsExclusiveFlagIsBusyAndLeftAlone) {
  int holder = Pty::OpenPlain(m_pty.SlavePath());
  ASSERT_GE(holder, 0);
  ASSERT_EQ(ioctl(holder, TIOCEXCL), 0);
  termios before = SettingsOf(holder);

  EXPECT_EQ(PosixSerialDevice::Open(m_pty.SlavePath()).Status, OpenStatus::Busy);
  EXPECT_EQ(ExclusiveFlag(holder), 1);
  EXPECT_TRUE(SameSettings(SettingsOf(holder), before));
  ioctl(holder, TIOCNXCL);
  close(holder);
}

TEST_F(PosixSerialDeviceTest, OpenPortIsExclusiveUntilTheDeviceIsDestroyed) {
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  EXPECT_EQ(PosixSerialDevice::Open(m_pty.SlavePath()).Status, OpenStatus::Busy);
  device.reset();

  int observer = Pty::OpenPlain(m_pty.SlavePath());
  ASSERT_GE(observer, 0);
  EXPECT_EQ(ExclusiveFlag(observer), 0);
  close(observer);
  EXPECT_TRUE(OpenSlave());
}

TEST(PosixSerialDeviceOpenTest, PathsThatAreNoPortsAreReportedNotOpened) {
  char file[] = "/tmp/tapwise-not-a-port-XXXXXX";
  int fd = mkstemp(file);
  ASSERT_GE(fd, 0);
  close(fd);
  struct Case {
    std::string Path;
    OpenStatus Expected;
  };
  for (const Case& c : {Case{"/dev/tapwise-no-such-port", OpenStatus::Absent},
                        Case{"/dev/tapwise-no-such-dir/ttyS0", OpenStatus::Absent},
                        Case{"/dev/null", OpenStatus::NotATty}, Case{file, OpenStatus::NotATty},
                        Case{"/tmp", OpenStatus::NotATty}}) {
    SCOPED_TRACE(c.Path);
    OpenResult opened = PosixSerialDevice::Open(c.Path);
    EXPECT_EQ(opened.Status, c.Expected);
    EXPECT_FALSE(opened.Device);
  }
  unlink(file);
}

TEST_F(PosixSerialDeviceTest, VanishedOtherEndReadsNothingAndRefusesWrites) {
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  ASSERT_TRUE(m_pty.WriteAll({1, 2, 3}));
  EXPECT_EQ(Pty::ReadFor(*device, 3), Bytes({1, 2, 3}));
  m_pty.CloseMaster();

  uint8_t buffer[64];
  for (int i = 0; i < 3; ++i) EXPECT_EQ(device->Read(buffer, sizeof buffer), 0u);
  uint8_t byte = 0x55;
  EXPECT_FALSE(device->Write(&byte, 1));
  EXPECT_FALSE(device->TakeErrorState());
  EXPECT_EQ(device->ModemLines(), 0);
  // The receive thread sleeps on this; it must wake up rather than hang.
  pollfd hungUp{device->WaitHandle(), POLLIN, 0};
  EXPECT_EQ(poll(&hungUp, 1, 1000), 1);
}

// Nobody reads the far end: the buffer fills and Write must give up, not hang.
TEST_F(PosixSerialDeviceTest, WriteGivesUpWhenTheReaderStalls) {
  std::unique_ptr<SerialDevice> device = OpenSlave();
  ASSERT_TRUE(device);
  Bytes flood(1 << 20, 0x5A);
  EXPECT_FALSE(device->Write(flood.data(), flood.size()));
  // What did get through is intact.
  Bytes arrived = m_pty.ReadFor(flood.size(), std::chrono::milliseconds(500));
  EXPECT_FALSE(arrived.empty());
  EXPECT_EQ(arrived, Bytes(arrived.size(), 0x5A));
}

}  // namespace
}  // namespace tapwise
