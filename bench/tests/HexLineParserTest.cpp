#include "support/HexLineParser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/format/HexLines.h"
#include "support/Random.h"
#include "support/SentStream.h"
#include "support/StreamCheck.h"

namespace tapwise::bench {
namespace {

class VectorStream final : public SentStream {
 public:
  std::vector<uint8_t> Bytes;
  uint8_t ByteAt(uint64_t offset) const override { return Bytes[offset]; }
  uint64_t Offered() const override { return Bytes.size(); }
  uint64_t Written() const override { return Bytes.size(); }
};

// Packets of the given lengths, alternating between the two ports, as the
// program prints them; what each port sent goes into its stream.
std::string Output(const std::vector<uint16_t>& lengths, uint8_t firstPort, VectorStream streams[2]) {
  std::string out;
  uint64_t seed = 7;
  for (size_t n = 0; n < lengths.size(); ++n) {
    auto record = std::make_unique<PacketRecord>();
    record->Port = static_cast<uint8_t>(firstPort + n % 2);
    record->Origin = OriginReceived;
    record->Time = 45000.5;
    record->Length = lengths[n];
    for (uint16_t i = 0; i < lengths[n]; ++i) {
      record->Data[i] = static_cast<uint8_t>(Mix(seed++));
      streams[n % 2].Bytes.push_back(record->Data[i]);
    }
    for (int line = 0; line < HexLineCount(*record); ++line) out += FormatHexLine(*record, line) + "\r\n";
  }
  return out;
}

struct Parsed {
  VectorStream Streams[2];
  PortChecks Checks;
  std::unique_ptr<HexLineParser> Parser;
};

// Parses `out` in pieces of `piece` bytes against two ports from firstPort.
void Parse(Parsed& parsed, const std::string& out, size_t piece, int firstPort) {
  for (int p = 0; p < 2; ++p) parsed.Checks.push_back(std::make_unique<StreamCheck>(firstPort + p, parsed.Streams[p]));
  parsed.Parser = std::make_unique<HexLineParser>(parsed.Checks, firstPort);
  for (size_t at = 0; at < out.size(); at += piece)
    parsed.Parser->Feed(out.data() + at, std::min(piece, out.size() - at));
  parsed.Parser->Finish();
  for (auto& check : parsed.Checks) check->Finish();
}

TEST(HexLineParser, ReadsBackEveryByteThatTheProgramsHexLinesHold) {
  const std::vector<uint16_t> lengths = {5, 0, 16, 17, 4096, 1, 4096, 4095, 32};
  for (uint8_t firstPort : {uint8_t{1}, uint8_t{97}}) {
    for (size_t piece : {size_t{1}, size_t{7}, size_t{1 << 16}}) {
      SCOPED_TRACE("COM" + std::to_string(firstPort) + ", pieces of " + std::to_string(piece));
      Parsed parsed;
      const std::string out = Output(lengths, firstPort, parsed.Streams);
      Parse(parsed, out, piece, firstPort);
      const HexLineParser& parser = *parsed.Parser;
      EXPECT_EQ(parser.Malformed, 0u) << (parser.Notes.empty() ? "" : parser.Notes.front());
      EXPECT_EQ(parser.Packets, lengths.size());
      EXPECT_EQ(parser.FullPackets, 2u);
      EXPECT_EQ(parser.Lines, out.size() / 82);
      for (int p = 0; p < 2; ++p) {
        EXPECT_EQ(parsed.Checks[p]->Received, parsed.Streams[p].Bytes.size());
        EXPECT_EQ(parsed.Checks[p]->Lost(), 0u);
        EXPECT_TRUE(parsed.Checks[p]->Notes.empty());
      }
    }
  }
}

struct Damage {
  const char* Name;
  void (*Apply)(std::string& out);  // out: one 20-byte packet on COM1, two lines
  const char* Note;
};

TEST(HexLineParser, RefusesLinesThatAreNotExactlyAsTheProgramWritesThem) {
  const std::vector<Damage> damages = {
      {"LF without CR", [](std::string& out) { out.erase(80, 1); }, "a line of 80 bytes before LF"},
      {"a character too many", [](std::string& out) { out.insert(70, " "); }, "a line of 82 bytes before LF"},
      {"a header that is not COM or ERR", [](std::string& out) { out[1] = 'X'; }, "a header that does not parse"},
      {"a time that is not mm:ss.t", [](std::string& out) { out[7] = '-'; }, "a header that does not parse"},
      {"a port that was not fed", [](std::string& out) { out[3] = '3'; }, "a port that was not fed"},
      {"a hex digit in lower case", [](std::string& out) { out[13] = 'g'; }, "a hex cell that does not parse"},
      {"hex cells moved", [](std::string& out) { out.erase(12, 1).insert(60, " "); }, "not spaced right"},
      {"the text column disagreeing", [](std::string& out) { out[64] ^= 1; }, "the text column disagrees"},
      {"the first line gone", [](std::string& out) { out.erase(0, 82); }, "without a full line before it"},
      {"the last CR LF gone", [](std::string& out) { out.resize(out.size() - 2); }, "an unfinished last line"},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.Name);
    Parsed parsed;
    std::string out = Output({20}, 1, parsed.Streams);
    ASSERT_EQ(out.size(), 2u * 82);
    damage.Apply(out);
    Parse(parsed, out, out.size(), 1);
    EXPECT_GE(parsed.Parser->Malformed, 1u);
    ASSERT_FALSE(parsed.Parser->Notes.empty());
    EXPECT_NE(parsed.Parser->Notes.front().find(damage.Note), std::string::npos) << parsed.Parser->Notes.front();
  }
}

}  // namespace
}  // namespace tapwise::bench
