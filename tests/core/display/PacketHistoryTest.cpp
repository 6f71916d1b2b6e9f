#include "core/display/PacketHistory.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/display/DisplayDrain.h"
#include "core/display/DisplayRows.h"
#include "core/format/HexLines.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

// The display and its history, fed as the session's fan-out feeds them:
// the display first.
class PacketHistoryTest : public ::testing::Test {
 protected:
  void Show(const std::string& bytes, uint8_t port = 1, uint8_t origin = OriginReceived) {
    const auto record = MakeRecord(port, bytes, origin);
    PacketView view(*record, ++m_sequence, m_lines);
    m_drain.Take(view);
    m_history.Take(view);
  }
  void ShowMany(int count, size_t length) {
    for (int i = 0; i < count; ++i) Show(CountingBytes(length));
  }

  std::vector<std::string> m_lines;
  uint16_t m_sequence = 0;
  DisplayDrain m_drain;
  PacketHistory m_history{m_drain, {1000, 64}};
  DisplayRows m_rows{m_drain};
};

TEST_F(PacketHistoryTest, KeepsWhatTheDisplayShowedAsHex) {
  Show("one");
  m_drain.SetFrozen(true);
  Show("while frozen");
  m_drain.SetFrozen(false);
  Show(CountingBytes(40), 2, OriginTransmitted);
  ASSERT_EQ(m_history.Count(), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(m_history.At(0).Data), m_history.At(0).Length), "one");
  const HistoryPacket& second = m_history.At(1);
  EXPECT_EQ(second.Port, 2);
  EXPECT_EQ(second.Origin, OriginTransmitted);
  EXPECT_EQ(second.Sequence, 3);
  EXPECT_EQ(second.Number, 1u);
  EXPECT_EQ(second.FirstLine, 1u);
  EXPECT_EQ(m_history.LineCount(), 4u);  // 1 + 3 lines
  EXPECT_EQ(m_history.PacketAtLine(0), 0u);
  EXPECT_EQ(m_history.PacketAtLine(3), 1u);
  EXPECT_EQ(m_history.PacketAtLine(4), 2u);

  // A cleared display clears its history; so does a new display mode, and
  // ASCII text is not kept.
  m_drain.Clear();
  m_history.FollowDisplay();
  EXPECT_TRUE(m_history.Empty());
  Show("after clear");
  EXPECT_EQ(m_history.FrontNumber(), 2u);
  ASSERT_TRUE(m_drain.SwitchMode(false));
  Show("ascii");
  EXPECT_TRUE(m_history.Empty());
}

TEST_F(PacketHistoryTest, TheOldestGoFirstAtEitherBound) {
  struct Case {
    HistoryLimits Limits;
    int Packets;
    size_t Length;
    size_t Held;
  };
  const std::vector<Case> cases = {
      // The packet count binds first...
      {{1000, 64}, 5000, 10, 1000},
      // ...or the memory: 1 MB of 4096-byte packets is a little over 200.
      {{100000, 1}, 2000, 4096, 0},
  };
  for (const Case& c : cases) {
    DisplayDrain drain;
    PacketHistory history(drain, c.Limits);
    std::vector<std::string> lines;
    for (int i = 0; i < c.Packets; ++i) {
      const auto record = MakeRecord(1, CountingBytes(c.Length));
      PacketView view(*record, static_cast<uint16_t>(i), lines);
      history.Take(view);
      ASSERT_LE(history.Count(), c.Limits.Packets);
      ASSERT_LE(history.MemoryUsed(), c.Limits.Megabytes * 1024 * 1024);
    }
    if (c.Held != 0) {
      EXPECT_EQ(history.Count(), c.Held);
    }
    EXPECT_GT(history.Count(), 200u);
    // The newest are the ones kept, in order.
    EXPECT_EQ(history.At(history.Count() - 1).Number, static_cast<uint64_t>(c.Packets - 1));
    EXPECT_EQ(history.FrontNumber() + history.Count(), static_cast<uint64_t>(c.Packets));
    EXPECT_EQ(history.At(0).Sequence, static_cast<uint16_t>(history.FrontNumber()));
  }
}

