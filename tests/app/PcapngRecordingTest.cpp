// The tapwise program recording pcapng over pseudo-terminals, read back by
// tshark: the same packets, ports, directions and times as the packet data
// it prints, Modbus RTU decoded through the user link type, and a recording
// cut by the file size limit still readable.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/config/ProjectData.h"
#include "core/config/ProjectState.h"
#include "support/ChildProcess.h"
#include "support/PcapngBlocks.h"
#include "support/Pty.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"
#include "support/Tshark.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

auto HasLines(size_t count) {
  return [count](const std::string& out) {
    size_t lines = 0;
    for (size_t at = out.find("\r\n"); at != std::string::npos; at = out.find("\r\n", at + 2)) ++lines;
    return lines >= count;
  };
}

auto Contains(const std::string& text) {
  return [text](const std::string& out) { return out.find(text) != std::string::npos; };
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char cell[3];
  for (uint8_t byte : bytes) {
    std::snprintf(cell, sizeof cell, "%02x", byte);
    out += cell;
  }
  return out;
}

// A packet as the headless monitor printed it (a packet data file).
struct ShownPacket {
  std::string Port;  // "COM1"
  bool Sent = false;
  int Tenths = 0;  // minutes, seconds and tenths as tenths of the hour
  std::vector<uint8_t> Bytes;
};

