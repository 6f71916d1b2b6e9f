// The program set up from the command line as a terminal user sets up a
// port: line settings read back from the pseudo-terminal, the ports to open,
// names in every output, the packet times against the pcapng recording of
// the same packets, and colour only onto a terminal.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <sstream>
#include <thread>

#include "core/platform/SysCalls.h"
#include "core/platform/SysfsTty.h"
#include "core/platform/Termios2.h"
#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/Pty.h"
#include "support/TempDir.h"
#include "support/Tshark.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CommandLinePorts, LineSettingsAreInTheDeviceBeforeTheFirstByte) {
  Pty first;
  Pty second;
  Pty third;
  ASSERT_TRUE(first.Ok() && second.Ok() && third.Ok());
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-line:*=4800", "-port:1=" + first.SlavePath(),
                        "-line:1=115200,8N2", "-port:2=" + second.SlavePath() + ",250000,8N1",
                        "-port:3=" + third.SlavePath()});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM3 "))) << tapwise.Stderr();
  struct Case {
    const Pty& pty;
    uint32_t rate;
    bool twoStopBits;
  };
  const Case cases[] = {{first, 115200, true}, {second, 250000, false}, {third, 4800, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pty.SlavePath());
    const std::optional<FollowedLine> line = ReadFollowedLine(RealSysCalls(), c.pty.MasterFd());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->Rate, c.rate);
    EXPECT_EQ(line->TwoStopBits, c.twoStopBits);
  }
  tapwise.Signal(SIGINT);
  EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
}

TEST(CommandLinePorts, MalformedValuesEndTheProgramBeforeAnyPortOpensOrFileIsTouched) {
  Pty wire;
  ASSERT_TRUE(wire.Ok());
  TempDir dir;
  const std::string kept = dir / "kept.dat";
  TempDir::WriteFile(kept, "recorded before\r\n");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"-line:5=11520x", "tapwise: -line:5=11520x: 11520x is neither a rate"},
      {"-port:2=" + wire.SlavePath() + ",8N1,9600", "the rate comes first, and once"},
      {"-only:1-x", "tapwise: -only:1-x: \"1-x\" is not a COM number"},
      {"-time:fortnights", "tapwise: -time:fortnights: expected -time:tenths"},
      {"-name:0=x", "tapwise: -name:0=x: expected -name:N=TEXT"},
  };
  for (const auto& [option, message] : cases) {
    SCOPED_TRACE(option);
    for (const char* mode : {"-headless", "-list-ports"}) {
      ChildProcess tapwise({TAPWISE_PROGRAM, mode, "-port:1=" + wire.SlavePath(), option, "-record:" + kept});
      EXPECT_EQ(tapwise.Wait(), 2);
      EXPECT_TRUE(Has(tapwise.Stderr(), message)) << tapwise.Stderr();
      EXPECT_FALSE(Has(tapwise.Stderr(), "COM1 ")) << "no port was opened";
      EXPECT_TRUE(tapwise.Stdout().empty());
    }
  }
  EXPECT_EQ(TempDir::ReadFile(kept), "recorded before\r\n");
}

