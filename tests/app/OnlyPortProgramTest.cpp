// -onlyport: end to end over pseudo-terminals: the headless monitor prints
// only the ports listed, in the output format of every other run, while the
// recording and the counting take every packet.

#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <thread>

#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

TEST(OnlyPortProgram, PrintsOnlyTheListedPortsAndRecordsThemAll) {
  Pty one;
  Pty two;
  Pty three;
  TempDir dir;
  ASSERT_TRUE(one.Ok() && two.Ok() && three.Ok());
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + one.SlavePath(), "-port:2=" + two.SlavePath(),
                        "-port:3=" + three.SlavePath(), "-onlyport:2-3", "-record:" + (dir / "all.DAT")});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Recording ")));
  EXPECT_EQ(tapwise.Stderr().find("-onlyport:"), std::string::npos) << tapwise.Stderr();

  one.WriteAll({'o', 'n', 'e'});
  std::this_thread::sleep_for(60ms);
  two.WriteAll({'t', 'w', 'o'});
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(1))) << tapwise.Stdout();
  one.WriteAll({'m', 'o', 'r', 'e'});
  std::this_thread::sleep_for(60ms);
  three.WriteAll(std::vector<uint8_t>(20, '3'));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(3))) << tapwise.Stdout();
  tapwise.Signal(SIGINT);
  EXPECT_EQ(tapwise.Wait(), 0);

  const std::string out = tapwise.Stdout();
  // The same packet data lines as without the option, for COM2 and COM3 alone.
  ASSERT_EQ(out.size(), 3 * 82u) << out;
  EXPECT_EQ(out.substr(0, 5), "COM2 ");
  EXPECT_EQ(out.substr(12, 70), " 74 77 6F" + std::string(43, ' ') + "two" + std::string(13, ' ') + "\r\n");
  EXPECT_EQ(out.substr(82, 5), "COM3 ");
  EXPECT_EQ(out.find("6F 6E 65"), std::string::npos);
  EXPECT_EQ(out.find("6D 6F 72 65"), std::string::npos);

  // The file has every packet, in the order they came.
  const std::string recorded = TempDir::ReadFile(dir / "all.DAT");
  ASSERT_EQ(recorded.size(), 5 * 82u) << recorded;
  EXPECT_EQ(recorded.substr(0, 5), "COM1 ");
  EXPECT_NE(recorded.find("6F 6E 65"), std::string::npos);
  EXPECT_NE(recorded.find("6D 6F 72 65"), std::string::npos);
  EXPECT_EQ(recorded.substr(82, 82), out.substr(0, 82));
}

// A list that names no open port is said once, and the run goes on.
TEST(OnlyPortProgram, AListOfNoOpenPortIsSaid) {
  Pty one;
  ASSERT_TRUE(one.Ok());
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + one.SlavePath(), "-onlyport:40"});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("tapwise: -onlyport: names no open port; nothing is printed yet\n")))
      << tapwise.Stderr();
  one.WriteAll({'x'});
  std::this_thread::sleep_for(200ms);
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0);
  EXPECT_EQ(tapwise.Stdout(), "");
}

}  // namespace
}  // namespace tapwise
