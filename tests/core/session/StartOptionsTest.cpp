// What the command line sets up before the first byte: line settings, the
// ports to open and their names, through a session over fake devices (a
// pseudo-terminal keeps 8 data bits without parity, so the frame is checked
// here; the programs' tests read rates and stop bits back from real ptys).

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core/session/MonitorSession.h"
#include "support/FakeOpener.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

MonitorOptions::LineOption Line(int port, const char* spec) {
  return {port, *ParseLineSpec(spec).Line, std::string("-line:") + (port ? std::to_string(port) : "*") + "=" + spec};
}

TEST(StartOptions, LineSettingsReachTheDeviceAndWinOverTheProject) {
  TempDir dir;
  TempDir::WriteFile(dir / "p.tw", ";TAPWISE PROJECT\r\nS021300\r\nS023" "5\r\nS031600\r\n");
  FakeOpener opener;
  std::shared_ptr<FakeLine> line2 = opener.AddFake(2);
  std::shared_ptr<FakeLine> line3 = opener.AddFake(3);
  std::shared_ptr<FakeLine> line4 = opener.AddFake(4);
  MonitorSession session(opener);
  MonitorOptions options;
  options.ProjectFiles = {dir / "p.tw"};
  options.LineOptions = {Line(0, "7O2"), Line(2, "115200,8E1"), Line(4, "5N1.5")};
  ASSERT_TRUE(session.Start(options));

  struct Case {
    const std::shared_ptr<FakeLine>& line;
    LineFormat format;
  };
  const Case cases[] = {
      {line2, {115200, ParityEven, 8, StopOne}},  // the last option wins
      {line3, {600, ParityOdd, 7, StopTwo}},      // the project's rate, the command line's frame
      {line4, {9600, ParityNone, 5, StopOneAndHalf}},
  };
  for (const Case& c : cases) {
    const LineFormat got = c.line->Format();
    EXPECT_EQ(got.BaudRate, c.format.BaudRate);
    EXPECT_EQ(got.Parity, c.format.Parity);
    EXPECT_EQ(got.DataBits, c.format.DataBits);
    EXPECT_EQ(got.StopBits, c.format.StopBits);
  }
  // Kept as the port's settings, so that saving the project keeps them.
  EXPECT_EQ(session.Comms().GetPortSettings(3).Line().DataBits, 7);
  ASSERT_TRUE(session.WriteProject(dir / "saved.tw"));
  EXPECT_NE(TempDir::ReadFile(dir / "saved.tw").find("S021115200\r\n"), std::string::npos);
}

TEST(StartOptions, ARateTheDeviceRefusesFailsTheStartAsABadOption) {
  FakeOpener opener;
  opener.AddFake(1);
  std::shared_ptr<FakeLine> refusing = opener.AddFake(5);
  refusing->RefuseLineFormat(true);
  MonitorSession session(opener);
  MonitorOptions options;
  options.LineOptions = {Line(1, "9600"), Line(5, "11520")};
  const Result started = session.Start(options);
  ASSERT_FALSE(started);
  EXPECT_EQ(started.Code(), 2);
  EXPECT_EQ(started.Message(), "-line:5=11520: COM5 refuses 11520,8N1");
}

