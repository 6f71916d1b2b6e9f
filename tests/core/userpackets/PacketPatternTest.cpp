#include "core/userpackets/PacketPattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tapwise {
namespace {

using ByteVector = std::vector<uint8_t>;
using Offsets = std::vector<size_t>;

TEST(PacketPattern, CompilesAndFinds) {
  struct Row {
    std::string Text;
    ByteVector Bytes;   // the compiled pattern
    ByteVector Packet;  // searched
    Offsets Found;
  };
  const std::vector<Row> rows = {
      {"02 30 31", {0x02, 0x30, 0x31}, {0x00, 0x02, 0x30, 0x31, 0x03}, {1}},
      {"\"PING\"", {'P', 'I', 'N', 'G'}, {'x', 'P', 'I', 'N', 'G', 'P', 'I', 'N', 'G'}, {1, 5}},
      // Hex and text mixed, as a user packet would be written.
      {"02 \"OK\" 0D,0A", {0x02, 'O', 'K', 0x0D, 0x0A}, {0x02, 'O', 'K', 0x0D, 0x0A}, {0}},
      // Overlapping matches each count.
      {"AA AA", {0xAA, 0xAA}, {0xAA, 0xAA, 0xAA, 0x01, 0xAA, 0xAA}, {0, 1, 4}},
      {"FF", {0xFF}, {0x01, 0x02}, {}},
      // Longer than the packet, at its very end, the whole packet.
      {"01 02 03", {0x01, 0x02, 0x03}, {0x01, 0x02}, {}},
      {"03", {0x03}, {0x01, 0x02, 0x03}, {2}},
      {"01 02", {0x01, 0x02}, {0x01, 0x02}, {0}},
      // A sum of the bytes before it is fixed by the pattern, so it may be searched for.
      {"01 02 $9", {0x01, 0x02, 0x03}, {0x07, 0x01, 0x02, 0x03}, {1}},
      // Blank: an empty pattern, which matches nothing.
      {"  ", {}, {0x20, 0x20}, {}},
  };
  for (const Row& row : rows) {
    PacketPattern pattern;
    ASSERT_TRUE(PacketPattern::Compile(row.Text, pattern).Ok()) << row.Text;
    EXPECT_EQ(pattern.Text(), row.Text);
    EXPECT_EQ(pattern.Bytes(), row.Bytes) << row.Text;
    EXPECT_EQ(pattern.Empty(), row.Bytes.empty()) << row.Text;
    EXPECT_EQ(pattern.FindIn(row.Packet.data(), row.Packet.size()), row.Found) << row.Text;
    EXPECT_EQ(pattern.Matches(row.Packet.data(), row.Packet.size()), !row.Found.empty()) << row.Text;
  }
}

TEST(PacketPattern, RefusesWhatDoesNotCompileAndSaysWhere) {
  struct Row {
    std::string Text;
    std::string Message;
  };
  const std::vector<Row> rows = {
      {"02 G1", "Not a pattern: 'G' at character 4 is neither a hex byte nor quoted text"},
      {"x", "Not a pattern: 'x' at character 1 is neither a hex byte nor quoted text"},
      {"\"ok\" 01 -", "Not a pattern: '-' at character 9 is neither a hex byte nor quoted text"},
      {"$0", "A pattern cannot hold the counter or a random byte ($0..$8)"},
      {"01 $8", "A pattern cannot hold the counter or a random byte ($0..$8)"},
      {"\"" + std::string(4097, 'a'), "The pattern makes 4097 bytes; a packet holds at most 4096"},
  };
  for (const Row& row : rows) {
    PacketPattern pattern;
    ASSERT_TRUE(PacketPattern::Compile("01", pattern).Ok());
    const Result compiled = PacketPattern::Compile(row.Text, pattern);
    EXPECT_FALSE(compiled.Ok()) << row.Text;
    EXPECT_EQ(compiled.Message(), row.Message) << row.Text;
    // A pattern that does not compile leaves the one before it in place.
    EXPECT_EQ(pattern.Text(), "01") << row.Text;
    EXPECT_EQ(pattern.Bytes(), ByteVector{0x01}) << row.Text;
  }
  // Quoted, the same characters are plain text, and "$1F" is a plain byte.
  PacketPattern pattern;
  ASSERT_TRUE(PacketPattern::Compile("\"$0 G\" $1F", pattern).Ok());
  EXPECT_EQ(pattern.Bytes(), (ByteVector{'$', '0', ' ', 'G', 0x1F}));
}

}  // namespace
}  // namespace tapwise
