// The tapwise program end to end: bytes in on pseudo-terminals, exact packet
// data lines out, shutdown by signal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <thread>

#include "core/config/ProjectData.h"
#include "core/config/ProjectState.h"
#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/Pty.h"
#include "support/ResultAssertions.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

// The path printed for a COM number in the start-up map.
std::string MappedPath(const std::string& err, const std::string& com) {
  size_t at = err.find(com + " ");
  if (at == std::string::npos) return {};
  size_t end = err.find_first_of(" \n", at + com.size() + 1);
  return err.substr(at + com.size() + 1, end - at - com.size() - 1);
}

TEST(HeadlessProgram, BytesInOnAPortComeOutAsExactPacketDataLines) {
  Pty wire;
  ASSERT_TRUE(wire.Ok());
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(), "-port:2=pty"});
  ASSERT_TRUE(tapwise.Started());
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM2 /dev/")));
  EXPECT_NE(tapwise.Stderr().find("COM1 " + wire.SlavePath() + "\n"), std::string::npos);

  wire.WriteAll({'P', 'I', 'N', 'G', '\r', '\n'});
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(1))) << tapwise.Stdout();
  std::string out = tapwise.Stdout();
  ASSERT_EQ(out.size(), 82u);
  EXPECT_EQ(out.substr(0, 5), "COM1 ");
  EXPECT_EQ(out.substr(12), " 50 49 4E 47  0D 0A                                 PING\xb7\xb7          \r\n");

  // The virtual port: another program opens the path the map names.
  std::string virtualPath = MappedPath(tapwise.Stderr(), "COM2");
  int other = Pty::OpenPlain(virtualPath);
  ASSERT_GE(other, 0) << virtualPath;
  std::vector<uint8_t> bytes(17);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(0xF0 + i);
  ASSERT_TRUE(Pty::WriteAll(other, bytes));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(3))) << tapwise.Stdout();
  out = tapwise.Stdout().substr(82);
  EXPECT_EQ(out.substr(0, 5), "COM2 ");
  EXPECT_EQ(out.substr(12, 70),
            " F0 F1 F2 F3  F4 F5 F6 F7  F8 F9 FA FB  FC FD FE FF "
            "\xf0\xf1\xf2\xf3\xf4\xf5\xf6\xf7\xf8\xf9\xfa\xfb\xfc\xfd\xfe\xff\r\n");
  EXPECT_EQ(out.substr(82), std::string(12, ' ') + " 00" + std::string(49, ' ') + "\xb7" +
                                std::string(15, ' ') + "\r\n");
  close(other);

  tapwise.Signal(SIGINT);
  EXPECT_EQ(tapwise.Wait(), 0);
}

TEST(HeadlessProgram, SigtermWithPacketsPendingEndsCleanly) {
  Pty wire;
  ASSERT_TRUE(wire.Ok());
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath()});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM1 ")));
  // A stream that is mid-packet and records still queued when the signal comes.
  std::thread writer([&] { Pty::WriteAll(wire.MasterFd(), std::vector<uint8_t>(30000, 0x41), 1s); });
  std::this_thread::sleep_for(30ms);
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
  writer.join();
  EXPECT_EQ(tapwise.Stdout().size() % 82, 0u);  // only whole packets were written
}

TEST(HeadlessProgram, BadPortOptionIsRefusedWithAMessage) {
  struct Case { const char* option; const char* message; };
  const Case cases[] = {
      {"-port:0=/dev/ttyS0", "COM numbers run from 1 to 128"},
      {"-port:5=ttyUSB0", "the path must be absolute"},
      {"-pair:3,3", "a pair needs two different COM numbers"},
      {"-port:x", "expected -port:N=PATH or -port:N=pty"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", c.option});
    EXPECT_EQ(tapwise.Wait(), 2);
    EXPECT_NE(tapwise.Stderr().find(c.message), std::string::npos) << tapwise.Stderr();
    EXPECT_TRUE(tapwise.Stdout().empty());
  }
}

TEST(HeadlessProgram, PlaysAFileOutOfTheSelectedPortThenGoesOnMonitoring) {
  Pty first;
  Pty second;
  TempDir dir;
  TempDir::WriteFile(dir / "p.hex", "50 49 4E 47\r\n--\r\n41 42\r\n");
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + first.SlavePath(), "-port:2=" + second.SlavePath(),
                        "-select:2", "-playhex:" + (dir / "p.hex"), "-playgap:1"});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Playback finished\n"))) << tapwise.Stderr();
  EXPECT_NE(tapwise.Stderr().find("out of COM2"), std::string::npos) << tapwise.Stderr();
  EXPECT_EQ(second.ReadFor(6), (std::vector<uint8_t>{'P', 'I', 'N', 'G', 'A', 'B'}));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(2))) << tapwise.Stdout();
  EXPECT_EQ(tapwise.Stdout().substr(0, 5), "COM2*");
  EXPECT_EQ(tapwise.Stdout().substr(82, 5), "COM2*");
  // Still monitoring.
  first.WriteAll({'x'});
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(3))) << tapwise.Stdout();
  EXPECT_EQ(tapwise.Stdout().substr(164, 5), "COM1 ");
  tapwise.Signal(SIGINT);
  EXPECT_EQ(tapwise.Wait(), 0);
}

