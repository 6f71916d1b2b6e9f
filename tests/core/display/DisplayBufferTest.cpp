#include "core/display/DisplayBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/capture/TWComms.h"
#include "core/display/DisplayDrain.h"
#include "core/display/PacketSelection.h"
#include "core/session/PacketFanOut.h"
#include "support/FakeOpener.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

TEST(DisplayBuffer, HoldsAtMost999LinesAndDropsTheOldest) {
  DisplayBuffer buffer;
  EXPECT_EQ(buffer.LineCount(), 0);
  for (int i = 0; i < 2500; ++i) {
    DisplayLine& line = buffer.NewDisplayLine(static_cast<uint16_t>(i));
    line.Text = std::to_string(i);
    const int expected = i + 1 < 999 ? i + 1 : 999;
    ASSERT_EQ(buffer.LineCount(), expected) << i;
    ASSERT_EQ(buffer.Current(), i % 1000);
    ASSERT_EQ(buffer.Line(expected - 1).Text, std::to_string(i));
    ASSERT_EQ(buffer.Line(0).Text, std::to_string(i + 1 - expected));
  }
  // After 2500 lines: next is slot 500, oldest the slot after it.
  EXPECT_EQ(buffer.Next(), 500);
  EXPECT_EQ(buffer.Oldest(), 501);
  EXPECT_EQ(buffer.SlotOf(498), 999);
  EXPECT_EQ(buffer.SlotOf(499), 0);
  // Outside the held range there is no line, not even the dropped one in slot 500.
  EXPECT_EQ(buffer.Slot(500).Text, "1500");
  EXPECT_TRUE(buffer.Line(999).Text.empty());
  EXPECT_TRUE(buffer.Line(-1).Text.empty());
}

TEST(DisplayBuffer, ClearKeepsTheCurrentSlotAndANewLineIsResetInPlace) {
  DisplayBuffer buffer;
  for (int i = 0; i < 5; ++i) buffer.NewDisplayLine(1);
  DisplayLine& line = buffer.NewDisplayLine(4);
  line.Port = 7;
  line.Origin = OriginTransmitted;
  line.Error = 1;
  line.Text = "old";
  buffer.Clear();
  EXPECT_EQ(buffer.LineCount(), 0);
  EXPECT_EQ(buffer.Oldest(), 0);
  EXPECT_EQ(buffer.Next(), 0);
  EXPECT_EQ(buffer.Current(), 5);
  EXPECT_EQ(buffer.Slot(5).Text, "old");

  for (int i = 0; i < 6; ++i) buffer.NewDisplayLine(9);
  EXPECT_EQ(&buffer.CurrentLine(), &line);
  EXPECT_EQ(line.Sequence, 9);
  EXPECT_EQ(line.Port, 0);
  EXPECT_EQ(line.Origin, OriginReceived);
  EXPECT_EQ(line.Error, 0);
  EXPECT_TRUE(line.Text.empty());
}

TEST(DisplayBuffer, SelectionStaysInsideTheHeldLines) {
  DisplayBuffer buffer;
  for (int i = 0; i < 3; ++i) buffer.NewDisplayLine(5).Text = "old";
  buffer.Clear();
  buffer.NewDisplayLine(5).Text = "new";
  // The cleared slots 1 and 2 still carry number 5 but are not lines any more.
  LineRange lines = buffer.PacketLinesAt(0);
  EXPECT_EQ(lines.First, 0);
  EXPECT_EQ(lines.Count, 1);
  EXPECT_EQ(buffer.PacketText(lines, false), "new\r\n");
  EXPECT_EQ(buffer.PacketLinesAt(1).Count, 0);
  EXPECT_EQ(buffer.PacketLinesAt(-1).Count, 0);

  // A full ring whose every slot carries one number: the walk ends at both
  // ends of the held range.
  for (int i = 0; i < 1500; ++i) buffer.NewDisplayLine(8);
  lines = buffer.PacketLinesAt(500);
  EXPECT_EQ(lines.First, 0);
  EXPECT_EQ(lines.Count, 999);
}

std::unique_ptr<PacketRecord> Record(const std::string& bytes) { return MakeRecord(1, bytes); }

std::string Counting(size_t length) { return CountingBytes(length); }

