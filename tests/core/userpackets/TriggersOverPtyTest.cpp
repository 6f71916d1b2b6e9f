// Triggers end to end: packets arrive on pseudo-terminal ports opened through
// the real POSIX backend, the receive threads match them and send the
// replies, which the test reads at the far end of the wire. The lines that a
// reply-less trigger toggles are watched on a fake device, since a
// pseudo-terminal has no RTS or DTR.

#include <gtest/gtest.h>

#include <thread>

#include "core/capture/TWComms.h"
#include "core/platform/PosixSerialDevice.h"
#include "core/userpackets/UserPackets.h"
#include "support/FakeOpener.h"
#include "support/Pty.h"
#include "support/QueueWait.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;
using ByteVector = std::vector<uint8_t>;

ByteVector Text(std::string_view text) { return ByteVector(text.begin(), text.end()); }

class TriggersOverPty : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n : {1, 2}) {
      ptys.push_back(std::make_unique<Pty>());
      ASSERT_TRUE(ptys.back()->Ok()) << ptys.back()->Error();
      std::string path = ptys.back()->SlavePath();
      opener.AddFactory(static_cast<uint8_t>(n), [path] { return PosixSerialDevice::Open(path); });
    }
    fakeLine = opener.AddFake(3);
    comms.SetTriggerStep(&packets);
  }
  // The receive threads call the user packets: they stop before it goes.
  void TearDown() override { comms.DestroyPorts(); }
  void Start() {
    packets.RebuildTriggerTable();
    comms.CreatePorts();
    ASSERT_EQ(comms.PresentCount(), 3);
  }
  Pty& Wire(uint8_t n) { return *ptys[n - 1]; }
  // Nothing more arrives at the far end of COM n for a while.
  bool WireStaysQuiet(uint8_t n) { return Wire(n).ReadFor(1, 300ms).empty(); }

  std::vector<std::unique_ptr<Pty>> ptys;  // outlive the port manager
  std::shared_ptr<FakeLine> fakeLine;
  FakeOpener opener;
  std::atomic<uint8_t> selectedPort{1};
  UserMessages messages;
  CalcState calc;
  TWComms comms{opener};
  UserPackets packets{comms, selectedPort, messages, calc};
};

TEST_F(TriggersOverPty, ReplyFollowsItsTriggerOnTheTriggersOwnPort) {
  packets.Table().SetTriggerText(3, "01 02");
  packets.Table().SetPacketText(3, "\"R3\" $0");
  packets.Table().SetTriggerText(9, "02");
  packets.Table().SetPacketText(9, "\"R9\"");
  Start();
  packets.SetTriggerMode(TriggerMode::WholePacket);

  // Selected is COM1, the trigger comes in on COM2: the reply goes to COM2.
  ASSERT_TRUE(Wire(2).WriteAll({1, 2}));
  EXPECT_EQ(Wire(2).ReadFor(3), (ByteVector{'R', '3', 0}));
  Records records = WaitForRecords(comms.Queue(), 2);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0]->Origin, OriginReceived);
  EXPECT_EQ(Bytes(*records[0]), (ByteVector{1, 2}));
  EXPECT_EQ(records[1]->Origin, OriginTransmitted);
  EXPECT_EQ(records[1]->Port, 2);
  EXPECT_EQ(records[1]->Error, 0);
  EXPECT_EQ(Bytes(*records[1]), (ByteVector{'R', '3', 0}));
  EXPECT_TRUE(WireStaysQuiet(1));

  // A longer packet is no whole-packet match...
  ASSERT_TRUE(Wire(1).WriteAll({1, 2, 3}));
  EXPECT_TRUE(WireStaysQuiet(1));
  // ...but holds the trigger as a part; row 3 wins over row 9.
  packets.SetTriggerMode(TriggerMode::PartPacket);
  ASSERT_TRUE(Wire(1).WriteAll({0, 1, 1, 2, 3}));
  EXPECT_EQ(Wire(1).ReadFor(3), (ByteVector{'R', '3', 1}));
  ASSERT_TRUE(Wire(1).WriteAll({9, 2}));
  EXPECT_EQ(Wire(1).ReadFor(2), Text("R9"));
  EXPECT_TRUE(WireStaysQuiet(1));
  EXPECT_TRUE(WireStaysQuiet(2));
  EXPECT_TRUE(messages.Empty());
}

TEST_F(TriggersOverPty, TriggerWithoutReplyTogglesTheSelectedPortsLines) {
  packets.Table().SetTriggerText(10, "\"T\"");
  Start();
  packets.SetTriggerMode(TriggerMode::WholePacket);
  selectedPort = 3;
  ASSERT_FALSE(fakeLine->Rts() || fakeLine->Dtr());

  ASSERT_TRUE(Wire(1).WriteAll(Text("T")));
  EXPECT_TRUE(Eventually([&] { return fakeLine->Rts() && fakeLine->Dtr(); }));
  EXPECT_EQ(comms.GetPortSettings(3).RTS, 1);
  EXPECT_EQ(comms.GetPortSettings(3).DTR, 1);
  ASSERT_TRUE(Wire(2).WriteAll(Text("T")));
  EXPECT_TRUE(Eventually([&] { return !fakeLine->Rts() && !fakeLine->Dtr(); }));
  EXPECT_EQ(comms.GetPortSettings(3).RTS, 0);
  // Nothing was sent anywhere: only the two received packets are queued.
  EXPECT_EQ(CollectFor(comms.Queue(), 200ms).size(), 2u);
  EXPECT_TRUE(fakeLine->Written().empty());
}

TEST_F(TriggersOverPty, EveryTriggerGetsOneReplyWhileTheTableIsRebuilt) {
  packets.Table().SetTriggerText(1, "\"ping\"");
  packets.Table().SetPacketText(1, "\"pong\"");
  Start();
  packets.SetTriggerMode(TriggerMode::WholePacket);
  std::atomic<bool> done{false};
  // The window editing other rows all the time: each edit rebuilds the table.
  std::thread editor([&] {
    for (int i = 0; !done; ++i) {
      packets.Table().SetTriggerText(2 + i % 50, i % 2 ? "AA" : "");
      packets.Table().SetPacketText(2 + i % 50, "$0");
      packets.RebuildTriggerTable();
      std::this_thread::sleep_for(1ms);
    }
  });
  int replies = 0;
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(Wire(2).WriteAll(Text("ping")));
    if (Wire(2).ReadFor(4) == Text("pong")) ++replies;
  }
  done = true;
  editor.join();
  EXPECT_EQ(replies, 10);
  EXPECT_TRUE(WireStaysQuiet(2));
}

}  // namespace
}  // namespace tapwise
