// tapwise-extcap as the packet analyser runs it: tshark with a personal
// extcap folder the test makes (never the system's), the live feed of a
// running `tapwise -headless -demo`, and ports of the test's own
// (pseudo-terminals) captured with no monitor running. Every packet tshark
// captures is compared with what the monitor itself wrote or what the test
// sent: port, direction, bytes, order and time.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/PcapngBlocks.h"
#include "support/Pty.h"
#include "support/TempDir.h"
#include "support/Tshark.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

// One packet as both sides can state it.
struct SeenPacket {
  std::string Port;        // "COM97"
  bool Transmitted = false;
  std::string Time;        // local hh:mm:ss.uuuuuu
  std::string Hex;         // lower-case hex digits
  bool operator==(const SeenPacket&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SeenPacket& packet) {
  return out << packet.Port << (packet.Transmitted ? "*" : " ") << packet.Time << " " << packet.Hex;
}

// The monitor's own packet lines, as written with -time:us -portlabel:full
// to a pipe: "COM97*hh:mm:ss.uuuuuu 02 30 31 ..." and continuation lines,
// the hex digits in 50 columns after the 22-column header.
std::vector<SeenPacket> MonitorPackets(const std::string& out) {
  constexpr size_t Header = 22;
  std::vector<SeenPacket> packets;
  size_t start = 0;
  while (start < out.size()) {
    size_t end = out.find("\r\n", start);
    if (end == std::string::npos) break;
    const std::string line = out.substr(start, end - start);
    start = end + 2;
    if (line.size() < Header + 50) continue;
    if (line[0] != ' ') {
      packets.push_back({line.substr(0, 5), line[5] == '*', line.substr(6, 15), ""});
    }
    if (packets.empty()) continue;
    for (size_t i = 0; i < 16; ++i) {
      const size_t at = Header + (i / 4) * 13 + (i % 4) * 3;
      if (line[at] == ' ') break;
      packets.back().Hex += static_cast<char>(std::tolower(static_cast<unsigned char>(line[at])));
      packets.back().Hex += static_cast<char>(std::tolower(static_cast<unsigned char>(line[at + 1])));
    }
  }
  return packets;
}

// "1796787569.837889000" as the monitor writes that instant: local time.
std::string LocalTime(const std::string& epoch) {
  const size_t dot = epoch.find('.');
  const time_t seconds = static_cast<time_t>(std::stoll(epoch.substr(0, dot)));
  tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof(text), "%02d:%02d:%02d.%s", local.tm_hour, local.tm_min, local.tm_sec,
                epoch.substr(dot + 1, 6).c_str());
  return text;
}

const std::vector<std::string> PacketFields = {"frame.interface_name", "frame.time_epoch",
                                               "frame.packet_flags_direction", "data.data"};

// tshark's -T fields rows of PacketFields.
std::vector<SeenPacket> TsharkPackets(const std::string& out) {
  std::vector<SeenPacket> packets;
  for (const std::vector<std::string>& row : FieldRows(out)) {
    if (row.size() < 4) continue;
    packets.push_back({row[0], row[2] == "0x00000002", LocalTime(row[1]), row[3]});
  }
  return packets;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

class ExtcapProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    TAPWISE_REQUIRE_TSHARK();
    // Wireshark 4.0's personal extcap folder is the one under its
    // configuration folder; the program is linked in as a user would.
    const std::string extcapFolder = dir / "config/wireshark/extcap";
    std::filesystem::create_directories(extcapFolder);
    std::filesystem::create_symlink(TAPWISE_EXTCAP, extcapFolder + "/tapwise-extcap");
    ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
      const char* value = std::getenv(name);
      savedEnvironment.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    ::setenv("HOME", dir.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : savedEnvironment) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }

  // The demo, on its own two ports only, writing microsecond times and full
  // port names; returns once its live feed is there.
  std::unique_ptr<ChildProcess> StartDemo() {
    auto demo = std::make_unique<ChildProcess>(std::vector<std::string>{
        TAPWISE_PROGRAM, "-headless", "-demo", "-only:97,98", "-time:us", "-portlabel:full"});
    EXPECT_TRUE(demo->ReadStderrUntil(Contains("Playing "), 10s)) << demo->Stderr();
    EXPECT_TRUE(WaitForSocket(std::to_string(demo->Pid())));
    return demo;
  }
  bool WaitForSocket(const std::string& pid, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      for (const auto& entry : std::filesystem::directory_iterator(runtime + "/tapwise", error)) {
        const std::string name = entry.path().filename().string();
        if (pid.empty() || name == "live-" + pid + ".sock") return true;
      }
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  static TsharkRun Tshark(const std::vector<std::string>& args, std::chrono::seconds limit = 60s) {
    std::vector<std::string> argv = {TsharkPath(), "-n"};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess tshark(argv);
    TsharkRun run;
    run.Status = tshark.Wait(limit);
    run.Out = tshark.Stdout();
    run.Err = tshark.Stderr();
    return run;
  }
  static std::vector<std::string> FieldArgs() {
    std::vector<std::string> args = {"-T", "fields", "-E", "separator=/t", "-E", "aggregator=,"};
    for (const std::string& field : PacketFields) args.insert(args.end(), {"-e", field});
    return args;
  }

  TempDir dir;
  std::string runtime = dir / "run";
  std::error_code error;
  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment;
};

