// The tapwise program streaming pcapng into a packet analyser as it
// records: standard output piped into a real tshark reading standard input,
// a named pipe that tshark opens after the monitor has started, and a
// reader that goes away, which ends the recording and nothing else.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "core/config/ProjectData.h"
#include "core/config/ProjectState.h"
#include "support/ChildProcess.h"
#include "support/Pty.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"
#include "support/Tshark.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

// The fields each packet is compared by, in this order.
const std::vector<std::string> PacketFields = {"frame.interface_name", "frame.packet_flags_direction",
                                               "frame.time_epoch", "data"};

std::vector<std::string> TsharkLive(const std::string& interface) {
  std::vector<std::string> argv = {TsharkPath(), "-n", "-l", "-i", interface, "-T", "fields", "-E", "separator=/t"};
  for (const std::string& field : PacketFields) argv.insert(argv.end(), {"-e", field});
  return argv;
}

std::string Quoted(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& arg : argv) line += "'" + arg + "' ";
  return line;
}

// The pid the shell wrote, once it is there.
std::string ReadIfThere(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0 ? TempDir::ReadFile(path) : std::string();
}

pid_t ReadPid(const std::string& path) {
  for (int i = 0; i < 100; ++i) {
    const std::string text = ReadIfThere(path);
    if (!text.empty() && text.back() == '\n') return static_cast<pid_t>(std::stol(text));
    std::this_thread::sleep_for(50ms);
  }
  return -1;
}

