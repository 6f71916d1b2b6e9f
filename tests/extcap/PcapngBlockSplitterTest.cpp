// Whole blocks out of a stream that comes in pieces: whatever the pieces,
// the blocks passed on are the stream's, and a stream that is not pcapng
// is refused rather than passed on half.

#include "extcap/PcapngBlockSplitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/format/PcapngWriter.h"
#include "support/PcapngBlocks.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

std::string SampleStream() {
  PcapngWriter writer(LinkTypeUser0, [](uint8_t port) { return "/dev/pts/" + std::to_string(port); });
  std::string stream;
  writer.AppendSectionHeader(stream);
  writer.DeclareInterface(1, stream);
  for (size_t length : {1u, 3u, 16u, 255u, 4096u}) writer.AppendPacket(*MakeRecord(1, CountingBytes(length)), stream);
  writer.AppendPacket(*MakeRecord(2, "later port", OriginTransmitted), stream);
  return stream;
}

TEST(PcapngBlockSplitter, PassesOnWholeBlocksWhateverThePieces) {
  const std::string stream = SampleStream();
  for (size_t piece : {size_t{1}, size_t{3}, size_t{7}, size_t{100}, size_t{4099}, stream.size()}) {
    PcapngBlockSplitter splitter;
    std::string passed;
    for (size_t at = 0; at < stream.size(); at += piece) {
      ASSERT_TRUE(splitter.Add(std::string_view(stream).substr(at, piece))) << piece << ": " << splitter.Problem();
      const std::string blocks = splitter.TakeBlocks();
      // What is passed on at any moment is a readable file.
      passed += blocks;
      ASSERT_EQ(ReadPcapngBlocks(passed).Error, "") << piece << " at " << at;
    }
    EXPECT_EQ(passed, stream) << piece;
    EXPECT_EQ(splitter.Partial(), 0u);
  }
}

TEST(PcapngBlockSplitter, HoldsBackABlockThatHasNotComeWhole) {
  const std::string stream = SampleStream();
  PcapngBlockSplitter splitter;
  ASSERT_TRUE(splitter.Add(std::string_view(stream).substr(0, stream.size() - 1)));
  const std::string blocks = splitter.TakeBlocks();
  EXPECT_EQ(ReadPcapngBlocks(blocks).Error, "");
  EXPECT_EQ(ReadPcapngBlocks(blocks).Blocks.size(), 8u);
  EXPECT_GT(splitter.Partial(), 0u);
}

TEST(PcapngBlockSplitter, RefusesWhatIsNotPcapng) {
  const std::string good = SampleStream();
  std::string wrongMagic = good;
  wrongMagic[8] = 0;
  std::string tooShort = good;
  tooShort.replace(4, 4, std::string("\x08\0\0\0", 4));
  std::string odd = good;
  odd.replace(4, 4, std::string("\x1d\0\0\0", 4));
  std::string huge = good;
  huge.replace(4, 4, std::string("\0\0\0\x7f", 4));
  std::string lengthsDiffer = good;
  lengthsDiffer[ReadPcapngBlocks(good).Blocks[1].Offset - 4] ^= 4;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"COM1 07:04.3 01 02\r\n and more text", "the stream does not begin with a section header"},
      {wrongMagic, "a section header without its byte-order mark"},
      {tooShort, "a block 8 bytes long"},
      {odd, "a block 29 bytes long"},
      {huge, "a block 2130706432 bytes long"},
      {lengthsDiffer, "a block whose two lengths differ"},
  };
  for (const auto& [stream, problem] : cases) {
    PcapngBlockSplitter splitter;
    EXPECT_FALSE(splitter.Add(stream)) << problem;
    EXPECT_EQ(splitter.Problem(), problem);
    EXPECT_EQ(splitter.TakeBlocks(), "") << problem;
    EXPECT_FALSE(splitter.Add(good)) << "stays refused";
  }
}

}  // namespace
}  // namespace tapwise
