// The receive loop end to end over real pseudo-terminals opened through the
// POSIX backend: the test writes "the wire" at the master end.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <random>
#include <thread>

#include "core/capture/TWComms.h"
#include "core/platform/PosixSerialDevice.h"
#include "core/platform/Termios2.h"
#include "support/FakeOpener.h"
#include "support/ProcessUsage.h"
#include "support/Pty.h"
#include "support/QueueWait.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;
using ByteVector = std::vector<uint8_t>;


class ReceiveOverPty : public ::testing::Test {
 protected:
  // Maps COM n to the slave of a new pseudo-terminal and returns it.
  Pty& AddPort(uint8_t n) {
    ptys.push_back(std::make_unique<Pty>());
    Pty& pty = *ptys.back();
    EXPECT_TRUE(pty.Ok()) << pty.Error();
    std::string path = pty.SlavePath();
    opener.AddFactory(n, [path] { return PosixSerialDevice::Open(path); });
    return pty;
  }

  std::vector<std::unique_ptr<Pty>> ptys;  // outlive the port manager
  FakeOpener opener;
  TWComms comms{opener};
};

TEST_F(ReceiveOverPty, BurstsCloserThanTheGapMakeOnePacketFurtherApartTwo) {
  Pty& pty = AddPort(1);
  comms.PacketGap = 400;
  comms.CreatePorts();
  ASSERT_TRUE(comms.IsPortPresent(1));
  DateTime before = Now();
  pty.WriteAll(TextBytes("abc"));
  std::this_thread::sleep_for(250ms);
  pty.WriteAll(TextBytes("def"));
  Records joined = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(joined.size(), 1u);
  EXPECT_EQ(Bytes(*joined[0]), TextBytes("abcdef"));
  // The packet carries the time of its first read, not of its end.
  EXPECT_LT((joined[0]->Time - before) * 86400.0, 0.2);
  EXPECT_GE(joined[0]->Time, before);

  comms.PacketGap = 10;
  std::this_thread::sleep_for(50ms);
  pty.WriteAll(TextBytes("ghi"));
  std::this_thread::sleep_for(300ms);
  pty.WriteAll(TextBytes("jkl"));
  Records apart = WaitForRecords(comms.Queue(), 2);
  ASSERT_EQ(apart.size(), 2u);
  EXPECT_EQ(Bytes(*apart[0]), TextBytes("ghi"));
  EXPECT_EQ(Bytes(*apart[1]), TextBytes("jkl"));
  for (auto& record : apart) {
    EXPECT_EQ(record->Port, 1);
    EXPECT_EQ(record->Origin, OriginReceived);
    EXPECT_EQ(record->Error, 0);
  }
}

TEST_F(ReceiveOverPty, ContinuousStreamIsCutIntoFullPacketsWithEveryByteInOrder) {
  Pty& pty = AddPort(2);
  comms.CreatePorts();
  ByteVector sent(20000);
  std::mt19937 random(7);
  for (uint8_t& byte : sent) byte = static_cast<uint8_t>(random());  // 0xFF and 0x00 included
  std::thread writer([&] { pty.WriteAll(sent); });
  Records records = WaitForRecords(comms.Queue(), 5, 10s);
  writer.join();
  ASSERT_EQ(records.size(), 5u);
  ByteVector received;
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i]->Length, i < 4 ? 4096 : 20000 - 4 * 4096) << "packet " << i;
    ByteVector bytes = Bytes(*records[i]);
    received.insert(received.end(), bytes.begin(), bytes.end());
  }
  EXPECT_TRUE(received == sent);
  EXPECT_TRUE(CollectFor(comms.Queue(), 100ms).empty());
}

TEST_F(ReceiveOverPty, PacketsOfTwoPortsComeInTheOrderTheirGapsExpire) {
  Pty& slow = AddPort(1);
  Pty& quick = AddPort(2);
  comms.PacketGap = 300;
  comms.CreatePorts();
  slow.WriteAll(TextBytes("long"));  // begins first, keeps filling
  std::this_thread::sleep_for(40ms);
  quick.WriteAll(TextBytes("short"));
  std::this_thread::sleep_for(120ms);
  slow.WriteAll(TextBytes("er"));
  Records records = WaitForRecords(comms.Queue(), 2);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]->Port, 2);
  EXPECT_EQ(Bytes(*records[0]), TextBytes("short"));
  EXPECT_EQ(records[1]->Port, 1);
  EXPECT_EQ(Bytes(*records[1]), TextBytes("longer"));
  EXPECT_LT(records[1]->Time, records[0]->Time);
}

