// The -tap: option in the port map: its forms, what it describes, and the
// link it makes for the application.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "core/platform/PortMap.h"
#include "support/Pty.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

std::string OwnCommandName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

bool IsLink(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

TEST(TapOptionTest, BadFormsAreRefusedAndLeaveTheMapAsItWas) {
  struct Case {
    const char* Option;
    const char* Why;
  };
  const Case cases[] = {
      {"-tap:1=/dev/ttyUSB0", "expected -tap:A,B=PATH or -tap:A,B=PATH,link=LINK"},
      {"-tap:1,2", "expected -tap:A,B=PATH or -tap:A,B=PATH,link=LINK"},
      {"-tap:1,x=/dev/ttyUSB0", "expected -tap:A,B=PATH or -tap:A,B=PATH,link=LINK"},
      {"-tap:1,2=", "expected -tap:A,B=PATH or -tap:A,B=PATH,link=LINK"},
      {"-tap:1,129=/dev/ttyUSB0", "COM numbers run from 1 to 128"},
      {"-tap:3,3=/dev/ttyUSB0", "a tap needs two different COM numbers"},
      {"-tap:1,2=ttyUSB0", "the path must be absolute, like /dev/ttyUSB0"},
      {"-tap:1,2=/dev/ttyUSB0,link=here", "the link must be an absolute path"},
      {"-tap:1,2=/dev/ttyUSB0,link=", "the link must be an absolute path"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Option);
    PortMap map;
    EXPECT_TRUE(FailedWith(map.ApplyOption(c.Option), "Bad option \"" + std::string(c.Option) + "\": " + c.Why));
    EXPECT_EQ(map.ApplyOption(c.Option).Code(), 2);
    EXPECT_TRUE(map.Taps().empty());
    EXPECT_EQ(map.Describe(1), "/dev/ttyS0");
    EXPECT_EQ(map.Describe(2), "/dev/ttyS1");
  }
  // A COM number another option took cannot be either half.
  PortMap map;
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:5=pty")));
  EXPECT_TRUE(FailedWith(map.ApplyOption("-tap:5,6=/dev/ttyUSB0"),
                         "Bad option \"-tap:5,6=/dev/ttyUSB0\": COM5 is already mapped by an earlier option"));
  EXPECT_TRUE(FailedWith(map.ApplyOption("-tap:6,5=/dev/ttyUSB0"),
                         "Bad option \"-tap:6,5=/dev/ttyUSB0\": COM5 is already mapped by an earlier option"));
  EXPECT_EQ(map.Describe(6), "/dev/ttyS5");
}

TEST(TapOptionTest, BothHalvesDescribeTheTapAndTheApplicationSideOpens) {
  Pty device;
  ASSERT_TRUE(device.Ok());
  PortMap map;
  ASSERT_TRUE(Succeeded(map.ApplyOption("-TAP:3,4=" + device.SlavePath())));
  ASSERT_TRUE(Succeeded(map.ApplyOption("-tap:7,8=pty")));
  const std::vector<PortMap::TapEnds> taps = map.Taps();
  ASSERT_EQ(taps.size(), 2u);
  EXPECT_EQ(taps[0].Device, 3);
  EXPECT_EQ(taps[0].App, 4);
  EXPECT_GE(taps[0].AppMasterFd, 0);
  EXPECT_EQ(map.Describe(3), device.SlavePath() + " (tapped for COM4)");
  EXPECT_EQ(map.Describe(4), taps[0].AppPath + " (tap of COM3 " + device.SlavePath() + ")");
  EXPECT_TRUE(map.IsExplicit(3) && map.IsExplicit(4));
  // A virtual device: the program holds its master, another program its slave.
  EXPECT_EQ(map.Describe(8).rfind(taps[1].AppPath + " (tap of COM7 /dev/pts/", 0), 0u) << map.Describe(8);
  for (int com : {3, 4, 7, 8}) EXPECT_EQ(map.Open(static_cast<uint8_t>(com)).Status, OpenStatus::Opened) << com;
  // Nothing another program could hold on the application's side but the
  // slave the application itself opens.
  EXPECT_EQ(map.DevicePath(4), "");
}

TEST(TapOptionTest, TheLinkIsMadeOnlyWhenAskedAndLastsAsLongAsTheMap) {
  Pty device;
  TempDir folder;
  const std::string link = folder / "meter";
  std::string appPath;
  {
    PortMap map;
    ASSERT_TRUE(Succeeded(map.ApplyOption("-tap:1,2=" + device.SlavePath() + ",link=" + link)));
    // Applying an option touches nothing on disk.
    EXPECT_FALSE(IsLink(link));
    ASSERT_TRUE(Succeeded(map.MakeLinks()));
    appPath = map.Taps().at(0).AppPath;
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(target, appPath);
    EXPECT_EQ(map.Describe(2), appPath + " (tap of COM1 " + device.SlavePath() + "), linked from " + link);
  }
  EXPECT_FALSE(IsLink(link));

  // A link left by a run that was killed leads to a pseudo-terminal that has
  // gone with it: it is replaced.
  ASSERT_EQ(symlink("/dev/pts/999999", link.c_str()), 0);
  {
    PortMap map;
    ASSERT_TRUE(Succeeded(map.ApplyOption("-tap:1,2=" + device.SlavePath() + ",link=" + link)));
    ASSERT_TRUE(Succeeded(map.MakeLinks()));
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(target, map.Taps().at(0).AppPath);
  }
  EXPECT_FALSE(IsLink(link));
}

TEST(TapOptionTest, WhatIsAtTheLinkPathAndIsNotADeadRunsLinkIsLeftAlone) {
  Pty device;
  ASSERT_TRUE(device.Ok());
  TempDir folder;
  const std::string file = folder / "meter";
  TempDir::WriteFile(file, "precious");
  const std::string toNotes = folder / "notes-link";
  ASSERT_EQ(symlink("notes.txt", toNotes.c_str()), 0);
  const std::string toDevice = folder / "ttyMETER";
  ASSERT_EQ(symlink(device.SlavePath().c_str(), toDevice.c_str()), 0);
  // A link a running monitor made: it leads to a pseudo-terminal that monitor holds.
  PortMap running;
  const std::string live = folder / "live";
  ASSERT_TRUE(Succeeded(running.ApplyOption("-tap:1,2=pty,link=" + live)));
  ASSERT_TRUE(Succeeded(running.MakeLinks()));
  const std::string livePty = running.Taps().at(0).AppPath;

  struct Case {
    std::string Device;
    std::string Link;
    std::string Why;
  };
  const Case cases[] = {
      {device.SlavePath(), file, file + " exists and is not a symbolic link; it is left as it is"},
      {device.SlavePath(), toNotes, toNotes + " is a symbolic link to notes.txt, not to a pseudo-terminal; it is left as it is"},
      {toDevice, toDevice, "the link " + toDevice + " is the device " + toDevice + " itself; give the link a name of its own"},
      {toDevice, folder.Path() + "/./ttyMETER",
       "the link " + folder.Path() + "/./ttyMETER is the device " + toDevice + " itself; give the link a name of its own"},
      {device.SlavePath(), toDevice,
       "the link " + toDevice + " is the device " + device.SlavePath() + " itself; give the link a name of its own"},
      {device.SlavePath(), live,
       live + " leads to " + livePty + ", which is in use by pid " + std::to_string(getpid()) + " (" +
           OwnCommandName() + "); it is left as it is"},
  };
  for (const Case& c : cases) {
    const std::string option = "-tap:3,4=" + c.Device + ",link=" + c.Link;
    SCOPED_TRACE(option);
    PortMap map;
    const Result refused = map.ApplyOption(option);
    EXPECT_TRUE(FailedWith(refused, "Cannot apply \"" + option + "\": " + c.Why));
    EXPECT_EQ(refused.Code(), 2);
    EXPECT_TRUE(map.Taps().empty());
    EXPECT_EQ(map.Describe(3), "/dev/ttyS2");
  }
  EXPECT_EQ(TempDir::ReadFile(file), "precious");
  char target[256] = {};
  ASSERT_GT(readlink(toNotes.c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "notes.txt");
  char deviceTarget[256] = {};
  ASSERT_GT(readlink(toDevice.c_str(), deviceTarget, sizeof deviceTarget - 1), 0);
  EXPECT_EQ(deviceTarget, device.SlavePath());
  char liveTarget[256] = {};
  ASSERT_GT(readlink(live.c_str(), liveTarget, sizeof liveTarget - 1), 0);
  EXPECT_EQ(liveTarget, livePty);
}

TEST(TapOptionTest, TwoTapsCannotShareALinkAndAFailedMakeLeavesNoneBehind) {
  TempDir folder;
  const std::string link = folder / "meter";
  PortMap map;
  ASSERT_TRUE(Succeeded(map.ApplyOption("-tap:1,2=pty,link=" + link)));
  const std::string again = "-tap:3,4=pty,link=" + folder.Path() + "//meter";
  EXPECT_TRUE(FailedWith(map.ApplyOption(again), "Bad option \"" + again + "\": " + folder.Path() +
                                                     "//meter is already the link of COM2"));

  // Something appears at a link's path between the options and the links:
  // the links made before it go again.
  const std::string second = folder / "second";
  ASSERT_TRUE(Succeeded(map.ApplyOption("-tap:5,6=pty,link=" + second)));
  TempDir::WriteFile(second, "mine");
  EXPECT_FALSE(Succeeded(map.MakeLinks()));
  EXPECT_FALSE(IsLink(link));
  EXPECT_EQ(TempDir::ReadFile(second), "mine");
}

}  // namespace
}  // namespace tapwise
