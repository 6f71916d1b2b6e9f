#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "app/HeadlessMonitor.h"
#include "capture/TWComms.h"
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
  FakeOpener opener;
  TWComms comms(opener);
  PacketRecord record = Packet(std::string("A\x01\xff", 3) + std::string(14, 'b'));

  std::string file = HeadlessMonitor(comms, -1, false).FormatPacket(record);
  ASSERT_EQ(file.size(), 2 * 82u);
  EXPECT_EQ(file.substr(0, 12), "COM1 03:04.5");
  EXPECT_EQ(file.substr(64, 18), std::string("A\xb7\xff", 3) + std::string(13, 'b') + "\r\n");
  EXPECT_EQ(file.substr(162), "\r\n");

  std::string terminal = HeadlessMonitor(comms, -1, true).FormatPacket(record);
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
  HeadlessMonitor monitor(comms, pipeFds[1], false);
  const uint8_t bytes[] = {'h', 'i'};
  comms.WritePacket(1, bytes, 2);
  comms.WritePacket(2, bytes, 2);  // not a present port: dropped, not counted
  ASSERT_TRUE(monitor.Tick());
  EXPECT_EQ(monitor.PacketCounter(), 1);
  char buffer[256];
  ASSERT_EQ(read(pipeFds[0], buffer, sizeof buffer), 82);
  EXPECT_EQ(std::string(buffer, 5), "COM1*");

  close(pipeFds[0]);
  signal(SIGPIPE, SIG_IGN);
  comms.WritePacket(1, bytes, 2);
  comms.WritePacket(1, bytes, 2);
  EXPECT_FALSE(monitor.Tick());
  EXPECT_EQ(comms.Queue().Count(), 0u);  // the rest was still taken and freed
  EXPECT_FALSE(monitor.LastError().empty());
  close(pipeFds[1]);
}

}  // namespace
}  // namespace tapwise
