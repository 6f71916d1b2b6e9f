// Highlight rules: which rule a packet matches (the first, by place), what
// a rule that does not compile says, and the display lines they mark as
// packets come and when the rules change.

#include "core/userpackets/HighlightRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/display/DisplayDrain.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

uint8_t MarkOf(const HighlightRules& rules, const std::string& bytes) {
  return rules.MarkOf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

HighlightRuleSet Rules(const std::vector<std::pair<size_t, std::string>>& patterns) {
  HighlightRuleSet rules = DefaultHighlightRules();
  for (const auto& [place, pattern] : patterns) rules[place].Pattern = pattern;
  return rules;
}

TEST(HighlightRules, FirstMatchingRuleByPlace) {
  HighlightRules rules;
  EXPECT_FALSE(rules.Any());
  rules.Set(Rules({{1, "02 30 31"}, {3, "\"PING\""}, {5, "\"OK\" 0D"}, {6, "30"}}));
  EXPECT_TRUE(rules.Any());
  struct Case {
    std::string Bytes;
    uint8_t Mark;
  };
  const std::vector<Case> cases = {
      {std::string("\x02\x30\x31", 3), 2},
      {std::string("xx\x02\x30\x31yy", 7), 2},
      {"a PING b", 4},
      {"OK\r", 6},
      {"OK", 0},        // the CR is part of the pattern
      {"ping", 0},      // text matches exactly
      {"0", 7},         // 30 alone is rule 7's
      {std::string("\x02\x30\x31PING", 7), 2},  // both: the first place wins
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(MarkOf(rules, c.Bytes), c.Mark) << c.Bytes;
  EXPECT_EQ(rules.MarkColour(2), DefaultHighlightRules()[1].Colour);
  // A mark whose rule is unused, or out of range, stands for nothing.
  EXPECT_EQ(rules.MarkColour(1), PacketMarker::UnmarkedColour);
  EXPECT_EQ(rules.MarkColour(9), PacketMarker::UnmarkedColour);
  EXPECT_EQ(rules.MarkColour(0), PacketMarker::UnmarkedColour);
}

TEST(HighlightRules, ARuleThatDoesNotCompileMarksNothingAndSaysWhy) {
  HighlightRules rules;
  rules.Set(Rules({{0, "02 zz"}, {1, "\"PING\""}, {2, "$0"}}));
  EXPECT_EQ(rules.Problem(0), "Not a pattern: 'z' at character 4 is neither a hex byte nor quoted text");
  EXPECT_EQ(rules.Problem(1), "");
  EXPECT_EQ(rules.Problem(2), "A pattern cannot hold the counter or a random byte ($0..$8)");
  EXPECT_EQ(rules.Problem(3), "");
  EXPECT_EQ(MarkOf(rules, std::string("\x02 PING", 6)), 2);
  EXPECT_EQ(rules.MarkColour(1), PacketMarker::UnmarkedColour);
}

struct MarkedDrain : ::testing::Test {
  DisplayDrain drain;
  HighlightRules rules;
  uint16_t sequence = 0;
  MarkedDrain() { drain.SetMarker(&rules); }
  void Add(const std::string& bytes, uint8_t port = 1) { HandTo(drain, *MakeRecord(port, bytes), ++sequence); }
  std::vector<int> Marks() const {
    std::vector<int> marks;
    for (int i = 0; i < drain.LineCount(); ++i) marks.push_back(drain.Buffer().Line(i).Mark);
    return marks;
  }
};

// A pattern that runs over the 16-byte line boundary marks every line of
// its packet; the packets around it stay unmarked.
TEST_F(MarkedDrain, EveryLineOfAMatchingPacketAcrossLineBoundaries) {
  rules.Set(Rules({{2, "0E 0F 10 11"}}));
  Add("before");
  Add(CountingBytes(40));  // 00..27: three lines, the match over lines 1 and 2
  Add(CountingBytes(14));  // 00..0D: no match
  EXPECT_EQ(Marks(), (std::vector<int>{0, 3, 3, 3, 0}));
}

// New rules mark the held lines again, from the bytes their hex columns show.
TEST_F(MarkedDrain, NewRulesMarkTheHeldLinesAgain) {
  Add("PING");
  Add(CountingBytes(40));
  Add("PONG");
  EXPECT_EQ(Marks(), (std::vector<int>{0, 0, 0, 0, 0}));
  rules.Set(Rules({{0, "\"PONG\""}, {4, "1F 20"}}));
  drain.Remark();
  EXPECT_EQ(Marks(), (std::vector<int>{0, 5, 5, 5, 1}));
  rules.Set(DefaultHighlightRules());
  drain.Remark();
  EXPECT_EQ(Marks(), (std::vector<int>{0, 0, 0, 0, 0}));
}

// Running text: a line is marked when a packet whose text it shows matched.
TEST_F(MarkedDrain, RunningTextLinesTakeTheMarkOfTheirPackets) {
  rules.Set(Rules({{1, "\"ERR\""}}));
  drain.SetHexDisplay(false);
  Add("ok\r");
  Add("more ERR\r");
  Add("fine");
  EXPECT_EQ(Marks(), (std::vector<int>{0, 2, 0}));
  // Lines of text cannot be read back as packets: they keep their marks.
  rules.Set(DefaultHighlightRules());
  drain.Remark();
  EXPECT_EQ(Marks(), (std::vector<int>{0, 2, 0}));
}

}  // namespace
}  // namespace tapwise