class SelectionTest : public ::testing::Test {
 protected:
  SelectionTest() {
    m_opener.AddFake(1);
    m_comms.CreatePorts();
    m_fanOut.AddSink(m_drain);
  }
  void Show(const std::string& bytes) {
    m_comms.Queue().Append(Record(bytes));
    m_fanOut.DrainQueue();
  }

  FakeOpener m_opener;
  TWComms m_comms{m_opener};
  DisplayDrain m_drain;
  PacketFanOut m_fanOut{m_comms};
  PacketSelection m_selection;
};

TEST_F(SelectionTest, AClickOnAnyLineOfAPacketAcrossTheRingsWrapSelectsAllOfItInOrder) {
  // 998 one-line packets fill slots 0..997; the 40-byte packet then takes
  // slots 998, 999 and 0.
  for (int i = 0; i < 998; ++i) Show("z");
  Show(Counting(40));
  ASSERT_EQ(m_drain.LineCount(), 999);
  ASSERT_EQ(m_drain.Buffer().SlotOf(996), 998);
  ASSERT_EQ(m_drain.Buffer().SlotOf(998), 0);

  const std::string expected =
      "00 01 02 03  04 05 06 07  08 09 0A 0B  0C 0D 0E 0F\r\n"
      "10 11 12 13  14 15 16 17  18 19 1A 1B  1C 1D 1E 1F\r\n"
      "20 21 22 23  24 25 26 27\r\n";
  for (int clicked : {996, 997, 998}) {
    SCOPED_TRACE(clicked);
    PacketSelection selection;
    ASSERT_TRUE(selection.SelectAt(m_drain.Buffer(), clicked, true));
    EXPECT_EQ(selection.SelectedPacket(), 999);
    EXPECT_EQ(selection.SelectedPacketText(), expected);
    EXPECT_FALSE(selection.IsSelected(m_drain.Buffer().Line(995)));
    for (int i = 996; i < 999; ++i) EXPECT_TRUE(selection.IsSelected(m_drain.Buffer().Line(i)));
  }
}

TEST_F(SelectionTest, AsciiSelectionCopiesWholeLinesWrittenLastByThePacket) {
  m_drain.SetHexDisplay(false);
  Show("ab\rcd");
  Show("ef\rgh");
  // Line "cdef" was last written by the second packet, so it belongs to it.
  ASSERT_TRUE(m_selection.SelectAt(m_drain.Buffer(), 0, false));
  EXPECT_EQ(m_selection.SelectedPacket(), 1);
  EXPECT_EQ(m_selection.SelectedPacketText(), "ab\r\n");
  ASSERT_TRUE(m_selection.SelectAt(m_drain.Buffer(), 1, false));
  EXPECT_EQ(m_selection.SelectedPacket(), 2);
  EXPECT_EQ(m_selection.SelectedPacketText(), "cdef\r\ngh\r\n");
}

TEST_F(SelectionTest, SelectionSurvivesClearAndTheFirstClickAfterItTakesOnlyNewLines) {
  Show(Counting(20));
  ASSERT_TRUE(m_selection.SelectAt(m_drain.Buffer(), 1, true));
  const std::string text = m_selection.SelectedPacketText();
  m_drain.Clear();
  EXPECT_EQ(m_selection.SelectedPacket(), 1);
  EXPECT_EQ(m_selection.SelectedPacketText(), text);
  // A click below the lines held changes nothing.
  EXPECT_FALSE(m_selection.SelectAt(m_drain.Buffer(), 0, true));
  EXPECT_EQ(m_selection.SelectedPacketText(), text);

  Show("\x41");
  ASSERT_TRUE(m_selection.SelectAt(m_drain.Buffer(), 0, true));
  EXPECT_EQ(m_selection.SelectedPacket(), 2);
  EXPECT_EQ(m_selection.SelectedPacketText(), "41\r\n");
}

TEST_F(SelectionTest, APacketOfCarriageReturnsThatFillsTheRingSelectsTheHeldLinesOnly) {
  m_drain.SetHexDisplay(false);
  Show(std::string(4096, '\r'));
  ASSERT_EQ(m_drain.LineCount(), 999);
  ASSERT_TRUE(m_selection.SelectAt(m_drain.Buffer(), 0, false));
  std::string expected;
  for (int i = 0; i < 999; ++i) expected += "\r\n";
  EXPECT_EQ(m_selection.SelectedPacketText(), expected);
}

}  // namespace
}  // namespace tapwise