int HexValue(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

std::vector<ShownPacket> ParsePacketData(const std::string& out) {
  std::vector<ShownPacket> packets;
  for (size_t at = 0; at + 82 <= out.size(); at += 82) {
    const std::string line = out.substr(at, 80);
    if (line[0] != ' ') {
      ShownPacket packet;
      // Above COM127 the character is past 127: unsigned, or it reads as a digit.
      const auto port = static_cast<unsigned char>(line[3]);
      packet.Port = "COM" + std::to_string(port <= '9' ? port - '0' : port - 87);
      packet.Sent = line[4] == '*';
      packet.Tenths = (std::stoi(line.substr(5, 2)) * 60 + std::stoi(line.substr(8, 2))) * 10 + (line[11] - '0');
      packets.push_back(packet);
    }
    for (int j = 0; j < 16 && !packets.empty(); ++j) {
      const size_t column = 13 + 3 * j + j / 4;
      if (line[column] == ' ') break;
      packets.back().Bytes.push_back(static_cast<uint8_t>(HexValue(line[column]) * 16 + HexValue(line[column + 1])));
    }
  }
  return packets;
}

// An epoch time as tshark prints it ("1717171717.123456000"), in microseconds.
int64_t EpochMicroseconds(const std::string& text) {
  const size_t dot = text.find('.');
  return std::stoll(text.substr(0, dot)) * 1'000'000 + std::stoll(text.substr(dot + 1, 6));
}

// The local minutes, seconds and tenths of an instant, as the monitor shows them.
int LocalTenths(int64_t unixUs) {
  const time_t seconds = static_cast<time_t>(unixUs / 1'000'000);
  tm local{};
  localtime_r(&seconds, &local);
  return (local.tm_min * 60 + local.tm_sec) * 10 + static_cast<int>(unixUs % 1'000'000 / 100'000);
}

std::string WriteProject(const TempDir& dir, const std::string& send, const std::string& trigger,
                         const std::string& reply) {
  const std::string path = dir / "job.TW";
  ProjectData data;
  data.Rows[1].Packet = send;
  data.Rows[2].Trigger = trigger;
  data.Rows[2].Packet = reply;
  ProjectState writer;
  EXPECT_TRUE(Succeeded(writer.WriteProject(path, data)));
  return path;
}

// The Modbus RTU frame check: CRC-16 with polynomial 0xA001, low byte first.
std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : frame) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  frame.push_back(static_cast<uint8_t>(crc));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

std::string HexText(const std::vector<uint8_t>& bytes) {
  std::string text;
  char cell[4];
  for (uint8_t byte : bytes) {
    std::snprintf(cell, sizeof cell, "%02X ", byte);
    text += cell;
  }
  return text;
}

TEST(PcapngRecording, TwoPortsBothDirectionsReadBackAsTheMonitorShowedThem) {
  TAPWISE_REQUIRE_TSHARK();
  Pty first;
  Pty second;
  ASSERT_TRUE(first.Ok() && second.Ok());
  TempDir dir;
  const std::string project = WriteProject(dir, "01 02 03", "\"PING\"", "\"PONG\"");
  // The extension chooses the format, whatever its case.
  const std::string file = dir / "two.PCAPNG";
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + first.SlavePath(),
                        "-port:2=" + second.SlavePath(), project, "-trigger", "-select:1", "-send:1",
                        "-record:" + file});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Recording "))) << tapwise.Stderr();
  EXPECT_EQ(first.ReadFor(3), (Pty::Bytes{1, 2, 3}));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(1))) << tapwise.Stdout();
  // A trigger and its reply on the second port, a few tenths later.
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(second.WriteAll({'P', 'I', 'N', 'G'}));
  EXPECT_EQ(second.ReadFor(4), (Pty::Bytes{'P', 'O', 'N', 'G'}));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(3))) << tapwise.Stdout();
  std::this_thread::sleep_for(300ms);
  Pty::Bytes forty(40);
  for (size_t i = 0; i < forty.size(); ++i) forty[i] = static_cast<uint8_t>(0xC0 + i);
  ASSERT_TRUE(first.WriteAll(forty));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(6))) << tapwise.Stdout();
  tapwise.Signal(SIGINT);
  ASSERT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();

  const std::vector<ShownPacket> shown = ParsePacketData(tapwise.Stdout());
  ASSERT_EQ(shown.size(), 4u) << tapwise.Stdout();
  const TsharkRun run = RunTsharkFields(file, {"frame.interface_name", "frame.interface_description",
                                               "frame.packet_flags_direction", "frame.time_epoch", "data"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto rows = FieldRows(run.Out);
  ASSERT_EQ(rows.size(), shown.size()) << run.Out;
  int64_t previous = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("packet " + std::to_string(i));
    ASSERT_EQ(rows[i].size(), 5u);
    EXPECT_EQ(rows[i][0], shown[i].Port);
    EXPECT_EQ(rows[i][1], shown[i].Port == "COM1" ? first.SlavePath() : second.SlavePath());
    EXPECT_EQ(rows[i][2], shown[i].Sent ? "0x00000002" : "0x00000001");
    EXPECT_EQ(rows[i][4], Hex(shown[i].Bytes));
    const int64_t instant = EpochMicroseconds(rows[i][3]);
    EXPECT_GT(instant, previous);
    previous = instant;
    // The printed time rounds to the millisecond before it cuts to tenths.
    const int difference = (LocalTenths(instant) - shown[i].Tenths + 36000) % 36000;
    EXPECT_TRUE(difference <= 1 || difference == 35999) << rows[i][3] << " shown as tenth " << shown[i].Tenths;
  }
  // What went where, in the order the drain took it.
  std::vector<std::string> traffic;
  for (const ShownPacket& packet : shown) traffic.push_back(packet.Port + (packet.Sent ? "*" : " ") + Hex(packet.Bytes));
  EXPECT_EQ(traffic[0], "COM1*010203");
  EXPECT_EQ(traffic[3], "COM1 " + Hex(forty));
  std::sort(traffic.begin() + 1, traffic.begin() + 3);
  EXPECT_EQ(traffic[1], "COM2 50494e47");
  EXPECT_EQ(traffic[2], "COM2*504f4e47");
}

