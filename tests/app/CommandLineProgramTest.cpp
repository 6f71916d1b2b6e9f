// The command line as the program answers it: what it says on standard
// error about options it does not know or cannot use, in either front end,
// and the two-dash spellings.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

// Whether text holds line as a whole line.
bool HasLine(const std::string& text, const std::string& line) {
  return text.compare(0, line.size() + 1, line + "\n") == 0 || text.find("\n" + line + "\n") != std::string::npos;
}

// The window program, offscreen, run from a copy in dir so that the settings
// it keeps beside itself land there.
std::vector<std::string> WindowCommand(const TempDir& dir, const std::vector<std::string>& args) {
  const std::string program = dir / "tapwise";
  if (!std::filesystem::exists(program)) std::filesystem::copy_file(TAPWISE_PROGRAM, program);
  std::vector<std::string> argv = {"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", program, "-nosplash"};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

TEST(CommandLineProgram, EachUnknownOptionIsSaidOnceAndIgnored) {
  // The monitor runs as it would without them.
  ChildProcess monitor({TAPWISE_PROGRAM, "-headless", "-recrod:/tmp/x.DAT", "-port:1=pty", "--frob"});
  ASSERT_TRUE(monitor.ReadStderrUntil(Contains("COM1 /dev/"))) << monitor.Stderr();
  EXPECT_EQ(monitor.Stderr().find("tapwise: unknown option -recrod:/tmp/x.DAT, ignored\n"
                                  "tapwise: unknown option --frob, ignored\n"
                                  "COM1 /dev/"),
            0u)
      << monitor.Stderr();
  monitor.Signal(SIGINT);
  EXPECT_EQ(monitor.Wait(), 0);

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {{"-list-ports", "-port:120=pty", "-frob"}, 0, "tapwise: unknown option -frob, ignored\n"},
      {{"--version", "-x"}, 0, "tapwise: unknown option -x, ignored\n"},
      {{"-headless", "-x", "-select:0"}, 2,
       "tapwise: unknown option -x, ignored\ntapwise: -select: takes a COM number from 1 to 128\n"},
      {{"-headless", "-port:1=pty", "-recordraw:/nonexistent/r", "--rotate:every=1week"}, 2,
       "tapwise: -rotate: takes SIZE[,COUNT] or every=TIME[,COUNT], e.g. 100M,10 or every=1h ('1week' is not a "
       "time: a number of s, m, h or d, at most 366d)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    std::vector<std::string> argv = {TAPWISE_PROGRAM};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ChildProcess tapwise(argv);
    EXPECT_EQ(tapwise.Wait(), c.status);
    EXPECT_EQ(tapwise.Stderr(), c.err);
  }
}

TEST(CommandLineProgram, TwoDashesSpellTheSameOptions) {
  ChildProcess list({TAPWISE_PROGRAM, "--list-ports", "--port:120=pty"});
  EXPECT_EQ(list.Wait(), 0);
  EXPECT_NE(list.Stdout().find("COM120 "), std::string::npos) << list.Stdout();
  EXPECT_EQ(list.Stderr(), "");

  // COM1 made a virtual port, so that the machine's own stays untouched.
  ChildProcess demo({TAPWISE_PROGRAM, "--demo", "--headless", "-port:1=pty"});
  ASSERT_TRUE(demo.ReadStdoutUntil(Contains("COM\xb8*"), 3s)) << demo.Stderr();
  demo.Signal(SIGTERM);
  EXPECT_EQ(demo.Wait(), 0);
  EXPECT_EQ(demo.Stderr().find("Demo (files in "), 0u) << demo.Stderr();
}

// What cannot be used is said in one form by both front ends, and the
// window refuses a bad value before it opens, as the monitor does.
TEST(CommandLineProgram, StartFailuresNameTheProgramInBothFrontEnds) {
  struct Case {
    const char* option;
    std::string line;
  };
  const Case cases[] = {
      {"-port:0=pty", "tapwise: Bad option \"-port:0=pty\": COM numbers run from 1 to 128"},
      {"-pair:3,3", "tapwise: Bad option \"-pair:3,3\": a pair needs two different COM numbers"},
      {"--port:5=ttyUSB0", "tapwise: Bad option \"-port:5=ttyUSB0\": the path must be absolute, like /dev/ttyUSB0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    ChildProcess monitor({TAPWISE_PROGRAM, "-headless", c.option});
    EXPECT_EQ(monitor.Wait(), 2);
    EXPECT_EQ(monitor.Stderr(), c.line + "\n");

    // The window says it before its message box, which waits for the user.
    TempDir dir;
    ChildProcess window(WindowCommand(dir, {c.option}));
    EXPECT_TRUE(window.ReadStderrUntil([&](const std::string& err) { return HasLine(err, c.line); }))
        << window.Stderr();
    EXPECT_EQ(window.Stderr().find("No COM Ports"), std::string::npos) << window.Stderr();
    window.Signal(SIGTERM);
    window.Wait();
  }

  TempDir dir;
  ChildProcess window(WindowCommand(dir, {"-pair:1,2", "-select:COM1", "-frob"}));
  EXPECT_EQ(window.Wait(), 2);
  EXPECT_EQ(window.Stderr(),
            "tapwise: unknown option -frob, ignored\ntapwise: -select: takes a COM number from 1 to 128\n");
}

}  // namespace
}  // namespace tapwise
