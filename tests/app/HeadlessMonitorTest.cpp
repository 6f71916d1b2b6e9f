#include "app/HeadlessMonitor.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "core/capture/TWComms.h"
#include "core/session/PacketFanOut.h"
#include "support/FakeOpener.h"

namespace tapwise {
namespace {

PacketRecord Packet(const std::string& bytes) {
  PacketRecord record{};
  record.Port = 1;
  record.Time = 45000.0 + (12 * 3600 + 3 * 60 + 4.5) / 86400.0;
  record.Length = static_cast<uint16_t>(bytes.size());
  std::memcpy(record.Data, bytes.data(), bytes.size());
  return record;
}

TEST(HeadlessMonitor, FileOutputIsPacketDataAndTerminalOutputIsUtf8) {
  PacketRecord record = Packet(std::string("A\x01\xff", 3) + std::string(14, 'b'));

  std::string file = HeadlessMonitor(-1, false).FormatPacket(record);
  ASSERT_EQ(file.size(), 2 * 82u);
  EXPECT_EQ(file.substr(0, 12), "COM1 03:04.5");
  EXPECT_EQ(file.substr(64, 18), std::string("A\xb7\xff", 3) + std::string(13, 'b') + "\r\n");
  EXPECT_EQ(file.substr(162), "\r\n");

  std::string terminal = HeadlessMonitor(-1, true).FormatPacket(record);
  EXPECT_EQ(terminal.substr(64, 6), "A\xc2\xb7\xc3\xbf" "b");
  EXPECT_EQ(terminal.back(), '\n');
  EXPECT_EQ(terminal.find('\r'), std::string::npos);
}

TEST(HeadlessMonitor, TickWritesEachPacketOfAnEnabledPortAndReportsAClosedOutput) {
  FakeOpener opener;
  opener.AddFake(1);
  TWComms comms(opener);
  comms.CreatePorts();
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  PacketFanOut drain(comms);
  HeadlessMonitor monitor(pipeFds[1], false);
  drain.AddSink(monitor);
  const uint8_t bytes[] = {'h', 'i'};
  comms.WritePacket(1, bytes, 2);
  comms.WritePacket(2, bytes, 2);  // not a present port: dropped, not counted
  ASSERT_TRUE((drain.DrainQueue(), monitor.Flush()));
  EXPECT_EQ(monitor.PacketCounter(), 1);
  char buffer[256];
  ASSERT_EQ(read(pipeFds[0], buffer, sizeof buffer), 82);
  EXPECT_EQ(std::string(buffer, 5), "COM1*");

  close(pipeFds[0]);
  signal(SIGPIPE, SIG_IGN);
  comms.WritePacket(1, bytes, 2);
  comms.WritePacket(1, bytes, 2);
  drain.DrainQueue();
  const Result flushed = monitor.Flush();
  EXPECT_FALSE(flushed);
  EXPECT_EQ(comms.Queue().Count(), 0u);  // the rest was still taken and freed
  EXPECT_FALSE(flushed.Message().empty());
  close(pipeFds[1]);
}

// Output into an unlinked temporary file, read back whole: unlike a pipe it
// never fills up, whatever a test writes.
class OutputFile {
 public:
  OutputFile() : m_file(std::tmpfile()) {}
  ~OutputFile() { std::fclose(m_file); }
  int Fd() const { return fileno(m_file); }
  // What was written since the last call.
  std::string TakeNew() {
    std::string text;
    char buffer[65536];
    ssize_t n;
    while ((n = pread(Fd(), buffer, sizeof buffer, m_read)) > 0) {
      text.append(buffer, static_cast<size_t>(n));
      m_read += n;
    }
    return text;
  }

