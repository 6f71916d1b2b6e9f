#include "core/platform/PortMap.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "support/Pty.h"
#include "support/ResultAssertions.h"

namespace tapwise {
namespace {

using Bytes = Pty::Bytes;

std::unique_ptr<SerialDevice> OpenCom(PortMap& map, uint8_t com) {
  OpenResult opened = map.Open(com);
  EXPECT_EQ(opened.Status, OpenStatus::Opened) << "COM" << int(com);
  return std::move(opened.Device);
}

// Bytes with every kind of FF sequence a PARMRK reader must not mangle.
const Bytes Awkward = {0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x41, 0xFF, 0x0A, 0x0D, 0x7F};

TEST(PortMapTest, DefaultMapCoversTtySUsbAndAcm) {
  PortMap map;
  struct Case {
    uint8_t Com;
    const char* Path;
  };
  for (Case c : {Case{1, "/dev/ttyS0"}, Case{32, "/dev/ttyS31"}, Case{33, "/dev/ttyUSB0"}, Case{64, "/dev/ttyUSB31"},
                 Case{65, "/dev/ttyACM0"}, Case{96, "/dev/ttyACM31"}, Case{97, ""}, Case{128, ""}, Case{0, ""},
                 Case{200, ""}}) {
    SCOPED_TRACE(int(c.Com));
    EXPECT_EQ(map.Describe(c.Com), c.Path);
    EXPECT_EQ(map.IsMapped(c.Com), *c.Path != '\0');
    EXPECT_FALSE(map.IsExplicit(c.Com));
  }
  EXPECT_EQ(map.Open(97).Status, OpenStatus::Absent);
  EXPECT_EQ(map.Open(0).Status, OpenStatus::Absent);
}

TEST(PortMapTest, BadOptionsAreRefusedWithAClearMessage) {
  struct Case {
    const char* Option;
    const char* Message;
  };
  const Case cases[] = {
      {"-port:0=/dev/ttyS0", "Bad option \"-port:0=/dev/ttyS0\": COM numbers run from 1 to 128"},
      {"-port:129=pty", "Bad option \"-port:129=pty\": COM numbers run from 1 to 128"},
      {"-port:99999999999999999999=pty", "Bad option \"-port:99999999999999999999=pty\": COM numbers run from 1 to 128"},
      {"-port:x=/dev/ttyS0", "Bad option \"-port:x=/dev/ttyS0\": expected -port:N=PATH or -port:N=pty"},
      {"-port:-3=/dev/ttyS0", "Bad option \"-port:-3=/dev/ttyS0\": expected -port:N=PATH or -port:N=pty"},
      {"-port:=/dev/ttyS0", "Bad option \"-port:=/dev/ttyS0\": expected -port:N=PATH or -port:N=pty"},
      {"-port:3", "Bad option \"-port:3\": expected -port:N=PATH or -port:N=pty"},
      {"-port:3=", "Bad option \"-port:3=\": expected -port:N=PATH or -port:N=pty"},
      {"-port:3=ttyUSB0", "Bad option \"-port:3=ttyUSB0\": the path must be absolute, like /dev/ttyUSB0"},
      {"-pair:1", "Bad option \"-pair:1\": expected -pair:A,B"},
      {"-pair:1,", "Bad option \"-pair:1,\": expected -pair:A,B"},
      {"-pair:1;2", "Bad option \"-pair:1;2\": expected -pair:A,B"},
      {"-pair:1,2,3", "Bad option \"-pair:1,2,3\": expected -pair:A,B"},
      {"-pair:0,2", "Bad option \"-pair:0,2\": COM numbers run from 1 to 128"},
      {"-pair:5,130", "Bad option \"-pair:5,130\": COM numbers run from 1 to 128"},
      {"-pair:7,7", "Bad option \"-pair:7,7\": a pair needs two different COM numbers"},
      {"-ports:1=/dev/ttyS0", "Bad option \"-ports:1=/dev/ttyS0\": expected -port:N=PATH, -port:N=pty or -pair:A,B"},
  };
  for (const Case& c : cases) {
    PortMap map;
    const Result applied = map.ApplyOption(c.Option);
    EXPECT_TRUE(FailedWith(applied, c.Message));
    EXPECT_EQ(applied.Code(), 2) << c.Option;
  }
}

TEST(PortMapTest, EachComNumberIsMappedByOneOptionAtMost) {
  PortMap map;
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:5=/dev/ttyAMA0")));
  ASSERT_TRUE(Succeeded(map.ApplyOption("-pair:7,8")));
  std::string pairPath = map.Describe(7);
  EXPECT_TRUE(FailedWith(map.ApplyOption("-port:5=pty"),
                         "Bad option \"-port:5=pty\": COM5 is already mapped by an earlier option"));
  EXPECT_TRUE(FailedWith(map.ApplyOption("-pair:6,8"),
                         "Bad option \"-pair:6,8\": COM8 is already mapped by an earlier option"));
  EXPECT_EQ(map.Describe(5), "/dev/ttyAMA0");
  EXPECT_EQ(map.Describe(6), "/dev/ttyS5");
  EXPECT_EQ(map.Describe(7), pairPath);
}

TEST(PortMapTest, OptionsAreReadWithoutRegardToCase) {
  PortMap map;
  EXPECT_TRUE(Succeeded(map.ApplyOption("-PORT:100=/dev/rfcomm0")));
  EXPECT_TRUE(Succeeded(map.ApplyOption("-Port:101=PTY")));
  EXPECT_TRUE(Succeeded(map.ApplyOption("-PAIR:102,103")));
  EXPECT_EQ(map.Describe(100), "/dev/rfcomm0");
  for (uint8_t com : {uint8_t{100}, uint8_t{101}, uint8_t{102}, uint8_t{103}}) {
    EXPECT_TRUE(map.IsMapped(com));
    EXPECT_TRUE(map.IsExplicit(com));
  }
  EXPECT_EQ(map.Describe(101).rfind("/dev/pts/", 0), 0u);
}

TEST(PortMapTest, PathOptionOpensThatTtyAndMissingOneIsAbsent) {
  Pty pty;
  ASSERT_TRUE(pty.Ok()) << pty.Error();
  PortMap map;
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:120=" + pty.SlavePath())));
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:121=/dev/tapwise-no-such-port")));
  std::unique_ptr<SerialDevice> device = OpenCom(map, 120);
  ASSERT_TRUE(device);
  ASSERT_TRUE(pty.WriteAll(Awkward));
  EXPECT_EQ(Pty::ReadFor(*device, Awkward.size()), Awkward);
  EXPECT_EQ(map.Open(121).Status, OpenStatus::Absent);
}

TEST(PortMapTest, VirtualPortCarriesBytesBothWaysAcrossReopening) {
  PortMap map;
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:9=pty")));
  int other = Pty::OpenPlain(map.Describe(9));  // the other program
  ASSERT_GE(other, 0);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::unique_ptr<SerialDevice> device = OpenCom(map, 9);
    ASSERT_TRUE(device);
    EXPECT_TRUE(device->ApplyLineFormat({115200, ParityEven, 7, StopTwo}));
    EXPECT_TRUE(device->SetControlLines(true, true));
    ASSERT_TRUE(device->Write(Awkward.data(), Awkward.size()));
    EXPECT_EQ(Pty::ReadFor(other, Awkward.size()), Awkward);
    ASSERT_TRUE(Pty::WriteAll(other, Awkward));
    EXPECT_EQ(Pty::ReadFor(*device, Awkward.size()), Awkward);
    EXPECT_EQ(device->ModemLines(), 0);
    EXPECT_FALSE(device->TakeErrorState());
  }
  // The other program may come and go as well.
  close(other);
  other = Pty::OpenPlain(map.Describe(9));
  ASSERT_GE(other, 0);
  std::unique_ptr<SerialDevice> device = OpenCom(map, 9);
  ASSERT_TRUE(device);
  ASSERT_TRUE(Pty::WriteAll(other, Awkward));
  EXPECT_EQ(Pty::ReadFor(*device, Awkward.size()), Awkward);
  close(other);
}

TEST(PortMapTest, PairIsANullModemCableThatSurvivesReopening) {
  PortMap map;
  ASSERT_TRUE(Succeeded(map.ApplyOption("-pair:3,4")));
  std::string slave = map.Describe(4).substr(0, map.Describe(4).find(' '));
  EXPECT_EQ(map.Describe(3), slave + " (pair with COM4)");
  EXPECT_EQ(map.Describe(4), slave + " (pair with COM3)");

  std::unique_ptr<SerialDevice> a = OpenCom(map, 3);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::unique_ptr<SerialDevice> b = OpenCom(map, 4);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(map.Open(4).Status, OpenStatus::Busy);
    b->ApplyLineFormat({256000, ParityNone, 8, StopOne});
    ASSERT_TRUE(a->Write(Awkward.data(), Awkward.size()));
    EXPECT_EQ(Pty::ReadFor(*b, Awkward.size()), Awkward);
    ASSERT_TRUE(b->Write(Awkward.data(), Awkward.size()));
    EXPECT_EQ(Pty::ReadFor(*a, Awkward.size()), Awkward);
    // Reopen the other end too in the second round.
    if (round == 0) a = OpenCom(map, 3);
  }
}

// Devices that come and go are watched; those that exist or look after
// themselves are not.
TEST(PortMapTest, OnlyUsbAcmAndExplicitPathsAreWatched) {
  PortMap map;
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:5=/dev/serial/by-id/usb-X-if00")));
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:6=pty")));
  ASSERT_TRUE(Succeeded(map.ApplyOption("-pair:7,8")));
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:9=tcp://127.0.0.1:1")));
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:10=/dev/ttyS3")));
  struct Case {
    uint8_t Com;
    const char* Watched;
  };
  for (Case c : {Case{1, ""}, Case{5, "/dev/serial/by-id/usb-X-if00"}, Case{6, ""}, Case{7, ""}, Case{8, ""},
                 Case{9, ""}, Case{10, "/dev/ttyS3"}, Case{33, "/dev/ttyUSB0"}, Case{96, "/dev/ttyACM31"},
                 Case{97, ""}}) {
    EXPECT_EQ(map.WatchPath(c.Com), c.Watched) << "COM" << int(c.Com);
  }
}

}  // namespace
}  // namespace tapwise