TEST_F(ExtcapProgram, TsharkListsEachPortOfARunningMonitorAndAllPorts) {
  const TsharkRun none = Tshark({"-D"});
  ASSERT_EQ(none.Status, 0) << none.Err;
  EXPECT_NE(none.Out.find(". tapwise-all (Tapwise: all ports)\n"), std::string::npos) << none.Out;

  const std::unique_ptr<ChildProcess> demo = StartDemo();
  const std::string pid = std::to_string(demo->Pid());
  const TsharkRun listed = Tshark({"-D"});
  ASSERT_EQ(listed.Status, 0) << listed.Err;
  for (const std::string& line :
       {". tapwise-" + pid + "-com97 (Tapwise " + pid + ": COM97 /dev/pts/",
        ". tapwise-" + pid + "-com98 (Tapwise " + pid + ": COM98 /dev/pts/",
        ". tapwise-" + pid + "-all (Tapwise " + pid + ": all ports)\n"}) {
    EXPECT_NE(listed.Out.find(line), std::string::npos) << line << "\n" << listed.Out;
  }
  // With a monitor running its ports are its own: none is offered to open here.
  EXPECT_EQ(listed.Out.find(". tapwise-all "), std::string::npos) << listed.Out;
  demo->Signal(SIGTERM);
  EXPECT_EQ(demo->Wait(), 0);
}

// The demo's traffic through the analyser: every packet of the capture is
// the monitor's own, in its order, to the microsecond.
TEST_F(ExtcapProgram, ACaptureOfARunningMonitorIsTheMonitorsOwnPackets) {
  const std::unique_ptr<ChildProcess> demo = StartDemo();
  const std::string pid = std::to_string(demo->Pid());
  for (const std::string interface : {"all", "com98"}) {
    std::vector<std::string> args = {"-i", "tapwise-" + pid + "-" + interface, "-a", "duration:3"};
    const std::vector<std::string> fields = FieldArgs();
    args.insert(args.end(), fields.begin(), fields.end());
    const TsharkRun capture = Tshark(args);
    ASSERT_EQ(capture.Status, 0) << capture.Err;
    const std::vector<SeenPacket> captured = TsharkPackets(capture.Out);
    ASSERT_GE(captured.size(), 4u) << interface << "\n" << capture.Out << capture.Err;

    demo->ReadStdoutUntil([](const std::string&) { return false; }, 300ms);
    std::vector<SeenPacket> own = MonitorPackets(demo->Stdout());
    if (interface == "com98") std::erase_if(own, [](const SeenPacket& p) { return p.Port != "COM98"; });
    size_t first = 0;
    while (first < own.size() && !(own[first] == captured[0])) ++first;
    ASSERT_LT(first, own.size()) << "not among the monitor's packets: " << captured[0];
    ASSERT_LE(first + captured.size(), own.size());
    for (size_t i = 0; i < captured.size(); ++i) EXPECT_EQ(captured[i], own[first + i]) << interface << " " << i;
    // Both ports and both directions of the demo when all ports are asked for.
    const auto has = [&](const char* port, bool sent) {
      return std::any_of(captured.begin(), captured.end(),
                         [&](const SeenPacket& p) { return p.Port == port && p.Transmitted == sent; });
    };
    EXPECT_TRUE(has("COM98", false) && has("COM98", true)) << interface;
    EXPECT_EQ(has("COM97", false) && has("COM97", true), interface == "all");
  }
  demo->Signal(SIGTERM);
  EXPECT_EQ(demo->Wait(), 0) << demo->Stderr();
}