// The demo plays while its traffic is recorded, whichever option names the
// pcapng file: the recording holds exactly what the monitor printed.
TEST(PcapngRecording, TheDemoIsRecordedWhileItPlays) {
  TAPWISE_REQUIRE_TSHARK();
  TempDir dir;
  for (const std::string option : {"-record:", "-recordpcapng:"}) {
    SCOPED_TRACE(option);
    const std::string file = dir / "demo.pcapng";
    ChildProcess tapwise({TAPWISE_PROGRAM, "-demo", "-headless", option + file});
    // Two polls and their answers.
    ASSERT_TRUE(tapwise.ReadStdoutUntil(
        [](const std::string& out) { return std::count(out.begin(), out.end(), '*') >= 4; }, 10s))
        << tapwise.Stderr();
    tapwise.Signal(SIGTERM);
    ASSERT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
    EXPECT_NE(tapwise.Stderr().find("Recording " + file), std::string::npos) << tapwise.Stderr();

    const std::vector<ShownPacket> shown = ParsePacketData(tapwise.Stdout());
    const TsharkRun run = RunTsharkFields(file, {"frame.interface_name", "frame.packet_flags_direction", "data"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto rows = FieldRows(run.Out);
    ASSERT_GE(rows.size(), 4u) << run.Out;
    ASSERT_EQ(rows.size(), shown.size()) << run.Out;
    std::set<std::string> ports;
    for (size_t i = 0; i < rows.size(); ++i) {
      SCOPED_TRACE("packet " + std::to_string(i));
      ASSERT_EQ(rows[i].size(), 3u);
      EXPECT_EQ(rows[i][0], shown[i].Port);
      EXPECT_EQ(rows[i][1], shown[i].Sent ? "0x00000002" : "0x00000001");
      EXPECT_EQ(rows[i][2], Hex(shown[i].Bytes));
      ports.insert(rows[i][0]);
    }
    EXPECT_EQ(ports, (std::set<std::string>{"COM97", "COM98"}));
  }
}

// A played hex file captured in the same run, as a packet data file: what
// the recording holds is what the monitor printed, the played packets sent
// on COM1 and received on COM2. The file being played cannot also be the
// one recorded.
TEST(PcapngRecording, AFilePlaysWhileAnotherRecords) {
  TempDir dir;
  const std::string played = dir / "test.hex";
  {
    std::FILE* out = std::fopen(played.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("01 03 00 00 00 02\r\n--\r\n41 42 43\r\n", out);
    std::fclose(out);
  }
  const std::string recorded = dir / "capture.DAT";
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-pair:1,2", "-select:1", "-playhex:" + played,
                        "-playgap:0", "-record:" + recorded});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Playback finished"), 10s)) << tapwise.Stderr();
  // What was sent, and what arrived (the far end may take the two packets
  // as one when the machine is slow to look).
  auto split = [](const std::string& out) {
    std::vector<std::string> sent;
    std::string received;
    for (const ShownPacket& packet : ParsePacketData(out)) {
      if (packet.Sent) sent.push_back(packet.Port + "*" + Hex(packet.Bytes));
      if (!packet.Sent) received += packet.Port + " " + Hex(packet.Bytes) + ";";
    }
    return std::make_pair(sent, received);
  };
  const std::string arrived = "010300000002414243";
  ASSERT_TRUE(tapwise.ReadStdoutUntil([&](const std::string& out) {
    std::string bytes;
    for (const ShownPacket& packet : ParsePacketData(out)) {
      if (!packet.Sent) bytes += Hex(packet.Bytes);
    }
    return bytes.size() >= arrived.size();
  })) << tapwise.Stdout();
  tapwise.Signal(SIGTERM);
  ASSERT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
  const std::string file = TempDir::ReadFile(recorded);
  EXPECT_EQ(file, tapwise.Stdout());
  const auto [sent, received] = split(file);
  EXPECT_EQ(sent, (std::vector<std::string>{"COM1*010300000002", "COM1*414243"}));
  EXPECT_TRUE(received == "COM2 010300000002;COM2 414243;" || received == "COM2 " + arrived + ";") << received;

  ChildProcess same({TAPWISE_PROGRAM, "-headless", "-pair:1,2", "-playhex:" + played, "-record:" + played});
  EXPECT_EQ(same.Wait(), 2);
  EXPECT_NE(same.Stderr().find("tapwise: a file cannot be recorded and played at the same time"), std::string::npos)
      << same.Stderr();
  EXPECT_EQ(TempDir::ReadFile(played).substr(0, 2), "01");
}

TEST(PcapngRecording, ModbusRtuOverAVirtualPairDecodesAsReadHoldingRegisters) {
  TAPWISE_REQUIRE_TSHARK();
  TempDir dir;
  // Unit 17 asks for 3 registers from 107; the answer is 0xAE41, 0x5652, 0x4340.
  const std::vector<uint8_t> request = WithCrc({0x11, 0x03, 0x00, 0x6B, 0x00, 0x03});
  const std::vector<uint8_t> response = WithCrc({0x11, 0x03, 0x06, 0xAE, 0x41, 0x56, 0x52, 0x43, 0x40});
  ASSERT_EQ(Hex(request), "1103006b00037687");
  const std::string project = WriteProject(dir, HexText(request), HexText(request), HexText(response));
  const std::string file = dir / "modbus";
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-pair:1,2", project, "-trigger", "-select:1", "-send:1",
                        "-recordpcapng:" + file, "-linktype:147"});
  ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(4))) << tapwise.Stdout() << tapwise.Stderr();
  tapwise.Signal(SIGINT);
  ASSERT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();

  const TsharkRun run = RunTsharkFields(
      file,
      {"frame.interface_name", "frame.packet_flags_direction", "mbrtu.unit_id", "modbus.func_code",
       "modbus.reference_num", "modbus.word_cnt", "modbus.regval_uint16", "mbrtu.crc16.status"},
      {ModbusRtuUserDlt, "mbrtu.crc_verification:TRUE"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const auto rows = FieldRows(run.Out);
  ASSERT_EQ(rows.size(), 4u) << run.Out;
  const std::vector<std::string> question = {"17", "3", "107", "3", "", "1"};
  const std::vector<std::string> answer = {"17", "3", "", "", "44609,22098,17216", "1"};
  std::vector<std::string> seen;
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 8u) << run.Out;
    const std::vector<std::string> decoded(row.begin() + 2, row.end());
    EXPECT_TRUE(decoded == question || decoded == answer) << run.Out;
    seen.push_back(row[0] + (row[1] == "0x00000002" ? " sent " : " received ") +
                   (decoded == question ? "request" : "response"));
  }
  // The request leaves COM1 and arrives on COM2; the reply goes back.
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{"COM1 received response", "COM1 sent request",
                                            "COM2 received request", "COM2 sent response"}));
}

