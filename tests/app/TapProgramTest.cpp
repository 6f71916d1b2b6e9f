// The program with a tap: what it prints at start, the link it keeps while
// it runs, both directions on standard output, and the refusals.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

bool IsLink(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

TEST(TapProgram, RunsBetweenAnApplicationAndItsDeviceAndRemovesItsLinkAtExit) {
  Pty device;
  ASSERT_TRUE(device.Ok());
  TempDir folder;
  const std::string link = folder / "meter";
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-tap:1,2=" + device.SlavePath() + ",link=" + link});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains(", linked from " + link + "\n"))) << tapwise.Stderr();
  EXPECT_NE(tapwise.Stderr().find("COM1 " + device.SlavePath() + " (tapped for COM2)\n"), std::string::npos);
  EXPECT_NE(tapwise.Stderr().find(" (tap of COM1 " + device.SlavePath() + ")"), std::string::npos)
      << tapwise.Stderr();
  ASSERT_TRUE(IsLink(link));

  const int app = Pty::OpenPlain(link);
  ASSERT_GE(app, 0);
  usleep(100'000);
  ASSERT_TRUE(Pty::WriteAll(app, {'R', '?'}));
  EXPECT_EQ(device.ReadFor(2), (Pty::Bytes{'R', '?'}));
  ASSERT_TRUE(device.WriteAll({'4', '2'}));
  EXPECT_EQ(Pty::ReadFor(app, 2), (Pty::Bytes{'4', '2'}));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(2))) << tapwise.Stdout();
  EXPECT_EQ(tapwise.Stdout().substr(0, 5), "COM2 ");
  EXPECT_EQ(tapwise.Stdout().substr(82, 5), "COM1 ");
  close(app);

  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
  EXPECT_FALSE(IsLink(link));
}

TEST(TapProgram, ListsBothHalvesAndNeverReplacesAFileWithItsLink) {
  Pty device;
  ChildProcess list({TAPWISE_PROGRAM, "-list-ports", "-tap:120,121=" + device.SlavePath()});
  EXPECT_EQ(list.Wait(), 0);
  EXPECT_NE(list.Stdout().find("COM120  " + device.SlavePath() + " (tapped for COM121)"), std::string::npos)
      << list.Stdout();
  EXPECT_NE(list.Stdout().find(" (tap of COM120 " + device.SlavePath() + ")"), std::string::npos) << list.Stdout();

  TempDir folder;
  const std::string file = folder / "meter";
  TempDir::WriteFile(file, "keep me");
  ChildProcess refused({TAPWISE_PROGRAM, "-headless", "-tap:1,2=" + device.SlavePath() + ",link=" + file});
  EXPECT_EQ(refused.Wait(), 2);
  EXPECT_NE(refused.Stderr().find(file + " exists and is not a symbolic link; it is left as it is"),
            std::string::npos)
      << refused.Stderr();
  EXPECT_EQ(TempDir::ReadFile(file), "keep me");
}

// Where the link at path points; "" when it is no link.
std::string LinkTarget(const std::string& path) {
  char target[256] = {};
  return readlink(path.c_str(), target, sizeof target - 1) > 0 ? std::string(target) : std::string();
}

TEST(TapProgram, LinksItDoesNotOwnAreLeftAsTheyAre) {
  Pty device;
  ASSERT_TRUE(device.Ok());
  TempDir folder;
  const std::string meter = folder / "ttyMETER";  // the user's own name for the device
  ASSERT_EQ(symlink(device.SlavePath().c_str(), meter.c_str()), 0);
  const std::string notes = folder / "notes";
  ASSERT_EQ(symlink("notes.txt", notes.c_str()), 0);
  const std::string dead = folder / "dead";  // the link of a run that was killed
  ASSERT_EQ(symlink("/dev/pts/999999", dead.c_str()), 0);
  const std::string fresh = folder / "fresh";

  // A monitor that runs, with its link.
  const std::string live = folder / "live";
  ChildProcess running({TAPWISE_PROGRAM, "-headless", "-port:1=pty", "-tap:2,3=pty,link=" + live});
  ASSERT_TRUE(running.ReadStderrUntil(Contains(", linked from " + live + "\n"))) << running.Stderr();
  const std::string livePty = LinkTarget(live);
  ASSERT_EQ(livePty.rfind("/dev/pts/", 0), 0u) << livePty;

  struct Case {
    const char* What;
    std::vector<std::string> Args;
    int Status;
    std::string Says;
  };
  const Case cases[] = {
      {"the device's own link", {"-headless", "-port:1=pty", "-tap:2,3=" + meter + ",link=" + meter}, 2,
       "the link " + meter + " is the device " + meter + " itself"},
      {"a link that leads to the device", {"-headless", "-port:1=pty", "-tap:2,3=" + device.SlavePath() + ",link=" + meter}, 2,
       "the link " + meter + " is the device " + device.SlavePath() + " itself"},
      {"a running monitor's link", {"-headless", "-port:1=pty", "-tap:4,5=pty,link=" + live}, 2,
       live + " leads to " + livePty + ", which is in use by pid " + std::to_string(running.Pid()) + " (tapwise)"},
      {"one link for two taps", {"-headless", "-port:1=pty", "-tap:4,5=pty,link=" + fresh, "-tap:6,7=pty,link=" + fresh}, 2,
       fresh + " is already the link of COM5"},
      {"a link to a file", {"-headless", "-port:1=pty", "-tap:4,5=pty,link=" + notes}, 2,
       notes + " is a symbolic link to notes.txt, not to a pseudo-terminal; it is left as it is"},
      {"a refused option after the tap", {"-headless", "-port:1=pty", "-tap:4,5=pty,link=" + dead, "-port:5=pty"}, 2,
       "COM5 is already mapped by an earlier option"},
      {"a refused device in the tap", {"-headless", "-port:1=pty", "-tap:4,5=ttyUSB0,link=" + dead}, 2,
       "the path must be absolute"},
      {"listing the ports", {"-list-ports", "-port:1=pty", "-tap:4,5=pty,link=" + dead}, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    std::vector<std::string> argv{TAPWISE_PROGRAM};
    argv.insert(argv.end(), c.Args.begin(), c.Args.end());
    ChildProcess tapwise(argv);
    EXPECT_EQ(tapwise.Wait(), c.Status) << tapwise.Stderr();
    EXPECT_NE(tapwise.Stderr().find(c.Says), std::string::npos) << tapwise.Stderr();
    // Nothing on disk has changed.
    EXPECT_EQ(LinkTarget(meter), device.SlavePath());
    EXPECT_EQ(LinkTarget(notes), "notes.txt");
    EXPECT_EQ(LinkTarget(dead), "/dev/pts/999999");
    EXPECT_EQ(LinkTarget(live), livePty);
    EXPECT_FALSE(IsLink(fresh));
  }

  running.Signal(SIGTERM);
  EXPECT_EQ(running.Wait(), 0) << running.Stderr();
  EXPECT_FALSE(IsLink(live));
}

}  // namespace
}  // namespace tapwise