// No monitor running: the extcap opens the test's ports itself, mapped and
// chosen in the capture's configuration, and nothing else.
TEST_F(ExtcapProgram, WithoutAMonitorTheCaptureOpensTheChosenPortsItself) {
  Pty first;
  Pty second;
  ASSERT_TRUE(first.Ok() && second.Ok());
  std::vector<std::string> args = {"-i", "tapwise-all",
                                   "-o", "extcap.tapwise_all.map:40=" + first.SlavePath() + " 41=" + second.SlavePath(),
                                   "-o", "extcap.tapwise_all.ports:40,41",
                                   "-o", "extcap.tapwise_all.gap:20",
                                   "-a", "duration:4"};
  const std::vector<std::string> fields = FieldArgs();
  args.insert(args.end(), fields.begin(), fields.end());
  std::vector<std::string> argv = {TsharkPath(), "-n"};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess tshark(argv);
  // The capture's own session serves a live feed: its ports are open then.
  ASSERT_TRUE(WaitForSocket("")) << "the capture did not start";
  const auto before = std::chrono::system_clock::now();
  std::vector<SeenPacket> sent;
  for (int i = 0; i < 6; ++i) {
    const Pty& pty = i % 2 == 0 ? first : second;
    const std::string bytes = "\x01\x03 packet " + std::to_string(i) + std::string(i * 7, static_cast<char>('a' + i));
    ASSERT_TRUE(pty.WriteAll(Pty::Bytes(bytes.begin(), bytes.end())));
    sent.push_back({i % 2 == 0 ? "COM40" : "COM41", false, "", Hex(bytes)});
    std::this_thread::sleep_for(120ms);
  }
  const auto after = std::chrono::system_clock::now();
  ASSERT_EQ(tshark.Wait(60s), 0) << tshark.Stderr();
  const std::vector<std::vector<std::string>> rows = FieldRows(tshark.Stdout());
  ASSERT_EQ(rows.size(), sent.size()) << tshark.Stdout() << tshark.Stderr();
  const auto micros = [](std::chrono::system_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
  };
  int64_t previous = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const SeenPacket got{rows[i][0], rows[i][2] == "0x00000002", "", rows[i][3]};
    EXPECT_EQ(got, sent[i]) << i;
    const std::string& epoch = rows[i][1];
    const int64_t at = std::stoll(epoch.substr(0, epoch.find('.'))) * 1'000'000 +
                       std::stoll(epoch.substr(epoch.find('.') + 1, 6));
    EXPECT_GE(at, micros(before) - 1000) << i;
    EXPECT_LE(at, micros(after)) << i;
    EXPECT_GT(at, previous) << i;
    previous = at;
  }
  // The extcap said nothing: the analyser would show it as an error.
  EXPECT_EQ(tshark.Stderr().find("tapwise-extcap"), std::string::npos) << tshark.Stderr();
}