 private:
  std::FILE* m_file;
  off_t m_read = 0;
};

// A monitor writing to a file over one fake port, COM1.
struct MonitorRig {
  MonitorRig() { opener.AddFake(1); comms.CreatePorts(); }
  FakeOpener opener;
  TWComms comms{opener};
  OutputFile out;
  HeadlessMonitor monitor{out.Fd(), false};
  PacketFanOut drain{comms};
  bool added = (drain.AddSink(monitor), true);
};

void Send(TWComms& comms, const std::string& bytes) {
  comms.WritePacket(1, reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint16_t>(bytes.size()));
}

TEST(HeadlessMonitor, HexModeWritesEveryLineEvenWhenATickOverrunsTheRing) {
  MonitorRig rig;
  TWComms& comms = rig.comms;
  OutputFile& out = rig.out;
  HeadlessMonitor& monitor = rig.monitor;
  PacketFanOut& drain = rig.drain;
  EXPECT_TRUE(monitor.HexDisplay());
  std::string full(4096, 'x');
  for (int i = 0; i < 5; ++i) Send(comms, full);  // 1280 lines in one tick
  ASSERT_TRUE((drain.DrainQueue(), monitor.Flush()));
  std::string text = out.TakeNew();
  ASSERT_EQ(text.size(), 1280 * 82u);
  for (size_t line = 0; line < 1280; ++line) {
    ASSERT_EQ(text.substr(line * 82 + 80, 2), "\r\n") << line;
  }
  EXPECT_TRUE(monitor.Finish());
  EXPECT_EQ(out.TakeNew(), "");
}

TEST(HeadlessMonitor, AsciiModeWritesLinesAsTheyCompleteAndTheLastOneAtFinish) {
  FakeOpener opener;
  opener.AddFake(1);
  TWComms comms(opener);
  comms.CreatePorts();
  struct Case {
    bool terminal;
    std::string firstTick, secondTick, atFinish;
  };
  for (const Case& c : {Case{false, "ab\r\n", "cd\xb7" "ef\r\n", "g\r\n"},
                        Case{true, "ab\n", "cd\xc2\xb7" "ef\n", "g\n"}}) {
    SCOPED_TRACE(c.terminal);
    OutputFile out;
    HeadlessMonitor monitor(out.Fd(), c.terminal);
    PacketFanOut drain(comms);
    drain.AddSink(monitor);
    monitor.SetHexDisplay(false);
    EXPECT_FALSE(monitor.HexDisplay());
    Send(comms, "ab\r\ncd\x01");
    ASSERT_TRUE((drain.DrainQueue(), monitor.Flush()));
    EXPECT_EQ(out.TakeNew(), c.firstTick);
    Send(comms, "ef\rg");
    ASSERT_TRUE((drain.DrainQueue(), monitor.Flush()));
    EXPECT_EQ(out.TakeNew(), c.secondTick);
    ASSERT_TRUE(monitor.Finish());
    EXPECT_EQ(out.TakeNew(), c.atFinish);
  }
}

TEST(HeadlessMonitor, AsciiModeLosesNoLineOfAPacketLongerThanTheRing) {
  MonitorRig rig;
  TWComms& comms = rig.comms;
  OutputFile& out = rig.out;
  HeadlessMonitor& monitor = rig.monitor;
  PacketFanOut& drain = rig.drain;
  monitor.SetHexDisplay(false);
  std::string lines;
  for (int i = 0; i < 2000; ++i) lines += static_cast<char>('0' + i % 10) + std::string("\r");
  Send(comms, lines);
  ASSERT_TRUE((drain.DrainQueue(), monitor.Flush()));
  std::string expected;
  for (int i = 0; i < 2000; ++i) expected += static_cast<char>('0' + i % 10) + std::string("\r\n");
  EXPECT_EQ(out.TakeNew(), expected);
  ASSERT_TRUE(monitor.Finish());
  EXPECT_EQ(out.TakeNew(), "\r\n");  // the empty line the last CR started
}

TEST(HeadlessMonitor, SwitchingModeWritesTheUnfinishedLineFirst) {
  MonitorRig rig;
  TWComms& comms = rig.comms;
  OutputFile& out = rig.out;
  HeadlessMonitor& monitor = rig.monitor;
  PacketFanOut& drain = rig.drain;
  monitor.SetHexDisplay(false);
  Send(comms, "half");
  ASSERT_TRUE((drain.DrainQueue(), monitor.Flush()));
  EXPECT_EQ(out.TakeNew(), "");
  monitor.SetHexDisplay(true);
  Send(comms, "A");
  ASSERT_TRUE((drain.DrainQueue(), monitor.Flush()));
  std::string text = out.TakeNew();
  ASSERT_EQ(text.size(), 6u + 82u);
  EXPECT_EQ(text.substr(0, 6), "half\r\n");
  EXPECT_EQ(text.substr(6, 5), "COM1*");
  EXPECT_EQ(monitor.PacketCounter(), 2);
}

}  // namespace
}  // namespace tapwise
