// The port manager and receive loop on fake devices: what a pseudo-terminal
// cannot show (line errors, modem lines, refused writes, a port taken by
// someone else).

#include <gtest/gtest.h>

#include <thread>

#include "core/capture/TWComms.h"
#include "support/FakeOpener.h"
#include "support/QueueWait.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

class PortManagerFake : public ::testing::Test {
 protected:
  FakeOpener opener;
  TWComms comms{opener};
};

TEST_F(PortManagerFake, ProbesInAscendingOrderAndKeepsOnlyOpenedPorts) {
  opener.AddFake(3);
  opener.AddFake(1);
  opener.ForceStatus(2, OpenStatus::Busy);
  opener.ForceStatus(4, OpenStatus::NotPermitted);
  comms.CreatePorts();
  EXPECT_TRUE(comms.IsPortPresent(1));
  EXPECT_FALSE(comms.IsPortPresent(2));
  EXPECT_TRUE(comms.IsPortPresent(3));
  EXPECT_EQ(comms.PresentCount(), 2);
  EXPECT_EQ(comms.ProbeStatus(2), OpenStatus::Busy);
  EXPECT_EQ(comms.ProbeStatus(4), OpenStatus::NotPermitted);
  EXPECT_FALSE(comms.IsPortEnabled(0));
  EXPECT_FALSE(comms.IsPortEnabled(2));
  EXPECT_TRUE(comms.IsPortEnabled(3));
}

TEST_F(PortManagerFake, LineErrorMarksThePacketAtWhoseEndItIsCollected) {
  auto line = opener.AddFake(1);
  comms.CreatePorts();
  line->InjectError();  // between packets: reported on the next one
  line->Feed({1, 2, 3});
  Records first = WaitForRecords(comms.Queue(), 1);
  line->Feed({4});
  Records second = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(first[0]->Error, 1);
  EXPECT_EQ(Bytes(*first[0]), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(second[0]->Error, 0);
  EXPECT_EQ(second[0]->Origin, OriginReceived);
  EXPECT_EQ(second[0]->Port, 1);
}

TEST_F(PortManagerFake, SettingsReachTheDeviceAndNoHandshakeHoldsTheLinesLow) {
  auto line = opener.AddFake(5);
  comms.SetPortSettings(5, {57600, ParityMark, 7, StopTwo, 1, 1});
  comms.CreatePorts();
  EXPECT_EQ(line->Format().BaudRate, 57600u);
  EXPECT_EQ(line->Format().Parity, ParityMark);
  EXPECT_EQ(line->Format().DataBits, 7);
  EXPECT_EQ(line->Format().StopBits, StopTwo);
  EXPECT_TRUE(line->Rts());
  EXPECT_TRUE(line->Dtr());
  line->SetModemLines(ModemCTS | ModemCD | 0x80);
  EXPECT_EQ(comms.GetModemLines(5), ModemCTS | ModemCD);

  comms.NoHandshake = 1;
  EXPECT_TRUE(comms.ApplyPortSettings(5));
  EXPECT_FALSE(line->Rts());
  EXPECT_FALSE(line->Dtr());
  EXPECT_EQ(comms.GetModemLines(5), 0);
}

TEST_F(PortManagerFake, RefusedSettingsAreReportedToTheCallerOnly) {
  auto line = opener.AddFake(1);
  comms.CreatePorts();
  line->RefuseLineFormat(true);
  EXPECT_FALSE(comms.ApplyPortSettings(1));
  EXPECT_FALSE(comms.ApplyPortSettings(2));  // empty slot
  EXPECT_TRUE(comms.IsPortEnabled(1));
}

TEST_F(PortManagerFake, TransmissionsAreQueuedWhateverTheOutcome) {
  auto line = opener.AddFake(1);
  opener.AddFake(2);
  comms.CreatePorts();
  const uint8_t ping[] = {'P', 'I', 'N', 'G'};
  comms.WritePacket(1, ping, 4);
  line->RefuseWrites(true);
  comms.WritePacket(1, ping, 2);
  comms.WritePacket(9, ping, 1);  // no such port
  comms.WritePacket(2, ping, 0);  // an empty packet succeeds
  comms.SetPortEnabled(2, false);
  std::this_thread::sleep_for(100ms);  // the receive thread closes it
  comms.WritePacket(2, ping, 3);

  Records records = WaitForRecords(comms.Queue(), 5);
  ASSERT_EQ(records.size(), 5u);
  struct Expected { uint8_t port; uint16_t length; uint8_t error; };
  const Expected expected[] = {{1, 4, 0}, {1, 2, 1}, {9, 1, 1}, {2, 0, 0}, {2, 3, 1}};
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(records[i]->Port, expected[i].port);
    EXPECT_EQ(records[i]->Origin, OriginTransmitted);
    EXPECT_EQ(records[i]->Length, expected[i].length);
    EXPECT_EQ(records[i]->Error, expected[i].error);
    EXPECT_GT(records[i]->Time, 0.0);
  }
  EXPECT_EQ(line->Written(), (std::vector<uint8_t>{'P', 'I', 'N', 'G'}));
}