// The FIFO as the analyser makes it, read by the test; the stop signal
// comes while packets flow.
class ExtcapSignal : public ExtcapProgram {
 protected:
  void SetUp() override {
    ExtcapProgram::SetUp();
    if (IsSkipped()) return;
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
  }
  void TearDown() override {
    if (reader >= 0) ::close(reader);
    ExtcapProgram::TearDown();
  }
  // Reads what the FIFO has for the given time.
  void ReadFor(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      char buffer[65536];
      const ssize_t n = ::read(reader, buffer, sizeof(buffer));
      if (n > 0) {
        received.append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (std::chrono::steady_clock::now() >= deadline) return;
      pollfd in{reader, POLLIN, 0};
      (void)::poll(&in, 1, 20);
    }
  }
  // Stops the capture with SIGTERM once it has written `packets` blocks
  // past its interfaces, and checks it ended as it should.
  void StopMidCapture(ChildProcess& extcap, size_t packets) {
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (std::chrono::steady_clock::now() < deadline && ReadPcapngBlocks(received).Blocks.size() < packets + 3) {
      ReadFor(50ms);
    }
    extcap.Signal(SIGTERM);
    // Read on while it stops, so its last blocks are not held up.
    std::thread drain([&] { ReadFor(3s); });
    EXPECT_EQ(extcap.Wait(15s), 0) << extcap.Stderr();
    drain.join();
    ReadFor(100ms);
    EXPECT_EQ(extcap.Stderr(), "");
    const PcapngFile file = ReadPcapngBlocks(received);
    EXPECT_EQ(file.Error, "") << received.size();
    EXPECT_GE(file.Blocks.size(), packets + 2);
    const std::string saved = dir / "stopped.pcapng";
    TempDir::WriteFile(saved, received);
    const TsharkRun read = RunTsharkFields(saved, {"frame.number"});
    EXPECT_EQ(read.Status, 0) << read.Err;
    EXPECT_EQ(read.Err.find("cut short"), std::string::npos) << read.Err;
  }

  std::string fifo = dir / "capture.fifo";
  int reader = -1;
  std::string received;
};

TEST_F(ExtcapSignal, SigtermMidCaptureOfAMonitorExitsZeroAndLeavesAReadableFile) {
  const std::unique_ptr<ChildProcess> demo = StartDemo();
  ChildProcess extcap({TAPWISE_EXTCAP, "--capture", "--extcap-interface",
                       "tapwise-" + std::to_string(demo->Pid()) + "-all", "--fifo", fifo});
  StopMidCapture(extcap, 6);
  demo->Signal(SIGTERM);
  EXPECT_EQ(demo->Wait(), 0);
}

TEST_F(ExtcapSignal, SigtermMidCaptureOfItsOwnPortsExitsZeroAndLeavesAReadableFile) {
  Pty line;
  ASSERT_TRUE(line.Ok());
  ChildProcess extcap({TAPWISE_EXTCAP, "--capture", "--extcap-interface", "tapwise-all", "--fifo", fifo, "--map",
                       "5=" + line.SlavePath(), "--ports", "5", "--gap", "5"});
  ASSERT_TRUE(WaitForSocket(std::to_string(extcap.Pid())));
  std::atomic<bool> stop{false};
  std::thread device([&] {
    const Pty::Bytes packet(200, 0x55);
    while (!stop) {
      (void)line.WriteAll(packet);
      std::this_thread::sleep_for(8ms);
    }
  });
  StopMidCapture(extcap, 20);
  stop = true;
  device.join();
}

// The analyser closes its end (the user stopped the capture): the extcap
// ends without a word, and the monitor it read from goes on.
TEST_F(ExtcapSignal, TheReaderClosingTheFifoEndsTheCaptureQuietly) {
  const std::unique_ptr<ChildProcess> demo = StartDemo();
  ChildProcess extcap({TAPWISE_EXTCAP, "--capture", "--extcap-interface",
                       "tapwise-" + std::to_string(demo->Pid()) + "-com97", "--fifo", fifo});
  ReadFor(1500ms);
  EXPECT_GE(ReadPcapngBlocks(received).Blocks.size(), 2u);
  ::close(reader);
  reader = -1;
  EXPECT_EQ(extcap.Wait(10s), 0) << extcap.Stderr();
  EXPECT_EQ(extcap.Stderr(), "");
  const size_t before = demo->Stdout().size();
  EXPECT_TRUE(demo->ReadStdoutUntil([&](const std::string& out) { return out.size() > before + 200; }, 5s));
  demo->Signal(SIGTERM);
  EXPECT_EQ(demo->Wait(), 0);
}