TEST_F(ReceiveOverPty, DisablingReleasesThePortAndEnablingTakesItBackOrFallsBackWhenHeld) {
  Pty& pty = AddPort(3);
  comms.SetPortSettings(3, {128000, ParityNone, 8, StopOne, 0, 0});
  comms.CreatePorts();
  comms.SetPortEnabled(3, false);
  // Another program can have the port as soon as it is released.
  OpenResult other;
  ASSERT_TRUE(Eventually([&] {
    other = PosixSerialDevice::Open(pty.SlavePath());
    return other.Status == OpenStatus::Opened;
  }));
  comms.SetPortEnabled(3, true);
  ASSERT_TRUE(Eventually([&] { return !comms.IsPortEnabled(3); }));
  EXPECT_TRUE(comms.IsPortPresent(3));

  // The other program sets its own rate, then leaves; enabling again must
  // put our settings back.
  ASSERT_TRUE(other.Device->ApplyLineFormat({300, ParityNone, 8, StopOne}));
  other.Device.reset();
  comms.SetPortEnabled(3, true);
  // Opening flushes stale bytes, so the wire speaks only once the port is back.
  std::this_thread::sleep_for(200ms);
  pty.WriteAll(TextBytes("back"));
  Records records = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(Bytes(*records[0]), TextBytes("back"));
  EXPECT_TRUE(comms.IsPortEnabled(3));
  int probe = Pty::OpenPlain(pty.SlavePath());
  ASSERT_GE(probe, 0);
  std::optional<LineRates> rates = ReadLineRates(RealSysCalls(), probe);
  close(probe);
  ASSERT_TRUE(rates.has_value());
  EXPECT_EQ(rates->Output, 128000u);
}

TEST_F(ReceiveOverPty, TransmissionReachesTheWireAndFailsOnceTheWireIsGone) {
  Pty& pty = AddPort(4);
  comms.CreatePorts();
  const ByteVector ping = TextBytes("PING\xff");
  comms.WritePacket(4, ping.data(), static_cast<uint16_t>(ping.size()));
  EXPECT_EQ(pty.ReadFor(ping.size()), ping);
  pty.CloseMaster();
  comms.WritePacket(4, ping.data(), 1);
  Records records = WaitForRecords(comms.Queue(), 2);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]->Error, 0);
  EXPECT_EQ(records[1]->Error, 1);
  EXPECT_EQ(records[1]->Origin, OriginTransmitted);
}

TEST_F(ReceiveOverPty, PortThatVanishesMidPacketNeitherCrashesNorSpinsNorInventsPackets) {
  Pty& gone = AddPort(1);
  Pty& alive = AddPort(2);
  comms.PacketGap = 100;
  comms.CreatePorts();
  gone.WriteAll(TextBytes("half"));
  std::this_thread::sleep_for(30ms);
  gone.CloseMaster();
  double cpuBefore = CpuSeconds();
  Records records = CollectFor(comms.Queue(), 800ms);
  double cpuUsed = CpuSeconds() - cpuBefore;
  // What had been read before the wire went stays intact; nothing else comes.
  ASSERT_LE(records.size(), 1u);
  if (!records.empty()) {
    EXPECT_EQ(Bytes(*records[0]), TextBytes("half"));
  }
  // A spinning receive thread would burn most of a core in that time.
  EXPECT_LT(cpuUsed, 0.3);
  // The other port goes on working.
  alive.WriteAll(TextBytes("still here"));
  Records others = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(others.size(), 1u);
  EXPECT_EQ(others[0]->Port, 2);
  comms.DestroyPorts();
  EXPECT_EQ(comms.PresentCount(), 0);
}

}  // namespace
}  // namespace tapwise