TEST(PcapngRecording, ARecordingCutByTheFileSizeLimitEndsAtItsLastWholePacket) {
  TAPWISE_REQUIRE_TSHARK();
  const char* prlimit = "/usr/bin/prlimit";
  if (access(prlimit, X_OK) != 0) GTEST_SKIP() << "prlimit (util-linux) is missing";
  Pty wire;
  ASSERT_TRUE(wire.Ok());
  TempDir dir;
  const std::string file = dir / "cut.pcapng";
  // Room for the headers and five packets of 200 bytes (236 bytes each);
  // the sixth is cut in the middle of its block.
  const size_t limit = 1500;
  ChildProcess tapwise({prlimit, "--fsize=" + std::to_string(limit), TAPWISE_PROGRAM, "-headless",
                        "-port:1=" + wire.SlavePath(), "-recordpcapng:" + file});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Recording "))) << tapwise.Stderr();
  std::vector<Pty::Bytes> sent;
  for (int i = 0; i < 8; ++i) {
    sent.push_back(Pty::Bytes(200, static_cast<uint8_t>('a' + i)));
    ASSERT_TRUE(wire.WriteAll(sent.back()));
    ASSERT_TRUE(tapwise.ReadStdoutUntil(HasLines(13 * sent.size()))) << tapwise.Stderr();
  }
  // The same message as any other recording that cannot be written; the
  // monitor went on showing every packet.
  EXPECT_TRUE(tapwise.ReadStderrUntil(
      Contains("Recording stopped: cannot write to " + file + ": File too large; monitoring goes on")))
      << tapwise.Stderr();
  tapwise.Signal(SIGINT);
  ASSERT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();

  const std::string bytes = TempDir::ReadFile(file);
  const PcapngFile blocks = ReadPcapngBlocks(bytes);
  EXPECT_EQ(blocks.Error, "");
  EXPECT_LE(bytes.size(), limit);
  const TsharkRun run = RunTsharkFields(file, {"data"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err.find("cut short"), std::string::npos) << run.Err;
  const auto rows = FieldRows(run.Out);
  ASSERT_EQ(rows.size(), 5u) << run.Out;
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i][0], Hex(sent[i])) << i;
}

TEST(PcapngRecording, ABadLinkTypeIsRefused) {
  Pty wire;
  TempDir dir;
  for (const char* option : {"-linktype:65536", "-linktype:user0"}) {
    SCOPED_TRACE(option);
    ChildProcess tapwise(
        {TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(), "-recordpcapng:" + (dir / "x"), option});
    EXPECT_EQ(tapwise.Wait(), 2);
    EXPECT_NE(tapwise.Stderr().find("-linktype: takes a link type from 0 to 65535"), std::string::npos)
        << tapwise.Stderr();
  }
}

}  // namespace
}  // namespace tapwise