TEST_F(PacketHistoryTest, AFloodKeepsItsMemoryFlat) {
  PacketHistory history(m_drain, {HistoryLimits::MaxPackets, 4});
  std::vector<std::string> lines;
  size_t highest = 0;
  size_t atFull = 0;
  for (int i = 0; i < 200000; ++i) {
    const auto record = MakeRecord(1, CountingBytes(static_cast<size_t>(1 + i % 200)));
    PacketView view(*record, static_cast<uint16_t>(i), lines);
    history.Take(view);
    highest = std::max(highest, history.MemoryUsed());
    if (i == 50000) atFull = highest;
  }
  EXPECT_LE(highest, size_t{4} * 1024 * 1024);
  // Full long before the end, and then not a block more.
  EXPECT_GT(history.FrontNumber(), 50000u);
  EXPECT_EQ(highest, atFull);
  // A smaller bound gives memory back at once.
  history.SetLimits({HistoryLimits::MaxPackets, 1});
  EXPECT_LE(history.MemoryUsed(), size_t{1024} * 1024);
}

TEST_F(PacketHistoryTest, RowsScrollBackPastTheRingIntoTheHistory) {
  m_rows.SetHistory(&m_history);
  // 600 packets of 40 bytes: 1800 lines, of which the ring holds 999.
  ShowMany(600, 40);
  m_rows.Refresh();
  ASSERT_TRUE(m_rows.FollowsHistory());
  EXPECT_EQ(m_rows.Count(), 1800);
  EXPECT_EQ(m_rows.OlderCount(), 801);
  EXPECT_EQ(m_rows.FirstLine(), 0u);
  // Every row is what the display showed for it: the history rows formatted
  // as the ring's were, the seam inside a packet (801 = 267 * 3) included.
  const auto record = MakeRecord(1, CountingBytes(40));
  for (int row : {0, 1, 2, 799, 800, 801, 802, 1799}) {
    const DisplayLine& line = m_rows.Row(row);
    EXPECT_EQ(line.Text, FormatHexLine(*record, row % 3)) << row;
    EXPECT_EQ(line.Sequence, static_cast<uint16_t>(row / 3 + 1)) << row;
  }
  EXPECT_EQ(m_rows.RowOfLine(1799), 1799);
  EXPECT_EQ(m_rows.RowOfLine(1800), -1);

  // The rows are capped (a window has a greatest height): the oldest go.
  m_rows.SetMaxRows(1200);
  EXPECT_EQ(m_rows.Count(), 1200);
  EXPECT_EQ(m_rows.FirstLine(), 600u);
  EXPECT_EQ(m_rows.RowOfLine(600), 0);
  EXPECT_EQ(m_rows.RowOfLine(599), -1);
  EXPECT_EQ(m_rows.Row(0).Text, FormatHexLine(*record, 0));

  // ASCII mode shows the ring alone, as before.
  ASSERT_TRUE(m_drain.SwitchMode(false));
  Show("text");
  m_rows.Refresh();
  EXPECT_FALSE(m_rows.FollowsHistory());
  EXPECT_EQ(m_rows.Count(), m_drain.LineCount());
  EXPECT_EQ(m_rows.Row(0).Text, "text");
}

TEST_F(PacketHistoryTest, WithoutAHistoryTheRowsAreTheRing) {
  ShowMany(10, 20);
  m_rows.Refresh();
  EXPECT_EQ(m_rows.Count(), 20);
  EXPECT_EQ(m_rows.OlderCount(), 0);
  EXPECT_EQ(m_rows.Row(19).Text, m_drain.Buffer().Line(19).Text);
}

}  // namespace
}  // namespace tapwise