TEST(HeadlessProgram, RecordsWhatItShowsAndSurvivesAFailingRecording) {
  Pty wire;
  TempDir dir;
  {
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(), "-record:" + (dir / "r")});
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Recording ")));
    wire.WriteAll({'h', 'e', 'l', 'l', 'o'});
    ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(1)));
    std::this_thread::sleep_for(50ms);
    wire.WriteAll(std::vector<uint8_t>(40, '!'));
    ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(4)));
    tapwise.Signal(SIGINT);
    EXPECT_EQ(tapwise.Wait(), 0);
    // The name is used as given, and the file holds what the monitor showed.
    EXPECT_EQ(TempDir::ReadFile(dir / "r"), tapwise.Stdout());
  }
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(), "-record:/dev/full"});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Recording ")));
  wire.WriteAll({'1'});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("No space left on device"))) << tapwise.Stderr();
  EXPECT_NE(tapwise.Stderr().find("Recording stopped"), std::string::npos);
  std::this_thread::sleep_for(50ms);
  wire.WriteAll({'2'});
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(2))) << tapwise.Stdout();
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0);
}

TEST(HeadlessProgram, UnusableRecordAndPlayOptionsAreRefused) {
  Pty wire;
  TempDir dir;
  // Nobody holds the pipe's other end: opening it must not wait for one.
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::vector<std::string> options;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{"-play:" + fifo}, 1, "cannot play " + fifo + ": it is a named pipe (FIFO), not a file"},
      {{"-record:" + fifo}, 1, "cannot record to " + fifo + ": it is a named pipe (FIFO), not a file"},
      {{"-playhex:" + dir.Path()}, 1, "cannot play " + dir.Path() + ": Is a directory"},
      {{"-record:" + dir.Path()}, 1, "cannot record to " + dir.Path() + ": Is a directory"},
      {{"-playgap:500", "-play:x"}, 2, "-playgap: takes 0 to 100"},
      {{"-record:" + (dir / "same"), "-play:" + (dir / "same")}, 2, "cannot be recorded and played at the same time"},
      {{"-play:" + (dir / "missing")}, 1, "cannot play"},
      {{"-record:" + (dir / "no/such/folder")}, 1, "cannot record to"},
      {{"-select:9", "-play:x"}, 2, "COM9 is not open"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> argv = {TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath()};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    ChildProcess tapwise(argv);
    EXPECT_EQ(tapwise.Wait(), c.status);
    EXPECT_NE(tapwise.Stderr().find(c.message), std::string::npos) << tapwise.Stderr();
  }
}

TEST(HeadlessProgram, ListPortsHelpAndVersion) {
  ChildProcess list({TAPWISE_PROGRAM, "-list-ports", "-port:120=pty"});
  EXPECT_EQ(list.Wait(), 0);
  EXPECT_NE(list.Stdout().find("COM120"), std::string::npos) << list.Stdout();
  EXPECT_NE(list.Stdout().find("present"), std::string::npos);

  ChildProcess help({TAPWISE_PROGRAM, "--help"});
  EXPECT_EQ(help.Wait(), 0);
  EXPECT_NE(help.Stdout().find("tapwise -headless"), std::string::npos);

  ChildProcess version({TAPWISE_PROGRAM, "--version"});
  EXPECT_EQ(version.Wait(), 0);
  EXPECT_EQ(version.Stdout(), std::string("tapwise ") + TAPWISE_VERSION + "\n");
}

}  // namespace
}  // namespace tapwise