bool WaitForFile(const std::string& path, const std::string& text) {
  for (int i = 0; i < 200; ++i) {
    if (ReadIfThere(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

auto Rows(size_t count) {
  return [count](const std::string& out) { return FieldRows(out).size() >= count && out.back() == '\n'; };
}

auto Contains(const std::string& text) {
  return [text](const std::string& out) { return out.find(text) != std::string::npos; };
}

// A packet as the monitor printed it with -time:us, in the tshark fields'
// terms: port, direction, the local time of day and the bytes in hex.
struct Printed {
  std::string Port;
  std::string Direction;
  std::string Time;  // hh:mm:ss.uuuuuu
  std::string Hex;
};

int HexValue(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

// The packet lines among whatever else the output holds: CR LF lines of the
// hex layout with a 20-column header (port, direction, time).
std::vector<Printed> ParsePrinted(const std::string& out) {
  constexpr size_t Header = 20;
  std::vector<Printed> packets;
  size_t start = 0;
  for (size_t end = out.find('\n'); end != std::string::npos; start = end + 1, end = out.find('\n', start)) {
    // The start lines and messages end LF alone.
    if (end == start || out[end - 1] != '\r') continue;
    const std::string line = out.substr(start, end - 1 - start);
    if (line.size() != Header + 68) continue;
    if (line[0] != ' ') {
      Printed packet;
      packet.Port = "COM" + std::string(1, line[3]);
      packet.Direction = line[4] == '*' ? "0x00000002" : "0x00000001";
      packet.Time = line.substr(5, 15);
      packets.push_back(packet);
    }
    for (int j = 0; j < 16 && !packets.empty(); ++j) {
      const size_t column = Header + 1 + 3 * j + j / 4;
      if (line[column] == ' ') break;
      char cell[3];
      std::snprintf(cell, sizeof cell, "%02x", HexValue(line[column]) * 16 + HexValue(line[column + 1]));
      packets.back().Hex += cell;
    }
  }
  return packets;
}

// tshark's epoch time ("1717171717.123456000") as the local time of day the
// monitor prints.
std::string LocalTimeOfDay(const std::string& epoch) {
  const size_t dot = epoch.find('.');
  const time_t seconds = static_cast<time_t>(std::stoll(epoch.substr(0, dot)));
  tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%s", local.tm_hour, local.tm_min, local.tm_sec,
                epoch.substr(dot + 1, 6).c_str());
  return text;
}

void ExpectSamePackets(const std::vector<std::vector<std::string>>& rows, const std::vector<Printed>& printed) {
  ASSERT_EQ(rows.size(), printed.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("packet " + std::to_string(i));
    ASSERT_EQ(rows[i].size(), PacketFields.size());
    EXPECT_EQ(rows[i][0], printed[i].Port);
    EXPECT_EQ(rows[i][1], printed[i].Direction);
    EXPECT_EQ(LocalTimeOfDay(rows[i][2]), printed[i].Time);
    EXPECT_EQ(rows[i][3], printed[i].Hex);
  }
}

std::string WriteProject(const TempDir& dir, const std::string& send) {
  const std::string path = dir / "send.TW";
  ProjectData data;
  data.Rows[1].Packet = send;
  ProjectState writer;
  EXPECT_TRUE(Succeeded(writer.WriteProject(path, data)));
  return path;
}

class PcapngPipe : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(first.Ok() && second.Ok()); }
  // The shell's monitor is not the test's child: a test that fails half-way
  // must not leave it holding the ports.
  void TearDown() override {
    const pid_t monitor = ReadPidNow();
    if (monitor > 0 && ReadIfThere(statusFile).empty()) ::kill(monitor, SIGKILL);
  }
  pid_t ReadPidNow() const {
    const std::string text = ReadIfThere(pidFile);
    return text.empty() || text.back() != '\n' ? -1 : static_cast<pid_t>(std::stol(text));
  }
  std::vector<std::string> Monitor(const std::vector<std::string>& more) const {
    std::vector<std::string> argv = {TAPWISE_PROGRAM, "-headless", "-port:1=" + first.SlavePath(),
                                     "-port:2=" + second.SlavePath(), "-time:us"};
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
  }
  // A shell runs the monitor in the background of a pipeline, as a user's
  // would, and notes its pid and, at its end, its exit status.
  std::vector<std::string> Pipeline(const std::vector<std::string>& monitor, const std::string& linesTo,
                                    const std::string& reader) const {
    const std::string script = "{ " + Quoted(monitor) + linesTo + " & echo $! > '" + pidFile + "'; wait $!; echo $? > '" +
                               statusFile + "'; } | " + reader;
    return {"/bin/bash", "-c", script};
  }
  std::string Status() const { return ReadIfThere(statusFile); }

  Pty first;
  Pty second;
  TempDir dir;
  const std::string pidFile = dir / "pid";
  const std::string statusFile = dir / "status";
  const std::string linesFile = dir / "lines";
};

TEST_F(PcapngPipe, StandardOutputPipedIntoTsharkShowsEachPacketWhileTheMonitorRuns) {
  TAPWISE_REQUIRE_TSHARK();
  const std::string project = WriteProject(dir, "01 02 03");
  ChildProcess shell(Pipeline(Monitor({project, "-select:1", "-send:1", "-recordpcapng:-"}),
                              "2> '" + linesFile + "'", Quoted(TsharkLive("-"))));
  const pid_t monitor = ReadPid(pidFile);
  ASSERT_GT(monitor, 0);
  ASSERT_TRUE(WaitForFile(linesFile, "Recording pcapng to standard output")) << TempDir::ReadFile(linesFile);
  EXPECT_EQ(first.ReadFor(3), (Pty::Bytes{1, 2, 3}));
  // Each packet reaches the analyser while the monitor goes on: none waits
  // for the end of the recording.
  ASSERT_TRUE(shell.ReadStdoutUntil(Rows(1), 10s)) << shell.Stdout() << shell.Stderr();
  ASSERT_TRUE(second.WriteAll({'P', 'I', 'N', 'G'}));
  ASSERT_TRUE(shell.ReadStdoutUntil(Rows(2), 10s)) << shell.Stdout() << shell.Stderr();
  std::this_thread::sleep_for(300ms);
  Pty::Bytes forty(40);
  for (size_t i = 0; i < forty.size(); ++i) forty[i] = static_cast<uint8_t>(0xC0 + i);
  ASSERT_TRUE(first.WriteAll(forty));
  ASSERT_TRUE(shell.ReadStdoutUntil(Rows(3), 10s)) << shell.Stdout() << shell.Stderr();
  ASSERT_EQ(::kill(monitor, SIGTERM), 0);
  // The monitor's end is the end of the stream, and so tshark's.
  ASSERT_EQ(shell.Wait(20s), 0) << shell.Stderr();
  EXPECT_EQ(Status(), "0\n");

  const std::string lines = TempDir::ReadFile(linesFile);
  const std::vector<Printed> printed = ParsePrinted(lines);
  ASSERT_EQ(printed.size(), 3u) << lines;
  EXPECT_EQ(printed[0].Hex, "010203");
  EXPECT_EQ(printed[1].Hex, "50494e47");
  ExpectSamePackets(FieldRows(shell.Stdout()), printed);
}

TEST_F(PcapngPipe, AReaderThatClosesEarlyEndsTheRecordingAndMonitoringGoesOn) {
  // head takes the section header and part of the first packet, then goes.
  ChildProcess shell(Pipeline(Monitor({"-recordpcapng:-"}), "", "head -c 64 > /dev/null"));
  const pid_t monitor = ReadPid(pidFile);
  ASSERT_GT(monitor, 0);
  ASSERT_TRUE(shell.ReadStderrUntil(Contains("Recording pcapng to standard output"))) << shell.Stderr();
  const std::string stopped = "tapwise: Recording stopped: the reader closed the pipe; monitoring goes on\n";
  for (int i = 0; i < 20 && shell.Stderr().find(stopped) == std::string::npos; ++i) {
    ASSERT_TRUE(first.WriteAll({static_cast<uint8_t>(i)}));
    (void)shell.ReadStderrUntil(Contains(stopped), 400ms);
  }
  ASSERT_NE(shell.Stderr().find(stopped), std::string::npos) << shell.Stderr();
  // The packet lines go on (on standard error, as before).
  const size_t before = ParsePrinted(shell.Stderr()).size();
  ASSERT_TRUE(second.WriteAll({0xAA, 0xBB}));
  ASSERT_TRUE(shell.ReadStderrUntil([before](const std::string& err) { return ParsePrinted(err).size() > before; }))
      << shell.Stderr();
  EXPECT_EQ(ParsePrinted(shell.Stderr()).back().Hex, "aabb");
  ASSERT_EQ(::kill(monitor, SIGTERM), 0);
  ASSERT_EQ(shell.Wait(20s), 0) << shell.Stderr();
  EXPECT_EQ(Status(), "0\n");
  // Said once.
  EXPECT_EQ(shell.Stderr().find(stopped), shell.Stderr().rfind(stopped));
}

TEST_F(PcapngPipe, ANamedPipeTakesTheRecordingOnceTsharkOpensIt) {
  TAPWISE_REQUIRE_TSHARK();
  const std::string fifo = dir / "live.pcapng";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ChildProcess monitor(Monitor({"-recordpcapng:" + fifo}));
  ASSERT_TRUE(monitor.ReadStderrUntil(Contains("Recording " + fifo))) << monitor.Stderr();
  // Before any reader: the packet waits for one.
  ASSERT_TRUE(first.WriteAll({0x11, 0x22}));
  ASSERT_TRUE(monitor.ReadStdoutUntil([](const std::string& out) { return ParsePrinted(out).size() == 1; }))
      << monitor.Stdout();
  ChildProcess tshark(TsharkLive(fifo));
  ASSERT_TRUE(tshark.ReadStdoutUntil(Rows(1), 10s)) << tshark.Stdout() << tshark.Stderr();
  ASSERT_TRUE(second.WriteAll({0x33}));
  ASSERT_TRUE(tshark.ReadStdoutUntil(Rows(2), 10s)) << tshark.Stdout() << tshark.Stderr();
  monitor.Signal(SIGTERM);
  ASSERT_EQ(monitor.Wait(), 0) << monitor.Stderr();
  ASSERT_EQ(tshark.Wait(20s), 0) << tshark.Stderr();
  ExpectSamePackets(FieldRows(tshark.Stdout()), ParsePrinted(monitor.Stdout()));
}

// A stream can neither be rotated nor added to; the other formats still
// want a file. Each is refused before anything is recorded.
TEST_F(PcapngPipe, AStreamIsRefusedWhereOnlyAFileWillDo) {
  const std::string fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::vector<std::string> Options;
    std::string Said;
  };
  const std::vector<Case> cases = {
      {{"-recordpcapng:-", "-rotate:1M"},
       "tapwise: cannot record to -: standard output is a stream, which -rotate: and -append cannot be used with\n"},
      {{"-recordpcapng:" + fifo, "-append"},
       "tapwise: cannot record to " + fifo + ": a named pipe is a stream, which -rotate: and -append cannot be used with\n"},
      {{"-record:" + fifo}, "tapwise: cannot record to " + fifo + ": it is a named pipe (FIFO), not a file\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Options[0]);
    ChildProcess monitor(Monitor(c.Options));
    EXPECT_NE(monitor.Wait(), 0);
    EXPECT_NE(monitor.Stderr().find(c.Said), std::string::npos) << monitor.Stderr();
  }
}

}  // namespace
}  // namespace tapwise
