// The program as the system starts and ends it: closed standard
// descriptors, the signals that end a terminal session, and what it says
// about the ports the user named that it could not use.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "core/platform/PosixSerialDevice.h"
#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

TEST(ProcessLifetime, ClosedStandardOutputAndErrorPutNothingOnTheLine) {
  Pty wire;
  ASSERT_TRUE(wire.Ok());
  // The shell closes descriptors 1 and 2 and becomes the program.
  ChildProcess tapwise({"/bin/sh", "-c", "exec \"$0\" \"$@\" >&- 2>&-", TAPWISE_PROGRAM, "-headless",
                        "-port:1=" + wire.SlavePath()});
  ASSERT_TRUE(tapwise.Started());
  // Until the port is open: the far end then sees its settings flushed.
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(wire.WriteAll({'P', 'I', 'N', 'G'}));
  // The packet's hex line (or the start-up messages) would come back here
  // if the port had taken the place of standard output or error.
  EXPECT_TRUE(wire.ReadFor(1, 1500ms).empty());
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0);
}

TEST(ProcessLifetime, HangupAndQuitEndCleanlyAndLeaveThePortFree) {
  for (int signal : {SIGHUP, SIGQUIT, SIGINT}) {
    SCOPED_TRACE(signal);
    Pty wire;
    ASSERT_TRUE(wire.Ok());
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath()});
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM1 "))) << tapwise.Stderr();
    tapwise.Signal(signal);
    EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
    // The next run must not find the port busy.
    OpenResult next = PosixSerialDevice::Open(wire.SlavePath());
    EXPECT_EQ(next.Status, OpenStatus::Opened);
  }
}

std::string OwnCommandName() {
  std::ifstream comm("/proc/self/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

TEST(ProcessLifetime, NamedPortsThatCannotBeUsedAreReportedWithTheReason) {
  Pty held;
  ASSERT_TRUE(held.Ok());
  OpenResult ours = PosixSerialDevice::Open(held.SlavePath());
  ASSERT_EQ(ours.Status, OpenStatus::Opened);
  TempDir dir;
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + held.SlavePath(), "-port:2=" + (dir / "none"),
                        "-port:3=/dev/null", "-port:4=pty", dir / "nothere"});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM3 "))) << tapwise.Stderr();
  const std::string err = tapwise.Stderr();
  EXPECT_NE(err.find("COM1 " + held.SlavePath() + ": busy, held by " + OwnCommandName() + ", pid " +
                     std::to_string(getpid()) + "\n"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("COM2 " + (dir / "none") + ": absent\n"), std::string::npos) << err;
  EXPECT_NE(err.find("COM3 /dev/null: not a tty\n"), std::string::npos) << err;
  // The project file the program looked for, with the extension it added.
  EXPECT_NE(err.find("no project file " + (dir / "nothere.TW")), std::string::npos) << err;
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0);

  // Nothing opens: the same reasons come with the report.
  ChildProcess none({TAPWISE_PROGRAM, "-headless", "-port:1=" + held.SlavePath()});
  if (none.Wait() == 1) {
    EXPECT_NE(none.Stderr().find("No COM Ports are Available\nCOM1 " + held.SlavePath() + ": busy"),
              std::string::npos)
        << none.Stderr();
  }
}

}  // namespace
}  // namespace tapwise
