#include "core/session/DisplayFind.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/display/DisplayDrain.h"
#include "core/display/PacketHistory.h"
#include "core/format/HexLines.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

class DisplayFindTest : public ::testing::Test {
 protected:
  void Show(const std::string& bytes) {
    const auto record = MakeRecord(1, bytes);
    PacketView view(*record, ++m_sequence, m_lines);
    m_drain.Take(view);
    m_history.Take(view);
  }
  void Find(const std::string& text) {
    PacketPattern pattern;
    ASSERT_TRUE(PacketPattern::Compile(text, pattern).Ok()) << text;
    m_find.SetPattern(pattern);
  }
  // The marked text of a line: the characters under each mark.
  std::vector<std::string> Marked(uint64_t line) {
    std::vector<MarkedColumns> marks;
    m_find.MarksOnLine(line, marks);
    const int row = static_cast<int>(line - m_history.FrontLine());
    const size_t packet = m_history.PacketAtLine(static_cast<uint64_t>(row));
    PacketRecord record;
    m_history.CopyTo(m_history.At(packet), record);
    const std::string text = FormatHexLine(record, static_cast<int>(line - m_history.At(packet).FirstLine));
    std::vector<std::string> shown;
    for (const MarkedColumns& mark : marks) {
      shown.push_back((mark.Current ? "*" : "") + text.substr(static_cast<size_t>(mark.First), static_cast<size_t>(mark.Count)));
    }
    return shown;
  }

  std::vector<std::string> m_lines;
  uint16_t m_sequence = 0;
  DisplayDrain m_drain;
  PacketHistory m_history{m_drain, {1000, 64}};
  DisplayFind m_find{m_history};
};

TEST_F(DisplayFindTest, MatchesRunAcrossLinesButNotAcrossPackets) {
  Show(CountingBytes(40));        // lines 0..2: bytes 00..27
  Show(std::string("\x26\x27", 2));  // line 3: the end of the first again
  Show("PING PING");              // line 4
  struct Case {
    std::string Pattern;
    size_t Count;
    uint64_t CurrentLine;  // of the newest match, current after a new pattern
  };
  const std::vector<Case> cases = {
      {"0E 0F 10 11", 1, 0},  // over the boundary of lines 0 and 1
      {"1F 20", 1, 1},
      {"26 27", 2, 3},        // in both packets...
      {"27 26", 0, 0},        // ...but never from one into the next
      {"\"PING\"", 2, 4},
      {"\"ING P\"", 1, 4},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    Find(c.Pattern);
    EXPECT_EQ(m_find.Count(), c.Count) << c.Pattern;
    if (c.Count > 0) {
      EXPECT_EQ(m_find.CurrentLine(), c.CurrentLine) << c.Pattern;
    }
  }
  // The marks cover a match's hex digits and its characters on each line it
  // takes, the space between two of its bytes included.
  Find("0E 0F 10 11");
  EXPECT_EQ(Marked(0), (std::vector<std::string>{"*0E 0F", "*\xB7\xB7"}));
  EXPECT_EQ(Marked(1), (std::vector<std::string>{"*10 11", "*\xB7\xB7"}));
  EXPECT_TRUE(Marked(2).empty());
  Find("02 03 04");
  EXPECT_EQ(Marked(0), (std::vector<std::string>{"*02 03  04", "*\xB7\xB7\xB7"}));
  Find("\"PING\"");
  EXPECT_EQ(Marked(4), (std::vector<std::string>{"50 49 4E 47", "PING", "*50 49 4E  47", "*PING"}));
}

TEST_F(DisplayFindTest, NextAndPreviousGoRoundAndTheCountSaysWhere) {
  for (int i = 0; i < 3; ++i) Show("AA AA");
  Find("\"AA\"");
  ASSERT_EQ(m_find.Count(), 6u);  // overlapping: "AA AA" holds "AA" twice
  EXPECT_EQ(m_find.CountText(), "6 of 6");
  const std::vector<std::pair<bool, std::string>> steps = {
      {true, "1 of 6"}, {true, "2 of 6"}, {false, "1 of 6"}, {false, "6 of 6"}, {false, "5 of 6"}, {true, "6 of 6"},
  };
  for (const auto& [next, text] : steps) {
    ASSERT_TRUE(next ? m_find.Next() : m_find.Previous());
    EXPECT_EQ(m_find.CountText(), text);
  }
  Find("\"none\"");
  EXPECT_EQ(m_find.CountText(), "No matches");
  EXPECT_FALSE(m_find.Next());
  EXPECT_FALSE(m_find.Previous());
  Find("");
  EXPECT_EQ(m_find.CountText(), "");
}

TEST_F(DisplayFindTest, CaptureGoesOnWhileAPatternIsSet) {
  Show("x1");
  Show("x2");
  Find("\"x\"");
  ASSERT_TRUE(m_find.Previous());
  EXPECT_EQ(m_find.CountText(), "1 of 2");
  // New packets add matches and leave the current one where it is.
  for (int i = 0; i < 10; ++i) Show("x");
  m_find.Update();
  EXPECT_EQ(m_find.CountText(), "1 of 12");
  // The history lets its oldest go: so do their matches, and the current
  // one moves to the oldest left.
  for (int i = 0; i < 995; ++i) Show("y");
  m_find.Update();
  EXPECT_EQ(m_find.Count(), 5u);
  EXPECT_EQ(m_find.CountText(), "1 of 5");
  EXPECT_EQ(m_find.CurrentLine(), m_history.FrontLine());
  // A cleared display takes every match with it.
  m_drain.Clear();
  m_find.Update();
  EXPECT_EQ(m_find.CountText(), "No matches");
  Show("x");
  m_find.Update();
  EXPECT_EQ(m_find.CountText(), "1 of 1");
}

}  // namespace
}  // namespace tapwise