TEST(StartOptions, OnlyAndExcludeKeepPortsClosedAndUnprobed) {
  struct Case {
    const char* name;
    bool onlyGiven;
    std::vector<int> only;
    std::vector<int> exclude;
    std::vector<uint8_t> present;
  };
  const Case cases[] = {
      {"every port that opens", false, {}, {}, {1, 33, 34, 40, 100}},
      {"only a range", true, {33, 34, 35, 36, 37, 38, 39, 40}, {}, {33, 34, 40, 100}},
      {"only, less one", true, {33, 34, 35, 36, 37, 38, 39, 40}, {34}, {33, 40, 100}},
      {"exclude the fixed ports", false, {}, {1}, {33, 34, 40, 100}},
      {"exclude wins over an explicit map", false, {}, {100}, {1, 33, 34, 40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeOpener opener;
    for (uint8_t n : {uint8_t{1}, uint8_t{33}, uint8_t{34}, uint8_t{40}, uint8_t{100}}) opener.AddFake(n);
    opener.SetExplicit(100);
    MonitorSession session(opener);
    MonitorOptions options;
    options.OnlyGiven = c.onlyGiven;
    for (int n : c.only) options.Only.set(static_cast<size_t>(n));
    for (int n : c.exclude) options.Exclude.set(static_cast<size_t>(n));
    ASSERT_TRUE(session.Start(options));
    EXPECT_EQ(session.PresentPorts(), c.present);
    for (uint8_t n : {uint8_t{1}, uint8_t{33}, uint8_t{34}, uint8_t{40}, uint8_t{100}}) {
      const bool present = std::find(c.present.begin(), c.present.end(), n) != c.present.end();
      EXPECT_EQ(opener.OpenCalls(n) > 0, present) << "COM" << int(n) << " opened only when wanted";
    }
  }
}

TEST(StartOptions, NamesGoWithTheProjectAndIntoDescriptions) {
  TempDir dir;
  FakeOpener opener;
  opener.AddFake(2);
  {
    MonitorSession session(opener);
    MonitorOptions options;
    options.Names = {{2, "Meter"}, {7, "Spare"}, {2, "Bench meter"}};
    ASSERT_TRUE(session.Start(options));
    EXPECT_EQ(session.Comms().PortName(2), "Bench meter");
    EXPECT_EQ(session.Comms().NamedPort(2), "COM2 (Bench meter)");
    EXPECT_EQ(session.PortDescription(2), "\"Bench meter\"");  // a fake device has no path
    ASSERT_TRUE(session.WriteProject(dir / "named.tw"));
  }
  const std::string saved = TempDir::ReadFile(dir / "named.tw");
  EXPECT_NE(saved.find("\r\nS02NBench meter\r\nS07NSpare\r\n"), std::string::npos) << saved;

  MonitorSession reread(opener);
  MonitorOptions options;
  options.ProjectFiles = {dir / "named.tw"};
  ASSERT_TRUE(reread.Start(options));
  EXPECT_EQ(reread.Comms().PortName(7), "Spare");
  EXPECT_EQ(reread.Comms().PortName(3), "");
}

// The latency timer is set before the port opens and put back at shutdown.
// The ports are real pseudo-terminals; sysfs is a folder laid out as it
// would be if the first one were a USB adapter.
TEST(StartOptions, LowLatencySetsTheAdaptersTimerWhileTheMonitorRuns) {
  Pty adapter;
  Pty other;
  Pty left;
  ASSERT_TRUE(adapter.Ok() && other.Ok() && left.Ok());
  TempDir dir;
  const std::string slave = adapter.SlavePath();
  const std::string tty = slave.substr(slave.rfind('/') + 1);
  std::string folder = dir / "sys";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  for (const std::string& part : std::vector<std::string>{"/bus", "/usb-serial", "/devices", "/" + tty}) {
    folder += part;
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0) << folder;
  }
  const std::string attribute = folder + "/latency_timer";
  TempDir::WriteFile(attribute, "16\n");
  {
    MonitorSession session;
    MonitorOptions options;
    options.PortOptions = {"-port:1=" + slave, "-port:2=" + other.SlavePath(), "-port:3=" + left.SlavePath()};
    options.OnlyGiven = true;  // nothing of the default map
    options.Exclude.set(3);
    options.LowLatencyPorts = {1, 2, 3};
    options.SysfsRoot = dir / "sys";
    options.LiveFeed = false;
    ASSERT_TRUE(session.Start(options));
    EXPECT_EQ(TempDir::ReadFile(attribute), "1\n");
    const StartReport& report = session.Report();
    EXPECT_EQ(report.LatencyTimers, std::vector<std::string>{"COM1 " + slave + ": latency timer 1 ms (was 16 ms)"});
    ASSERT_EQ(report.LatencyProblems.size(), 2u);
    EXPECT_EQ(report.LatencyProblems[0].rfind("-lowlatency:2: COM2 " + other.SlavePath() + " has no latency timer", 0),
              0u)
        << report.LatencyProblems[0];
    EXPECT_EQ(report.LatencyProblems[1], "-lowlatency:3: COM3 is not opened (-only:, -exclude:)");
    // The window's status bar says it with the other start-up problems.
    EXPECT_EQ(report.ProblemLine(), report.LatencyProblems[0] + "; " + report.LatencyProblems[1]);
  }
  EXPECT_EQ(TempDir::ReadFile(attribute), "16\n");
}

}  // namespace
}  // namespace tapwise