namespace tapwise {
namespace {

// A project named on the command line: its display mode, user packets and
// triggers take effect; -send: and -triggerpart use them; a faulty trigger
// is reported on standard error as plain text.
TEST(HeadlessProgram, ProjectUserPacketsAndTriggers) {
  TempDir dir;
  const std::string project = dir / "job.TW";
  {
    ProjectData data;
    data.HexDisplay = false;
    data.Rows[1].Packet = "41 42 0D";
    data.Rows[2].Trigger = "\"PING\"";
    data.Rows[2].Packet = "\"OK\"";
    data.Rows[3].Trigger = "GG";
    ProjectState writer;
    ASSERT_TRUE(Succeeded(writer.WriteProject(project, data)));
  }
  Pty wire;
  ASSERT_TRUE(wire.Ok());
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(), project,
                        "-triggerpart", "-send:1"});
  ASSERT_TRUE(tapwise.Started());
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM1 ")));
  EXPECT_EQ(wire.ReadFor(3), (Pty::Bytes{'A', 'B', '\r'}));
  // ASCII mode: the packet's text, its CR ending the line.
  ASSERT_TRUE(tapwise.ReadStdoutUntil(Contains("AB\r\n"))) << tapwise.Stdout();
  EXPECT_NE(tapwise.Stderr().find("tapwise: Error in Trigger Packet #3"), std::string::npos)
      << tapwise.Stderr();

  ASSERT_TRUE(wire.WriteAll({'x', 'P', 'I', 'N', 'G', 'y'}));
  EXPECT_EQ(wire.ReadFor(2), (Pty::Bytes{'O', 'K'}));
  // The trigger's text runs on in the open line, then the reply's; a CR
  // from the wire finishes the line.
  ASSERT_TRUE(wire.WriteAll({'\r'}));
  EXPECT_TRUE(tapwise.ReadStdoutUntil(Contains("AB\r\nxPINGyOK\r\n"))) << tapwise.Stdout();
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0);
}

}  // namespace
}  // namespace tapwise

namespace tapwise {
namespace {

// The resident memory of a process, in KiB; -1 when /proc does not say.
long ResidentKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string word;
  while (status >> word) {
    if (word == "VmRSS:") {
      long kib = -1;
      status >> kib;
      return kib;
    }
  }
  return -1;
}

// Files with no line end for gigabytes, and one line of 40 MB: playing them
// goes on (hex) or stops with the layout error (packet data) as the formats
// say; either way SIGTERM ends the program as usual, and memory stays where
// it was.
TEST(HeadlessProgram, FilesWithoutLineEndsNeitherHoldUpSigtermNorGrowMemory) {
  TempDir dir;
  const std::string sparse = dir / "sparse";
  TempDir::WriteFile(sparse, "");
  ASSERT_EQ(truncate(sparse.c_str(), off_t{20} << 30), 0);
  std::string longLine;
  for (int i = 0; i < 5; ++i) longLine += "41\r\nx\r\n";
  longLine += std::string(40 << 20, '4');
  TempDir::WriteFile(dir / "long.hex", longLine);
  longLine.clear();
  longLine.shrink_to_fit();
  struct Case {
    std::string play;
    std::string message;  // what playing ends with, if it ends
  };
  const Case cases[] = {
      {"-playhex:/dev/zero", ""},
      {"-playhex:" + sparse, ""},
      {"-play:" + sparse, "Invalid Packet Data file; playback stopped"},
      // Five packets 200 ms apart come first, so the long line is read
      // after the first look at the memory.
      {"-playhex:" + (dir / "long.hex"), ""},
  };
  Pty wire;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.play);
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(), c.play, "-playgap:2"});
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Playing "))) << tapwise.Stderr();
    const long before = ResidentKib(tapwise.Pid());
    if (!c.message.empty()) {
      EXPECT_TRUE(tapwise.ReadStderrUntil(Contains(c.message))) << tapwise.Stderr();
    }
    std::this_thread::sleep_for(2500ms);
    const long after = ResidentKib(tapwise.Pid());
    tapwise.Signal(SIGTERM);
    EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
    ASSERT_GT(before, 0);
    EXPECT_LT(after - before, 16 * 1024) << "KiB before " << before << ", after " << after;
    EXPECT_EQ(tapwise.Stderr().find("Playback finished"), std::string::npos) << tapwise.Stderr();
  }
}

