// The trigger table and the user packets without real ports: matching,
// rebuilding with its messages, sending and its failures. The port manager
// has no ports here, so every send is queued as a failed transmission, which
// still shows what was sent.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/userpackets/UserPackets.h"
#include "support/FakeOpener.h"
#include "support/QueueWait.h"

namespace tapwise {
namespace {

using ByteVector = std::vector<uint8_t>;

class Triggers : public ::testing::Test {
 protected:
  uint8_t MatchOf(const ByteVector& packet) {
    return packets.Match(packet.data(), static_cast<uint16_t>(packet.size()));
  }
  // Sets trigger texts by row and rebuilds.
  std::vector<TriggerTable::Fault> SetTriggers(const std::vector<std::pair<int, std::string>>& triggers) {
    for (auto& [row, text] : triggers) packets.Table().SetTriggerText(row, text);
    return packets.RebuildTriggerTable();
  }

  FakeOpener opener;
  TWComms comms{opener};
  std::atomic<uint8_t> selectedPort{1};
  UserMessages messages;
  CalcState calc;
  UserPackets packets{comms, selectedPort, messages, calc};
};

TEST_F(Triggers, MatchWholeOrPartPacketsLowestRowFirst) {
  ASSERT_TRUE(SetTriggers({{3, "01 02"}, {9, "02"}, {12, "\"OK\""}}).empty());
  struct Row {
    TriggerMode Mode;
    ByteVector Packet;
    uint8_t Expected;
  };
  for (const Row& row : std::vector<Row>{
           {TriggerMode::Off, {1, 2}, 0},
           {TriggerMode::WholePacket, {1, 2}, 3},
           {TriggerMode::WholePacket, {1, 2, 3}, 0},
           {TriggerMode::WholePacket, {2}, 9},
           {TriggerMode::WholePacket, {'O', 'K'}, 12},
           {TriggerMode::WholePacket, {'O'}, 0},
           {TriggerMode::PartPacket, {1, 2, 3}, 3},
           {TriggerMode::PartPacket, {0, 1, 2}, 3},
           {TriggerMode::PartPacket, {0, 1, 1, 2}, 3},  // the search resumes inside a failed match
           {TriggerMode::PartPacket, {2, 1}, 9},
           {TriggerMode::PartPacket, {'x', 'O', 'K', 'x'}, 12},
           {TriggerMode::PartPacket, {1}, 0},
           {TriggerMode::PartPacket, {}, 0},
       }) {
    packets.SetTriggerMode(row.Mode);
    EXPECT_EQ(MatchOf(row.Packet), row.Expected) << "mode " << int(row.Mode) << ", " << row.Packet.size() << " bytes";
  }
}

TEST_F(Triggers, EveryRebuildReportsEveryFaultyTriggerInRowOrder) {
  const auto faults = SetTriggers({{5, "41 G2"}, {2, "'x'"}, {7, "07"}});
  ASSERT_EQ(faults.size(), 2u);
  EXPECT_EQ(messages.TakeAll(), (std::vector<std::string>{"\\bError in Trigger Packet #2", "\\bError in Trigger Packet #5"}));
  packets.SetTriggerMode(TriggerMode::WholePacket);
  EXPECT_EQ(MatchOf({7}), 7);
  // A later edit elsewhere shows them again.
  SetTriggers({{60, "3C"}});
  EXPECT_EQ(messages.TakeAll().size(), 2u);
  EXPECT_EQ(MatchOf({0x3C}), 60);
}

TEST_F(Triggers, TriggerLongerThanItsLengthByteIsRefused) {
  std::string longest, tooLong;
  for (int i = 0; i < 255; ++i) longest += "AA ";
  tooLong = longest + "AA";
  const auto faults = SetTriggers({{1, tooLong}, {2, longest}});
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].Row, 1);
  EXPECT_EQ(faults[0].Count, 256);
  std::vector<std::string> shown = messages.TakeAll();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].starts_with("\\bError in Trigger Packet #1\\b\\n")) << shown[0];
  EXPECT_NE(shown[0].find("256"), std::string::npos) << shown[0];
  packets.SetTriggerMode(TriggerMode::WholePacket);
  EXPECT_EQ(MatchOf(ByteVector(255, 0xAA)), 2);
  EXPECT_EQ(MatchOf(ByteVector(256, 0xAA)), 0);
}

TEST_F(Triggers, CounterInATriggerIsTakenAtEachRebuild) {
  SetTriggers({{1, "$0"}, {2, "AA $0"}});
  auto table = packets.Triggers();
  EXPECT_EQ(table->Bytes(1)[0], 0);
  EXPECT_EQ(table->Bytes(2)[1], 1);
  packets.Table().SetPacketText(1, "$0");
  packets.SendUserPacket(1, 1);
  Records sent = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(Bytes(*sent[0]), ByteVector{2});
  packets.RebuildTriggerTable();
  // The old table keeps its values; the new one has moved on.
  EXPECT_EQ(table->Bytes(1)[0], 0);
  EXPECT_EQ(packets.Triggers()->Bytes(1)[0], 3);
  EXPECT_EQ(packets.Triggers()->Bytes(2)[1], 4);
}

TEST_F(Triggers, SendingReportsFaultsAndSendsNothing) {
  std::string tooLong;
  for (int i = 0; i < 2050; ++i) tooLong += "01 ";
  packets.Table().SetPacketText(1, "41 G2");
  packets.Table().SetPacketText(2, tooLong);
  packets.Table().SetPacketText(3, "\"\"");
  EXPECT_EQ(packets.SendUserPacket(1, 4), UserPackets::SendResult::SyntaxError);
  EXPECT_EQ(packets.SendUserPacket(2, 4), UserPackets::SendResult::TooLong);
  EXPECT_EQ(packets.SendUserPacket(4, 4), UserPackets::SendResult::EmptyText);
  EXPECT_EQ(packets.SendUserPacket(61, 4), UserPackets::SendResult::EmptyText);
  std::vector<std::string> shown = messages.TakeAll();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "\\bError in User Packet");
  EXPECT_TRUE(shown[1].starts_with("\\bError in User Packet\\b\\n")) << shown[1];
  EXPECT_NE(shown[1].find("2050"), std::string::npos) << shown[1];
  EXPECT_EQ(comms.Queue().Count(), 0u);
  // A text that makes no bytes is still sent, as an empty transmission.
  EXPECT_EQ(packets.SendUserPacket(3, 4), UserPackets::SendResult::Sent);
  Records sent = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0]->Length, 0);
  EXPECT_EQ(sent[0]->Port, 4);
  EXPECT_EQ(sent[0]->Origin, OriginTransmitted);
  // A reply that does not compile says which trigger it answered.
  packets.React(1, 2);
  EXPECT_EQ(messages.TakeAll(),
            std::vector<std::string>{"\\bError in User Packet\\b\\nThe reply to Trigger Packet #1 was not sent."});
  EXPECT_EQ(comms.Queue().Count(), 0u);
}

}  // namespace
}  // namespace tapwise