// An interface listed before the monitor started names a port the monitor
// now holds: the capture reads it from the monitor's feed instead of
// failing to open it.
TEST_F(ExtcapProgram, APortThatARunningMonitorHoldsIsReadFromItsFeed) {
  const std::unique_ptr<ChildProcess> demo = StartDemo();
  const std::string file = dir / "com98.pcapng";
  ChildProcess extcap({TAPWISE_EXTCAP, "--capture", "--extcap-interface", "tapwise-com98", "--fifo", file});
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (std::chrono::steady_clock::now() < deadline &&
         (!std::filesystem::exists(file) || ReadPcapngBlocks(TempDir::ReadFile(file)).Blocks.size() < 4)) {
    std::this_thread::sleep_for(50ms);
  }
  extcap.Signal(SIGTERM);
  EXPECT_EQ(extcap.Wait(), 0) << extcap.Stderr();
  EXPECT_EQ(extcap.Stderr(), "");
  const PcapngFile read = ReadPcapngBlocks(TempDir::ReadFile(file));
  ASSERT_EQ(read.Error, "");
  ASSERT_GE(read.Blocks.size(), 4u);
  // The monitor's one interface for the port, then its packets.
  EXPECT_EQ(read.Blocks[1].Option(2), "COM98");
  EXPECT_NE(read.Blocks[1].Option(3).find("(pair with COM97)"), std::string::npos) << read.Blocks[1].Option(3);
  for (size_t i = 2; i < read.Blocks.size(); ++i) EXPECT_EQ(read.Blocks[i].Interface, 0u);
  demo->Signal(SIGTERM);
  EXPECT_EQ(demo->Wait(), 0);
}

TEST_F(ExtcapProgram, WhatCannotBeCapturedIsSaidOnStandardError) {
  struct Case {
    std::vector<std::string> Args;
    int Status;
    std::string Err;
  };
  const std::string fifo = dir / "out.pcapng";
  const std::vector<Case> cases = {
      {{"--capture", "--extcap-interface", "sshdump", "--fifo", fifo}, 2,
       "tapwise-extcap: sshdump is not an interface of this program\n"},
      {{"--capture", "--extcap-interface", "tapwise-999999999-all", "--fifo", fifo}, 1,
       "tapwise-extcap: cannot reach the monitor (process 999999999): No such file or directory\n"},
      {{"--capture", "--extcap-interface", "tapwise-all", "--fifo", fifo, "--map", "7=" + dir / "none",
        "--ports", "7"},
       1, "tapwise-extcap: "},
      {{"--extcap-config"}, 2, "tapwise-extcap: --extcap-config needs --extcap-interface\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {TAPWISE_EXTCAP};
    argv.insert(argv.end(), c.Args.begin(), c.Args.end());
    ChildProcess extcap(argv);
    EXPECT_EQ(extcap.Wait(), c.Status) << c.Args[2];
    EXPECT_EQ(extcap.Stderr().substr(0, c.Err.size()), c.Err) << extcap.Stderr();
    EXPECT_EQ(extcap.Stdout(), "");
  }
  // A live-feed folder others may enter is not read from, and not listed.
  ASSERT_EQ(::mkdir((runtime + "/tapwise").c_str(), 0755), 0);
  ASSERT_EQ(::chmod((runtime + "/tapwise").c_str(), 0755), 0);
  TempDir::WriteFile(runtime + "/tapwise/live-" + std::to_string(::getpid()) + ".sock", "");
  ChildProcess foreign({TAPWISE_EXTCAP, "--capture", "--extcap-interface",
                        "tapwise-" + std::to_string(::getpid()) + "-all", "--fifo", fifo});
  EXPECT_EQ(foreign.Wait(), 1);
  EXPECT_EQ(foreign.Stderr(), "tapwise-extcap: " + runtime +
                                  "/tapwise is not a folder of this user's closed to others; no live feed is read "
                                  "from it\n");
  ChildProcess list({TAPWISE_EXTCAP, "--extcap-interfaces"});
  EXPECT_EQ(list.Wait(), 0);
  EXPECT_EQ(list.Stdout().find("tapwise-" + std::to_string(::getpid())), std::string::npos) << list.Stdout();
}

}  // namespace
}  // namespace tapwise