// A recording that a file-size limit or a full disk stops: the program says
// so and goes on monitoring, and the file ends at the last whole packet, so
// that it plays back to its end without a layout error.
TEST(HeadlessProgram, ARecordingStoppedBySizeLimitOrFullDiskPlaysBackWhole) {
  struct Case {
    bool sizeLimit;
    const char* reason;
  };
  const Case cases[] = {{true, "File too large"}, {false, "No space left on device"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    TempDir dir;
    std::optional<SmallDisk> disk;
    if (!c.sizeLimit) {
      disk.emplace(16);
      if (!disk->Ok()) {
        std::printf("[   NOTE   ] mounting a tmpfs is not allowed here: no full-disk case\n");
        continue;
      }
    }
    const std::string path = c.sizeLimit ? dir / "r.DAT" : *disk / "r.DAT";
    Pty wire;
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(), "-record:" + path});
    if (c.sizeLimit) {
      // As `ulimit -f` would have set it; nothing is written before the
      // first packet comes, long after this.
      const rlimit limit{4000, 4000};
      ASSERT_EQ(prlimit(tapwise.Pid(), RLIMIT_FSIZE, &limit, nullptr), 0);
    }
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Recording "))) << tapwise.Stderr();
    Pty::Bytes burst(40);
    for (int i = 0; i < 200 && !tapwise.ReadStderrUntil(Contains("Recording stopped"), 40ms); ++i) {
      for (size_t j = 0; j < burst.size(); ++j) burst[j] = static_cast<uint8_t>(i + j);
      ASSERT_TRUE(wire.WriteAll(burst));
    }
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("monitoring goes on"))) << tapwise.Stderr();
    EXPECT_NE(tapwise.Stderr().find(std::string(c.reason) + "; monitoring goes on"), std::string::npos)
        << tapwise.Stderr();
    // Still monitoring: one more packet is shown.
    std::this_thread::sleep_for(100ms);
    tapwise.ReadStdoutUntil([](const std::string&) { return false; }, 100ms);
    const size_t shown = tapwise.Stdout().size();
    ASSERT_TRUE(wire.WriteAll({'!'}));
    EXPECT_TRUE(tapwise.ReadStdoutUntil(HasLines(shown / 82 + 1))) << tapwise.Stdout();
    tapwise.Signal(SIGTERM);
    EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();

    const std::string file = TempDir::ReadFile(path);
    EXPECT_GT(file.size(), 0u);
    EXPECT_EQ(file.size() % 82, 0u) << file.size();
    EXPECT_EQ(file, tapwise.Stdout().substr(0, file.size()));
    ChildProcess player({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(), "-play:" + path, "-playgap:0"});
    EXPECT_TRUE(player.ReadStderrUntil(Contains("Playback finished"), 10s)) << player.Stderr();
    player.Signal(SIGTERM);
    EXPECT_EQ(player.Wait(), 0);
    EXPECT_EQ(player.Stderr().find("Invalid Packet Data file"), std::string::npos) << player.Stderr();
  }
}

// The first run: within three seconds the demo shows COM97's played polls,
// COM98 receiving them, COM98's trigger answers and COM97 receiving those.
// COM97 and COM98 are written as the port characters 97 + 87 and 98 + 87.
TEST(HeadlessProgram, DemoShowsBothPortsAndTriggerRepliesAtOnce) {
  ChildProcess tapwise({TAPWISE_PROGRAM, "-demo", "-headless"});
  ASSERT_TRUE(tapwise.Started());
  const std::string played = "COM\xb8*";
  const std::string polled = "COM\xb9 ";
  const std::string answered = "COM\xb9*";
  const std::string answerReceived = "COM\xb8 ";
  // The temperature answer: 02 "01T=" ...
  const std::string temperature = " 02 30 31 54  3D ";
  auto all = [&](const std::string& out) {
    return out.find(played) != std::string::npos && out.find(polled) != std::string::npos &&
           out.find(answered) != std::string::npos && out.find(answerReceived) != std::string::npos &&
           out.find(temperature) != std::string::npos;
  };
  EXPECT_TRUE(tapwise.ReadStdoutUntil(all, 3s)) << tapwise.Stdout();
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
  // One line says what is going on and how to stop it.
  const std::string err = tapwise.Stderr();
  EXPECT_EQ(err.find("Demo (files in "), 0u) << err;
  EXPECT_NE(err.find("stop with Ctrl+C\n"), std::string::npos) << err;
  EXPECT_NE(err.find("COM97 "), std::string::npos) << err;
  EXPECT_NE(err.find("COM98 "), std::string::npos) << err;
  // The answer to a recorded poll follows that poll, out of the other port.
  const std::string out = tapwise.Stdout();
  const size_t answer = out.find(answered);
  ASSERT_NE(answer, std::string::npos);
  EXPECT_NE(out.rfind(polled, answer), std::string::npos);
}

}  // namespace
}  // namespace tapwise
