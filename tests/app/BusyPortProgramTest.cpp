// A port that another program has open, with no lock at all, is left alone
// and reported; -force: takes it anyway; the program's own pseudo-terminals
// (pairs, taps, virtual ports) are never "held by another".

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "core/platform/PortHolder.h"
#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/Pty.h"

namespace tapwise {
namespace {

// A second program that opens the port plainly (read and write, no lock, no
// exclusive flag), as a serial library's default or a shell redirection does.
class PlainOpener {
 public:
  explicit PlainOpener(const std::string& path) : m_child({"/bin/sh", "-c", "exec sleep 60 <>" + path}) {}

  // Waits until the program has the port open under its own name.
  bool Holding(const std::string& path) {
    for (int i = 0; i < 200; ++i) {
      const PortHolder holder = FindPortHolder(path);
      if (holder.Pid == m_child.Pid() && holder.Name == "sleep") return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  pid_t Pid() const { return m_child.Pid(); }

 private:
  ChildProcess m_child;
};

TEST(BusyPortProgram, APortOpenedPlainlyByAnotherProgramIsLeftAloneUnlessForced) {
  Pty device;
  ASSERT_TRUE(device.Ok());
  PlainOpener other(device.SlavePath());
  ASSERT_TRUE(other.Holding(device.SlavePath()));
  const std::string busy =
      "COM5 " + device.SlavePath() + ": busy, held by sleep, pid " + std::to_string(other.Pid()) + "\n";

  ChildProcess left({TAPWISE_PROGRAM, "-headless", "-port:1=pty", "-port:5=" + device.SlavePath()});
  ASSERT_TRUE(left.ReadStderrUntil(Contains(busy))) << left.Stderr();
  EXPECT_EQ(left.Stderr().find("COM5 " + device.SlavePath() + "\n"), std::string::npos) << left.Stderr();
  left.Signal(SIGTERM);
  EXPECT_EQ(left.Wait(), 0) << left.Stderr();

  ChildProcess list({TAPWISE_PROGRAM, "-list-ports", "-port:1=pty", "-port:5=" + device.SlavePath()});
  EXPECT_EQ(list.Wait(), 0);
  const size_t listed = list.Stdout().find("COM5    " + device.SlavePath() + " ");
  ASSERT_NE(listed, std::string::npos) << list.Stdout();
  const std::string line = list.Stdout().substr(listed, list.Stdout().find('\n', listed) - listed);
  EXPECT_EQ(line.substr(line.size() - 5), " busy") << list.Stdout();

  // The user means it: the port opens, and its bytes are shown.
  ChildProcess forced({TAPWISE_PROGRAM, "-headless", "-port:1=pty", "-port:5=" + device.SlavePath(), "-FORCE:5"});
  ASSERT_TRUE(forced.ReadStderrUntil(Contains("COM5 " + device.SlavePath() + "\n"))) << forced.Stderr();
  EXPECT_EQ(forced.Stderr().find("busy"), std::string::npos) << forced.Stderr();
  ASSERT_TRUE(device.WriteAll({'O', 'K'}));
  ASSERT_TRUE(forced.ReadStdoutUntil(Contains("4F 4B"))) << forced.Stdout();
  forced.Signal(SIGTERM);
  EXPECT_EQ(forced.Wait(), 0) << forced.Stderr();
}

TEST(BusyPortProgram, TheProgramsOwnPairTapAndVirtualPortsOpen) {
  Pty device;
  ASSERT_TRUE(device.Ok());
  ChildProcess tapwise(
      {TAPWISE_PROGRAM, "-headless", "-pair:1,2", "-tap:3,4=" + device.SlavePath(), "-port:5=pty", "-tap:6,7=pty"});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM7 "))) << tapwise.Stderr();
  for (const char* com : {"COM1 ", "COM2 ", "COM3 ", "COM4 ", "COM5 ", "COM6 "}) {
    EXPECT_NE(("\n" + tapwise.Stderr()).find(std::string("\n") + com), std::string::npos) << com << tapwise.Stderr();
  }
  EXPECT_EQ(tapwise.Stderr().find("busy"), std::string::npos) << tapwise.Stderr();
  // The tap's device side opened: what the device says comes through.
  ASSERT_TRUE(device.WriteAll({'O', 'K'}));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(Contains("4F 4B"))) << tapwise.Stdout();
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
}

TEST(BusyPortProgram, ABadForceOptionIsRefused) {
  for (const char* option : {"-force:", "-force:x", "-force:0", "-force:129"}) {
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=pty", option});
    EXPECT_EQ(tapwise.Wait(), 2) << option;
    EXPECT_NE(tapwise.Stderr().find(std::string("\"") + option + "\""), std::string::npos) << tapwise.Stderr();
  }
}

}  // namespace
}  // namespace tapwise
