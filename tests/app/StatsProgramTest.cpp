// -stats:N end to end: the headless monitor's summary lines on standard
// error for known traffic on pseudo-terminals, every N seconds, on SIGUSR1
// and at exit; none of it without -stats but on SIGUSR1; a bad N refused.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <string>

#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

size_t CountOf(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// The last summary line of the port, from its "COMn " on.
std::string LastLine(const std::string& err, const std::string& com) {
  const size_t at = err.rfind("tapwise: stats " + com + " ");
  if (at == std::string::npos) return {};
  return err.substr(at + 15, err.find('\n', at) - at - 15);
}

TEST(StatsProgram, SummaryLinesEverySecondOnSigusr1AndAtExit) {
  Pty wire;
  ASSERT_TRUE(wire.Ok());
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-live:off", "-stats:1", "-port:1=" + wire.SlavePath(),
                        "-port:2=pty", "-line:1=19200,8N1"});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM2 /dev/")));
  wire.WriteAll(Pty::Bytes(100, 0x41));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(7))) << tapwise.Stdout();
  // Within a second or two the next lines have it.
  ASSERT_TRUE(tapwise.ReadStderrUntil([](const std::string& err) {
    return LastLine(err, "COM1").find("rx_bytes=100 ") != std::string::npos;
  }, 5s)) << tapwise.Stderr();
  const std::string line = LastLine(tapwise.Stderr(), "COM1");
  EXPECT_EQ(line.substr(0, line.find(" rate=")),
            "COM1 rx_bytes=100 rx_packets=1 tx_bytes=0 tx_packets=0 framing=0 parity=0 overrun=0 break=0 "
            "other_errors=0 failed_sends=0 forwarded=0 reconnects=0")
      << line;
  EXPECT_NE(line.find(" load="), std::string::npos);
  // Every port has a line each time.
  ASSERT_TRUE(tapwise.ReadStderrUntil([](const std::string& err) { return CountOf(err, "stats COM2 ") >= 2; }, 5s));
  EXPECT_NE(LastLine(tapwise.Stderr(), "COM2").find("rx_bytes=0 rx_packets=0"), std::string::npos);

  // SIGUSR1 asks for them now, and the monitor goes on.
  const size_t before = CountOf(tapwise.Stderr(), "stats COM1 ");
  tapwise.Signal(SIGUSR1);
  ASSERT_TRUE(tapwise.ReadStderrUntil(
      [before](const std::string& err) { return CountOf(err, "stats COM1 ") > before; }, 5s));
  wire.WriteAll(Pty::Bytes(20, 0x42));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(9))) << tapwise.Stdout();

  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
  // The last lines, at exit, have everything shown.
  EXPECT_NE(LastLine(tapwise.Stderr(), "COM1").find("rx_bytes=120 rx_packets=2 "), std::string::npos)
      << tapwise.Stderr();
}

TEST(StatsProgram, WithoutStatsOnlySigusr1PrintsAndExitIsAsBefore) {
  Pty wire;
  ASSERT_TRUE(wire.Ok());
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-live:off", "-port:1=" + wire.SlavePath()});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM1 ")));
  wire.WriteAll(Pty::Bytes(3, 0x41));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(1))) << tapwise.Stdout();
  // Once printed, not ended: a signal that kills by default is taken here.
  tapwise.Signal(SIGUSR1);
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("tapwise: stats COM1 rx_bytes=3 rx_packets=1 "), 5s))
      << tapwise.Stderr();
  tapwise.Signal(SIGINT);
  EXPECT_EQ(tapwise.Wait(), 0);
  EXPECT_EQ(CountOf(tapwise.Stderr(), "tapwise: stats "), 1u) << tapwise.Stderr();
}

TEST(StatsProgram, ATapsPortsCountWhatTheyPassedOn) {
  Pty device;
  ASSERT_TRUE(device.Ok());
  TempDir folder;
  const std::string link = folder / "meter";
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-live:off", "-stats:3600",
                        "-tap:1,2=" + device.SlavePath() + ",link=" + link});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains(", linked from " + link + "\n"))) << tapwise.Stderr();
  const int app = Pty::OpenPlain(link);
  ASSERT_GE(app, 0);
  usleep(100'000);
  ASSERT_TRUE(Pty::WriteAll(app, {'R', '?', '\r'}));
  EXPECT_EQ(device.ReadFor(3), (Pty::Bytes{'R', '?', '\r'}));
  ASSERT_TRUE(device.WriteAll({'4', '2'}));
  EXPECT_EQ(Pty::ReadFor(app, 2), (Pty::Bytes{'4', '2'}));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(2))) << tapwise.Stdout();
  close(app);
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
  // Forwarded bytes are no sends of the program's: what each side said was
  // received on its own port and passed on to the other.
  const std::string one = LastLine(tapwise.Stderr(), "COM1");
  const std::string two = LastLine(tapwise.Stderr(), "COM2");
  EXPECT_NE(one.find("rx_bytes=2 rx_packets=1 tx_bytes=0 "), std::string::npos) << one;
  EXPECT_NE(one.find(" forwarded=2 "), std::string::npos) << one;
  EXPECT_NE(two.find("rx_bytes=3 rx_packets=1 tx_bytes=0 "), std::string::npos) << two;
  EXPECT_NE(two.find(" forwarded=3 "), std::string::npos) << two;
}

TEST(StatsProgram, ABadIntervalNamesTheOptionAndExits2) {
  for (const char* option : {"-stats:0", "-stats:x", "-stats:", "-stats", "-stats:86401", "--stats:-1"}) {
    SCOPED_TRACE(option);
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-live:off", option, "-port:1=pty"});
    EXPECT_EQ(tapwise.Wait(), 2);
    EXPECT_EQ(tapwise.Stderr(), "tapwise: -stats: takes a number of seconds from 1 to 86400\n");
    EXPECT_TRUE(tapwise.Stdout().empty());
  }
}

}  // namespace
}  // namespace tapwise