TEST_F(PortManagerFake, ReEnablingReappliesSettingsOrFallsBackToDisabledWhenTaken) {
  auto line = opener.AddFake(1);
  comms.CreatePorts();
  int appliedAtStart = line->ApplyCount();
  comms.SetPortEnabled(1, false);
  Eventually([&] { return line->OpenCount() == 0; });
  EXPECT_EQ(line->OpenCount(), 0);

  comms.SetPortSettings(1, {19200, ParityEven, 8, StopOne, 0, 1});
  comms.SetPortEnabled(1, true);
  Eventually([&] { return line->OpenCount() == 1; });
  std::this_thread::sleep_for(50ms);
  EXPECT_GT(line->ApplyCount(), appliedAtStart);
  EXPECT_EQ(line->Format().BaudRate, 19200u);
  EXPECT_TRUE(line->Dtr());
  EXPECT_TRUE(comms.IsPortEnabled(1));

  comms.SetPortEnabled(1, false);
  std::this_thread::sleep_for(100ms);
  opener.ForceStatus(1, OpenStatus::Busy);
  comms.SetPortEnabled(1, true);
  Eventually([&] { return !comms.IsPortEnabled(1); });
  EXPECT_FALSE(comms.IsPortEnabled(1));
  EXPECT_TRUE(comms.IsPortPresent(1));
  EXPECT_EQ(line->OpenCount(), 0);
}

class RecordingTrigger : public TriggerStep {
 public:
  explicit RecordingTrigger(TWComms& comms) : m_comms(comms) {}
  uint8_t Match(const uint8_t* data, uint16_t length) override {
    return length == 1 && data[0] == '?' ? 7 : 0;
  }
  void React(uint8_t row, uint8_t port) override {
    const uint8_t reply[] = {'!', row};
    m_comms.WritePacket(port, reply, 2);
  }

 private:
  TWComms& m_comms;
};

TEST_F(PortManagerFake, TriggerReplyFollowsTheTriggerPacketOnItsOwnPort) {
  auto line = opener.AddFake(4);
  RecordingTrigger trigger(comms);
  comms.SetTriggerStep(&trigger);
  comms.CreatePorts();
  line->Feed({'x'});
  Records plain = WaitForRecords(comms.Queue(), 1);
  line->Feed({'?'});
  Records records = WaitForRecords(comms.Queue(), 2);
  ASSERT_EQ(plain.size(), 1u);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]->Origin, OriginReceived);
  EXPECT_EQ(Bytes(*records[0]), (std::vector<uint8_t>{'?'}));
  EXPECT_EQ(records[1]->Origin, OriginTransmitted);
  EXPECT_EQ(records[1]->Port, 4);
  EXPECT_EQ(Bytes(*records[1]), (std::vector<uint8_t>{'!', 7}));
  EXPECT_EQ(line->Written(), (std::vector<uint8_t>{'!', 7}));
}

TEST_F(PortManagerFake, ShutdownFreesQueuedAndHalfFilledRecordsAndClosesEveryPort) {
  std::vector<std::shared_ptr<FakeLine>> lines;
  for (uint8_t n = 1; n <= 8; ++n) lines.push_back(opener.AddFake(n));
  comms.PacketGap = 5000;  // nothing finishes: every thread is mid-packet
  comms.CreatePorts();
  const uint8_t byte = 0x55;
  for (int i = 0; i < 50; ++i) comms.WritePacket(static_cast<uint8_t>(1 + i % 8), &byte, 1);
  for (auto& line : lines) line->Feed({1, 2, 3});
  std::this_thread::sleep_for(100ms);
  comms.DestroyPorts();
  EXPECT_EQ(comms.Queue().Count(), 0u);
  EXPECT_EQ(comms.PresentCount(), 0);
  for (auto& line : lines) EXPECT_EQ(line->OpenCount(), 0);
}

}  // namespace
}  // namespace tapwise

namespace tapwise {
namespace {

// What the playback thread and a trigger reply do while the window closes:
// sends and modem-line reads racing with the ports going down must find a
// port without a device, never a freed one (ThreadSanitizer checks this).
TEST(PortManagerShutdown, SendsAndModemReadsRacingWithDestroyPortsAreSafe) {
  FakeOpener opener;
  TWComms comms(opener);
  for (uint8_t n = 1; n <= 4; ++n) opener.AddFake(n);
  comms.CreatePorts();
  std::atomic<bool> stop{false};
  std::atomic<int> sends{0};
  std::thread player([&] {
    const uint8_t byte = 0x55;
    while (!stop.load()) {
      for (uint8_t n = 1; n <= 4; ++n) {
        comms.GetModemLines(n);
        comms.WritePacket(n, &byte, 1);
        sends.fetch_add(1);
      }
    }
  });
  while (sends.load() < 100) std::this_thread::sleep_for(1ms);
  comms.DestroyPorts();
  EXPECT_EQ(comms.PresentCount(), 0);
  // Sends after the ports went down are refused, and marked as failed.
  const int before = sends.load();
  while (sends.load() < before + 8) std::this_thread::sleep_for(1ms);
  stop.store(true);
  player.join();
  std::unique_ptr<PacketRecord> last;
  while (auto record = comms.Queue().TakeFirst()) last = std::move(record);
  ASSERT_TRUE(last);
  EXPECT_EQ(last->Error, 1);
}

}  // namespace
}  // namespace tapwise