TEST(CommandLinePorts, OnlyAndExcludeChooseThePortsAndListPortsSaysWhy) {
  Pty first;
  Pty second;
  ASSERT_TRUE(first.Ok() && second.Ok());
  // The USB range has no device here; COM1 (/dev/ttyS0) opens on this
  // machine and on most, so leaving it out shows.
  ChildProcess listing({TAPWISE_PROGRAM, "-list-ports", "-only:33-64", "-port:40=" + first.SlavePath(),
                        "-port:97=" + second.SlavePath(), "-exclude:97"});
  EXPECT_EQ(listing.Wait(), 0) << listing.Stderr();
  const std::string out = listing.Stdout();
  EXPECT_TRUE(Has(out, "COM40   " + first.SlavePath())) << out;
  EXPECT_TRUE(Has(out, "COM97   " + second.SlavePath())) << out;
  EXPECT_TRUE(Has(out, "skipped (-exclude:)")) << out;
  // The fixed serial ports are left closed: one with a UART (as sysfs says,
  // without opening it) is listed as left out, never probed as present or busy.
  size_t fixed = 0;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (!Has(line, "/dev/ttyS")) continue;
    ++fixed;
    EXPECT_TRUE(line.size() > 23 && line.substr(line.size() - 23) == "skipped (not in -only:)") << line;
  }
  EXPECT_EQ(fixed > 0, SysfsUartKnown("/dev/ttyS0")) << out;

  ChildProcess headless({TAPWISE_PROGRAM, "-headless", "-only:33-64", "-port:2=" + first.SlavePath(),
                         "-port:3=" + second.SlavePath(), "-exclude:3"});
  ASSERT_TRUE(headless.ReadStderrUntil(Contains("COM2 "))) << headless.Stderr();
  std::this_thread::sleep_for(200ms);
  headless.Signal(SIGINT);
  EXPECT_EQ(headless.Wait(), 0);
  EXPECT_FALSE(Has(headless.Stderr(), "COM1 ")) << headless.Stderr();
  EXPECT_FALSE(Has(headless.Stderr(), "COM3 ")) << headless.Stderr();

  // Nothing left to open: the report, not a port the user did not choose.
  ChildProcess nothing({TAPWISE_PROGRAM, "-headless", "-only:33-64"});
  EXPECT_EQ(nothing.Wait(), 1);
  EXPECT_TRUE(Has(nothing.Stderr(), "No COM Ports are Available")) << nothing.Stderr();
}

TEST(CommandLinePorts, StartLinesNameThePortsAndSayWhyALatencyTimerWasNotSet) {
  Pty wire;
  ASSERT_TRUE(wire.Ok());
  // A pseudo-terminal is no USB adapter: the real sysfs has no timer for it.
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(), "-name:1=Bench meter",
                        "-lowlatency:1", "-live:off"});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("latency timer"))) << tapwise.Stderr();
  // Monitoring goes on without it.
  ASSERT_TRUE(wire.WriteAll({'o', 'k'}));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(1))) << tapwise.Stdout();
  tapwise.Signal(SIGINT);
  EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
  const std::string err = tapwise.Stderr();
  EXPECT_TRUE(Has(err, "COM1 " + wire.SlavePath() + " \"Bench meter\"\n")) << err;
  EXPECT_TRUE(Has(err, "tapwise: -lowlatency:1: COM1 " + wire.SlavePath() + " has no latency timer")) << err;
  EXPECT_TRUE(Has(tapwise.Stdout(), " 6F 6B ")) << tapwise.Stdout();
}

// "hh:mm:ss.uuuuuu" of a Unix instant in local time, without the program's code.
std::string LocalClock(int64_t unixUs, int digits) {
  const time_t seconds = static_cast<time_t>(unixUs / 1'000'000);
  tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%06lld", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<long long>(unixUs % 1'000'000));
  return std::string(text).substr(0, 9 + static_cast<size_t>(digits));
}

std::string LocalIso(int64_t unixUs) {
  const time_t seconds = static_cast<time_t>(unixUs / 1'000'000);
  tm local{};
  localtime_r(&seconds, &local);
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%dT", &local);
  char zone[48];
  const long offset = local.tm_gmtoff / 60;
  std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', std::labs(offset) / 60,
                std::labs(offset) % 60);
  return date + LocalClock(unixUs, 6) + zone;
}

int64_t EpochMicroseconds(const std::string& text) {
  const size_t dot = text.find('.');
  return std::stoll(text.substr(0, dot)) * 1'000'000 + std::stoll(text.substr(dot + 1, 6));
}

