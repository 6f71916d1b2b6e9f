// The program with a tap: what it prints at start, the link it keeps while
// it runs, both directions on standard output, and the refusals.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace
}  // namespace tapwise
