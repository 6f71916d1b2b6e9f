#include "core/userpackets/PacketCompiler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace tapwise {
namespace {

using ByteVector = std::vector<uint8_t>;

struct Compiled {
  int32_t Count;
  ByteVector Bytes;  // the stored bytes
};

Compiled Compile(std::string_view text, CalcState& calc, int32_t capacity = PacketTextCapacity) {
  ByteVector buffer(static_cast<size_t>(capacity) + 16, 0xEE);
  const int32_t count = CompilePacketText(text, buffer.data(), capacity, calc);
  // Nothing may land beyond the capacity.
  for (size_t i = static_cast<size_t>(capacity); i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE) << text;
  const size_t stored = count < 0 ? 0 : std::min<size_t>(static_cast<size_t>(count), static_cast<size_t>(capacity));
  buffer.resize(stored);
  return {count, buffer};
}

TEST(PacketCompiler, FollowsTheSyntax) {
  struct Row {
    std::string Text;
    ByteVector Bytes;  // expected; ignored when Error
    bool Error;
  };
  const std::vector<Row> rows = {
      // Separators: every byte 00h..20h and the comma.
      {"", {}, false},
      {"\"\"", {}, false},
      {" ,\t\r\n", {}, false},
      {std::string("01\0" "02\x1F" "03", 8), {1, 2, 3}, false},
      {"01 02 03", {1, 2, 3}, false},
      {"1,2,3", {1, 2, 3}, false},
      {"41 42,", {0x41, 0x42}, false},
      // Tokens of any length keep their last two digits; letters in any case.
      {"0102", {0x02}, false},
      {"123", {0x23}, false},
      {"aB", {0xAB}, false},
      {"123456789ABCDEF0", {0xF0}, false},
      // Quotes: only '"' opens, either quote closes, unclosed runs to the end.
      {"\"A B,C\"", {0x41, 0x20, 0x42, 0x2C, 0x43}, false},
      {"\"AB'", {0x41, 0x42}, false},
      {"\"AB", {0x41, 0x42}, false},
      {"02\"AB\"03", {0x02, 0x41, 0x42, 0x03}, false},
      {"\"$0\t\x01\"", {'$', '0', '\t', 0x01}, false},
      {"\"\xE9\xFF\"", {0xE9, 0xFF}, false},
      // A '$' anywhere makes a calculated byte only for values 0..F.
      {"$1F", {0x1F}, false},
      {"$10", {0x10}, false},
      {"1$F", {0x1F}, false},
      {"$$$1F", {0x1F}, false},
      // Syntax errors.
      {"'AB'", {}, true},
      {"0x41", {}, true},
      {"41h", {}, true},
      {"12-34", {}, true},
      {"G1", {}, true},
      {"01 02 \xB7", {}, true},
      {"\"A\"'", {}, true},
  };
  for (const Row& row : rows) {
    CalcState calc;
    Compiled got = Compile(row.Text, calc);
    if (row.Error) {
      EXPECT_EQ(got.Count, -1) << row.Text;
    } else {
      EXPECT_EQ(got.Count, static_cast<int32_t>(row.Bytes.size())) << row.Text;
      EXPECT_EQ(got.Bytes, row.Bytes) << row.Text;
    }
  }
}

TEST(PacketCompiler, WorksOutSumsAndExclusiveOrsOfThePreviousBytes) {
  struct Row {
    const char* Text;
    ByteVector Bytes;
  };
  for (const Row& row : std::vector<Row>{
           {"01 02 $9", {1, 2, 0x03}},
           {"01 02 $A", {1, 2, 0xFC}},
           {"01 02 $B", {1, 2, 0xFD}},
           {"$B", {0x00}},
           {"01 02 03 $C", {1, 2, 3, 0x00}},
           {"01 02 03 $D", {1, 2, 3, 0x01}},
           {"01 02 03 $E", {1, 2, 3, 0x03}},
           {"AA 01 02 03 $F", {0xAA, 1, 2, 3, 0x03}},
           {"AA 01 $F", {0xAA, 1, 0x00}},
           {"$9 $9", {0, 0}},
           {"05 $9 $9", {5, 5, 0x0A}},
           {"FF FF \"\x02\" $9", {0xFF, 0xFF, 2, 0x00}},
           {"80 80 $C $D", {0x80, 0x80, 0x00, 0x80}},
       }) {
    CalcState calc;
    Compiled got = Compile(row.Text, calc);
    EXPECT_EQ(got.Bytes, row.Bytes) << row.Text;
  }
}

TEST(PacketCompiler, CounterIsSharedAcrossCompilesAndWraps) {
  CalcState calc;
  EXPECT_EQ(Compile("$0 $0", calc).Bytes, (ByteVector{0, 1}));
  // "$", "$0" and "0$" are all the counter; the next compile goes on from 2.
  EXPECT_EQ(Compile("$ 0$ $00", calc).Bytes, (ByteVector{2, 3, 4}));
  for (int i = 5; i < 255; ++i) Compile("$0", calc);
  EXPECT_EQ(Compile("$0 $0 $0", calc).Bytes, (ByteVector{0xFF, 0x00, 0x01}));
  // Counters met before a syntax error stay taken.
  EXPECT_EQ(Compile("$0 $0 G", calc).Count, -1);
  EXPECT_EQ(calc.CalcCounter(), 4);
}

TEST(PacketCompiler, RandomSequenceStartsFromSeedZeroEveryRun) {
  CalcState calc;
  EXPECT_EQ(Compile("$1 $1 $1 $1 $1 $1", calc).Bytes, (ByteVector{0x00, 0x08, 0xDC, 0x33, 0x45, 0xAB}));
  CalcState again;
  EXPECT_EQ(Compile("$2 $3 $4 $5 $6 $7 $8", again).Bytes, (ByteVector{0x00, 0x01, 0x20, 0x03, 0x02, 0x02, 0x00}));
  EXPECT_EQ(again.Seed(), 0x5195C04Bu);
}

TEST(PacketCompiler, RandomBcdStaysWithinItsRange) {
  CalcState calc;
  for (auto [code, highest] : std::vector<std::pair<std::string, int>>{
           {"$2 ", 0x99}, {"$3 ", 0x59}, {"$4 ", 0x23}, {"$5 ", 0x15}, {"$6 ", 7}, {"$7 ", 3}, {"$8 ", 1}}) {
    std::string text;
    for (int i = 0; i < 500; ++i) text += code;
    const ByteVector bytes = Compile(text, calc).Bytes;
    ASSERT_EQ(bytes.size(), 500u);
    for (uint8_t b : bytes) EXPECT_TRUE(b <= highest && (b & 0xF) <= 9) << code << int(b);
    EXPECT_EQ(*std::max_element(bytes.begin(), bytes.end()), highest) << code << ": 500 draws reach the top";
  }
}

TEST(PacketCompiler, CountsBeyondTheCapacityButStoresOnlyWhatFits) {
  std::string text;
  for (int i = 0; i < 2100; ++i) text += "5A ";
  CalcState calc;
  Compiled got = Compile(text, calc);
  EXPECT_EQ(got.Count, 2100);
  EXPECT_EQ(got.Bytes, ByteVector(2049, 0x5A));
  // The running values go on over the bytes that were not stored.
  got = Compile("01 02 03 04 $9", calc, 2);
  EXPECT_EQ(got.Count, 5);
  EXPECT_EQ(got.Bytes, (ByteVector{1, 2}));
  EXPECT_EQ(Compile("\"ABC\"", calc, 0).Count, 3);
}

TEST(PacketCompiler, TwoThreadsNeverTakeTheSameCounterValue) {
  // 2 x 128 compiles take every counter value exactly once, unless an update
  // is lost: then one value comes twice.
  CalcState calc;
  std::vector<uint8_t> seen[2];
  auto compileMany = [&calc](std::vector<uint8_t>& out) {
    uint8_t buffer[PacketTextCapacity];
    for (int i = 0; i < 128; ++i) {
      ASSERT_EQ(CompilePacketText("$0", buffer, PacketTextCapacity, calc), 1);
      out.push_back(buffer[0]);
    }
  };
  std::thread first(compileMany, std::ref(seen[0]));
  std::thread second(compileMany, std::ref(seen[1]));
  first.join();
  second.join();
  std::vector<uint8_t> all = seen[0];
  all.insert(all.end(), seen[1].begin(), seen[1].end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
  EXPECT_EQ(calc.CalcCounter(), 0);
}

TEST(PacketCompiler, HelpIsTheUsersReference) {
  EXPECT_TRUE(CalculatedBytesHelp.starts_with("\\b\\uCalculated Bytes\\u:\\b\\n\\nFormat: $h   Where"));
  EXPECT_TRUE(CalculatedBytesHelp.ends_with("\\t$F Exclusive OR of all previous bytes except first 3"));
}

}  // namespace
}  // namespace tapwise