TEST(CommandLinePorts, EachTimeFormatShowsThePcapngTimeOfThePacket) {
  TAPWISE_REQUIRE_TSHARK();
  Pty wire;
  ASSERT_TRUE(wire.Ok());
  TempDir dir;
  for (const char* format : {"ms", "us", "iso", "delta"}) {
    SCOPED_TRACE(format);
    const std::string file = dir / (std::string(format) + ".pcapng");
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(), "-name:1=Meter",
                          "-portlabel:full", std::string("-time:") + format, "-record:" + file});
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Recording "))) << tapwise.Stderr();
    ASSERT_TRUE(wire.WriteAll({'A', 'B'}));
    ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(1))) << tapwise.Stdout();
    std::this_thread::sleep_for(120ms);
    ASSERT_TRUE(wire.WriteAll({'C', 'D'}));
    ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(2))) << tapwise.Stdout();
    tapwise.Signal(SIGINT);
    ASSERT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();

    const TsharkRun run = RunTsharkFields(file, {"frame.time_epoch", "frame.interface_description"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto rows = FieldRows(run.Out);
    ASSERT_EQ(rows.size(), 2u) << run.Out;
    EXPECT_EQ(rows[0][1], wire.SlavePath() + " \"Meter\"");
    const int64_t times[2] = {EpochMicroseconds(rows[0][0]), EpochMicroseconds(rows[1][0])};
    std::string expected[2];
    for (int i = 0; i < 2; ++i) {
      const std::string f = format;
      expected[i] = f == "ms" ? LocalClock(times[i], 3) : f == "us" ? LocalClock(times[i], 6) : LocalIso(times[i]);
    }
    if (std::string(format) == "delta") {
      char delta[32];
      std::snprintf(delta, sizeof delta, "+%lld.%06lld", static_cast<long long>((times[1] - times[0]) / 1'000'000),
                    static_cast<long long>((times[1] - times[0]) % 1'000'000));
      expected[0] = "+0.000000";
      expected[1] = delta;
    }
    const std::string out = tapwise.Stdout();
    const std::string bytes[2] = {" 41 42 ", " 43 44 "};
    for (int i = 0; i < 2; ++i) {
      EXPECT_TRUE(Has(out, "Meter " + expected[i] + bytes[i])) << out << "\nwanted " << expected[i];
    }
  }
}

TEST(CommandLinePorts, ColourOnlyOntoATerminal) {
  Pty wire;
  Pty screen;
  ASSERT_TRUE(wire.Ok() && screen.Ok());
  struct Case {
    const char* name;
    std::vector<std::string> environment;  // besides the test's own
    std::string option;
    bool coloured;
  };
  const Case cases[] = {
      {"auto onto a terminal", {}, "-color:auto", true},
      {"NO_COLOR set", {"NO_COLOR=1"}, "-color:auto", false},
      {"never", {}, "-color:never", false},
      {"always, NO_COLOR or not", {"NO_COLOR=1"}, "-color:always", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Standard output is the slave side of a pseudo-terminal.
    std::string command = "exec env";
    for (const std::string& word : c.environment) command += " " + word;
    command += std::string(" ") + TAPWISE_PROGRAM + " -headless -port:1=" + wire.SlavePath() + " " + c.option +
               " >" + screen.SlavePath();
    ChildProcess tapwise({"/bin/sh", "-c", command});
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM1 "))) << tapwise.Stderr();
    ASSERT_TRUE(wire.WriteAll({'h', 'i'}));
    // A line on a terminal (80 columns and LF), or its start after the escapes.
    const Pty::Bytes shown = screen.ReadFor(80 + 2, 3s);
    const std::string text(shown.begin(), shown.end());
    EXPECT_EQ(Has(text, "\x1b[38;5;"), c.coloured) << text;
    EXPECT_TRUE(Has(text, " 68 69 ")) << text;
    tapwise.Signal(SIGINT);
    EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
    (void)screen.ReadFor(4096, 200ms);  // the rest of the line, for the next case
  }

  // Into a pipe the default output stays the packet data file.
  ChildProcess piped({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath()});
  ASSERT_TRUE(piped.ReadStderrUntil(Contains("COM1 ")));
  ASSERT_TRUE(wire.WriteAll({'h', 'i'}));
  ASSERT_TRUE(piped.ReadStdoutUntil(HasLines(1)));
  piped.Signal(SIGINT);
  EXPECT_EQ(piped.Wait(), 0);
  EXPECT_EQ(piped.Stdout().size(), 82u);
  EXPECT_FALSE(Has(piped.Stdout(), "\x1b"));
}

}  // namespace
}  // namespace tapwise
