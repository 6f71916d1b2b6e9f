// -grep:PATTERN end to end over pseudo-terminals: the headless output shows
// only the packets that hold the pattern, in the usual format, while the
// recording keeps every packet; a pattern that does not compile is refused.

#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) break;
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

TEST(GrepProgram, PrintsOnlyMatchingPacketsAndRecordsThemAll) {
  Pty one;
  Pty two;
  TempDir dir;
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + one.SlavePath(), "-port:2=" + two.SlavePath(),
                        "-record:" + (dir / "all"), "--grep:\"PING\""});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Recording "))) << tapwise.Stderr();
  const std::vector<std::pair<Pty*, std::string>> packets = {
      {&one, "PING"},
      {&one, "noise"},
      {&two, "xxPINGxx"},
      // Across the boundary of the packet's first and second line.
      {&one, "..............PING.."},
      {&two, "PIN"},
  };
  for (const auto& [wire, bytes] : packets) {
    ASSERT_TRUE(wire->WriteAll(std::vector<uint8_t>(bytes.begin(), bytes.end())));
    std::this_thread::sleep_for(100ms);
  }
  // Five packets, six lines recorded; three packets, four lines shown.
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(4))) << tapwise.Stdout();
  std::this_thread::sleep_for(200ms);
  tapwise.Signal(SIGINT);
  EXPECT_EQ(tapwise.Wait(), 0);
  const std::vector<std::string> shown = Lines(tapwise.Stdout());
  ASSERT_EQ(shown.size(), 4u) << tapwise.Stdout();
  EXPECT_EQ(shown[0].substr(0, 5), "COM1 ");
  EXPECT_EQ(shown[0].substr(64, 4), "PING");
  EXPECT_EQ(shown[1].substr(0, 5), "COM2 ");
  EXPECT_EQ(shown[1].substr(64, 8), "xxPINGxx");
  EXPECT_EQ(shown[2].substr(0, 5), "COM1 ");
  EXPECT_EQ(shown[3].substr(64, 4), "NG..");
  const std::vector<std::string> recorded = Lines(TempDir::ReadFile(dir / "all"));
  ASSERT_EQ(recorded.size(), 6u);
  EXPECT_EQ(recorded[1].substr(64, 5), "noise");
  EXPECT_EQ(recorded[5].substr(64, 3), "PIN");
  // The lines shown are exactly the recorded lines of the matching packets.
  EXPECT_EQ(shown[0], recorded[0]);
  EXPECT_EQ(shown[1], recorded[2]);
  EXPECT_EQ(shown[3], recorded[4]);
}

TEST(GrepProgram, APatternThatDoesNotCompileIsRefused) {
  struct Case {
    std::string Option;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {"-grep:02 G1", "tapwise: -grep:02 G1: Not a pattern: 'G' at character 4 is neither a hex byte nor quoted text\n"},
      {"-grep:$1", "tapwise: -grep:$1: A pattern cannot hold the counter or a random byte ($0..$8)\n"},
      {"-grep:", "tapwise: -grep: takes hex bytes or quoted text, e.g. -grep:'\"PING\"'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Option);
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=pty", c.Option});
    EXPECT_EQ(tapwise.Wait(), 2);
    EXPECT_NE(tapwise.Stderr().find(c.Message), std::string::npos) << tapwise.Stderr();
    EXPECT_TRUE(tapwise.Stdout().empty());
  }
}

}  // namespace
}  // namespace tapwise
