// The record file formats: what the writer writes reads back packet for
// packet, and hand-made or damaged files read as the formats define.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/format/HexDataReader.h"
#include "core/format/HexLines.h"
#include "core/format/PacketDataReader.h"
#include "core/format/PacketDataWriter.h"
#include "core/format/RawDataReader.h"
#include "core/format/RecordFile.h"
#include "core/util/AnsiStringLib.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

using Packets = std::vector<std::string>;

std::string Text(const PlayPacket& packet) {
  return std::string(reinterpret_cast<const char*>(packet.Data), packet.Length);
}

struct ReadOutcome {
  Packets Sent;       // packets with at least one byte, as a step sends them
  int Steps = 0;
  bool LayoutError = false;
  int ErrorStep = 0;  // 1-based step of the first layout error
};

// Steps through the file as playback does: one read per step until the file
// is at its end with nothing pending, or a layout error.
ReadOutcome Play(const std::string& path, const std::function<bool(RecordFile&, PlayPacket&)>& read,
                 const std::function<bool()>& pending) {
  RecordFile file;
  // A file that does not open reads as empty, as playback reads it; some
  // cases are about just that.
  (void)file.OpenForPlaying(path);
  PlayPacket packet;
  ReadOutcome outcome;
  while (outcome.Steps < 100000) {
    ++outcome.Steps;
    if (!read(file, packet)) {
      outcome.LayoutError = true;
      outcome.ErrorStep = outcome.Steps;
    }
    EXPECT_LE(packet.Length, PacketCapacity);
    if (packet.Length > 0) outcome.Sent.push_back(Text(packet));
    if (outcome.LayoutError || (file.AtEnd() && !pending())) break;
  }
  return outcome;
}

ReadOutcome PlayPacketData(const std::string& path) {
  PacketDataReader reader;
  return Play(path, [&](RecordFile& f, PlayPacket& p) { return reader.Read(f, p); },
              [&] { return reader.HasPendingLine(); });
}

ReadOutcome PlayHex(const std::string& path) {
  HexDataReader reader;
  return Play(path, [&](RecordFile& f, PlayPacket& p) { reader.Read(f, p); return true; },
              [&] { return reader.HasPending(); });
}

ReadOutcome PlayRaw(const std::string& path, uint8_t terminator, uint16_t count) {
  return Play(path, [&](RecordFile& f, PlayPacket& p) { ReadRawPacket(f, p, terminator, count); return true; },
              [] { return false; });
}

std::string PacketDataFile(const std::vector<std::unique_ptr<PacketRecord>>& records) {
  std::string text;
  for (const auto& record : records) AppendPacketDataLines(*record, text);
  return text;
}

class RecordReaders : public ::testing::Test {
 protected:
  std::string Write(std::string_view bytes, const char* name = "file") {
    std::string path = dir / name;
    TempDir::WriteFile(path, bytes);
    return path;
  }
  TempDir dir;
};

TEST_F(RecordReaders, PacketDataRoundTripKeepsEveryPacketInOrder) {
  // Ports, directions, errors and times are not part of what plays back.
  const size_t lengths[] = {0, 1, 16, 17, 4095, 4096, 3, 255};
  std::vector<std::unique_ptr<PacketRecord>> records;
  Packets expected;
  int port = 1;
  for (size_t length : lengths) {
    std::string bytes = CountingBytes(length);
    for (char& c : bytes) c = static_cast<char>(c ^ (port * 37));
    records.push_back(MakeRecord(static_cast<uint8_t>(port), bytes,
                                 port % 2 ? OriginReceived : OriginTransmitted, port % 3 == 0));
    if (length > 0) expected.push_back(bytes);
    port = port * 5 % 128 + 1;
  }
  std::string text = PacketDataFile(records);
  EXPECT_EQ(text.size() % 82, 0u);
  ReadOutcome outcome = PlayPacketData(Write(text));
  EXPECT_FALSE(outcome.LayoutError);
  ASSERT_EQ(outcome.Sent.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(outcome.Sent[i], expected[i]) << "packet " << i;
  // The zero-length packet costs a step of its own but sends nothing.
  EXPECT_EQ(outcome.Steps, static_cast<int>(std::size(lengths)));
}

TEST_F(RecordReaders, PacketDataLayoutErrors) {
  std::string good = PacketDataFile([] {
    std::vector<std::unique_ptr<PacketRecord>> r;
    r.push_back(MakeRecord(1, "ABC"));
    return r;
  }());
  // A continuation line whose character cells show a time: taken as a new
  // header, its data column falls in the character cells and the line is short.
  std::string timeInCells = PacketDataFile([] {
    std::vector<std::unique_ptr<PacketRecord>> r;
    r.push_back(MakeRecord(2, "0123456789abcdef12:34.5xyz"));
    return r;
  }());
  struct Case {
    const char* name;
    std::string file;
    Packets sent;
    int errorStep;
  };
  const Case cases[] = {
      {"first line without a time", "just some text\r\n" + good, {}, 1},
      {"time in the character cells", good + timeInCells, {"ABC", "0123456789abcdef"}, 3},
      {"line too short for the data", "COM1 00:00.0 41 42\r\n", {}, 1},
      {"short continuation", good.substr(0, 80) + "\r\n" + std::string(12, ' ') + " 44\r\n", {"ABC"}, 1},
      {"a line longer than any", good + std::string(MaxLineLength + 1, 'A') + "\r\n" + good, {"ABC"}, 1},
      {"a run of NULs without a line end", good + std::string(3 * MaxLineLength, '\0'), {"ABC"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadOutcome outcome = PlayPacketData(Write(c.file));
    EXPECT_TRUE(outcome.LayoutError);
    EXPECT_EQ(outcome.ErrorStep, c.errorStep);
    EXPECT_EQ(outcome.Sent, c.sent);
  }
}

TEST_F(RecordReaders, PacketDataHandEditedLinesLoseNothing) {
  const std::string header = "COM1 00:00.0 ";
  // 25 bytes per line without spaces: 163 lines are 4075 bytes, the 164th
  // fills the packet after 21 and its last 4 bytes start the next packet.
  std::string file = header;
  std::string all;
  for (int line = 0; line < 164; ++line) {
    if (line > 0) file += std::string(13, ' ');
    for (int i = 0; i < 25; ++i) {
      const uint8_t byte = static_cast<uint8_t>(line * 25 + i);
      file += HexByte(byte);
      all += static_cast<char>(byte);
    }
    file += "   \r\n";
  }
  file += "COM2 00:01.0 7A 7B\r\n";  // too short: ends the run with an error, after the rest is sent
  ReadOutcome outcome = PlayPacketData(Write(file));
  ASSERT_GE(outcome.Sent.size(), 2u);
  EXPECT_EQ(outcome.Sent[0], all.substr(0, 4096));
  EXPECT_EQ(outcome.Sent[1], all.substr(4096));
  EXPECT_TRUE(outcome.LayoutError);
}

TEST_F(RecordReaders, PacketDataPacketOverFourKilobytesGoesOnInTheNextStep) {
  // A hand-made packet of 4096 + 16 bytes: 257 lines, one header.
  std::string file = PacketDataFile([&] {
    std::vector<std::unique_ptr<PacketRecord>> r;
    r.push_back(MakeRecord(1, CountingBytes(4096)));
    r.push_back(MakeRecord(1, "next"));
    return r;
  }());
  std::string extra = FormatHexLine(*MakeRecord(1, CountingBytes(32)), 1) + "\r\n";
  file.insert(256 * 82, extra);
  ReadOutcome outcome = PlayPacketData(Write(file));
  EXPECT_FALSE(outcome.LayoutError);
  ASSERT_EQ(outcome.Sent.size(), 3u);
  EXPECT_EQ(outcome.Sent[0], CountingBytes(4096));
  EXPECT_EQ(outcome.Sent[1], CountingBytes(32).substr(16));
  EXPECT_EQ(outcome.Sent[2], "next");
}

TEST_F(RecordReaders, HexDataFiles) {
  std::string big;
  for (int i = 0; i < 5000; ++i) big += HexByte(static_cast<uint8_t>(i)) + " ";
  std::string longList;
  while (longList.size() <= MaxLineLength) longList += "01 ";
  struct Case {
    const char* name;
    std::string file;
    Packets sent;
  };
  const Case cases[] = {
      {"the example", "01 02,03\r\nx\r\n04\r\n", {"\x01\x02\x03", "\x04"}},
      {"LF line ends", "01 02,03\nx\n04\n", {"\x01\x02\x03", "\x04"}},
      {"tabs, case, one digit", "a\tB ,  0c\r\n\r\nFf\r\n", {"\x0a\x0b\x0c\xff"}},
      {"a value above FF separates", "41 42\r\n41 100\r\n43\r\n", {"AB", "C"}},
      {"last line without a line end", "41\r\n42", {"AB"}},
      {"empty", "", {}},
      {"only text", "hello\r\nworld\r\n", {}},
      {"a list too long for a line separates", "41\r\n" + longList + "\r\n42\r\n", {"A", "B"}},
      {"so does a NUL run", "41\r\n" + std::string(3 * MaxLineLength, '\0') + "\n42", {"A", "B"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PlayHex(Write(c.file)).Sent, c.sent);
  }
  // A line of 5000 values: 4096 in the first packet, the rest in the next.
  std::string expected;
  for (int i = 0; i < 5000; ++i) expected += static_cast<char>(i);
  ReadOutcome outcome = PlayHex(Write(big + "\r\n"));
  EXPECT_EQ(outcome.Sent, (Packets{expected.substr(0, 4096), expected.substr(4096)}));
}

TEST_F(RecordReaders, RawFilesEndPacketsAtTerminatorRuns) {
  const std::string file("\x41\x00\x42\x00\x00\x43", 6);
  struct Case {
    uint8_t terminator;
    uint16_t count;
    Packets sent;
  };
  const Case cases[] = {
      {0, 2, {std::string("\x41\x00\x42\x00\x00", 5), "\x43"}},
      {0, 1, {std::string("\x41\x00", 2), std::string("\x42\x00", 2), std::string("\x00", 1), "\x43"}},
      {0x42, 1, {std::string("\x41\x00\x42", 3), std::string("\x00\x00\x43", 3)}},
      {0x7E, 1, {file}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "terminator " << int(c.terminator) << " count " << c.count);
    EXPECT_EQ(PlayRaw(Write(file), c.terminator, c.count).Sent, c.sent);
  }
  // Without terminators a packet stops at 4096 bytes.
  ReadOutcome outcome = PlayRaw(Write(std::string(5000, 'x')), 0, 1);
  EXPECT_EQ(outcome.Sent, (Packets{std::string(4096, 'x'), std::string(904, 'x')}));
}

TEST_F(RecordReaders, EmptyOrMissingFilePlaysNothingAndIsAtItsEndAtOnce) {
  for (const std::string& path : {Write(""), dir / "missing"}) {
    RecordFile file;
    const Result opened = file.OpenForPlaying(path);
    if (path == dir / "missing") {
      EXPECT_TRUE(FailedWith(opened, "No such file or directory"));
    } else {
      EXPECT_TRUE(Succeeded(opened));
    }
    EXPECT_TRUE(file.AtEnd());
    EXPECT_EQ(PlayPacketData(path).Sent, Packets{});
    EXPECT_EQ(PlayPacketData(path).Steps, 1);
    EXPECT_FALSE(PlayPacketData(path).LayoutError);
    EXPECT_EQ(PlayHex(path).Steps, 1);
    EXPECT_EQ(PlayRaw(path, 0, 1).Steps, 1);
  }
}

TEST_F(RecordReaders, LineReaderAcrossBlocksAndProgress) {
  // Lines that straddle the 4096-byte blocks, all three line-end styles, and
  // control bytes that vanish.
  std::string file;
  std::vector<std::string> lines;
  for (int i = 0; i < 300; ++i) {
    std::string line(static_cast<size_t>(i % 97), static_cast<char>('A' + i % 26));
    lines.push_back(line);
    file += line.substr(0, line.size() / 2) + "\x01\x1b" + line.substr(line.size() / 2);
    file += i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\r" : "\n";
  }
  file += "tail";
  RecordFile reader;
  ASSERT_TRUE(Succeeded(reader.OpenForPlaying(Write(file))));
  EXPECT_EQ(reader.FileSize(), file.size());
  std::string line;
  int lastProgress = 0;
  for (const std::string& want : lines) {
    ASSERT_EQ(reader.ReadLine(line), LineRead::Ended);
    ASSERT_EQ(line, want);
    EXPECT_GE(reader.Progress(), lastProgress);
    EXPECT_EQ(reader.Progress(), reader.Consumed() * 100 / file.size());
    lastProgress = reader.Progress();
  }
  EXPECT_EQ(reader.ReadLine(line), LineRead::EndOfFile);
  EXPECT_EQ(line, "tail");
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.Progress(), 100);
  reader.Rewind();
  EXPECT_EQ(reader.Progress(), 0);
  ASSERT_EQ(reader.ReadLine(line), LineRead::Ended);
  EXPECT_EQ(line, lines[0]);
}

TEST_F(RecordReaders, LineReaderBoundsWhatItKeepsAndWhatOneCallLooksAt) {
  const std::string longest(MaxLineLength, 'L');
  struct Case {
    const char* name;
    std::string file;
    // What each call gave: the line, "<long>" for a run of TooLong, and
    // "<eof>" before what the end of the file left.
    std::vector<std::string> reads;
  };
  const Case cases[] = {
      {"the longest line", longest + "\r\nz\r\n", {longest, "z", "<eof>"}},
      {"one byte more", longest + "L\r\nz\r\n", {"<long>", "z", "<eof>"}},
      {"dropped bytes count", std::string(MaxLineLength - 9, 'L') + std::string(10, '\x01') + "\nz", {"<long>", "<eof>z"}},
      {"many times the longest", std::string(5 * MaxLineLength + 7, 'L') + "\rz\r", {"<long>", "z", "<eof>"}},
      {"a NUL run", std::string(4 * MaxLineLength, '\0') + "\nz\n", {"<long>", "z", "<eof>"}},
      {"a long line at the end", "a\n" + std::string(2 * MaxLineLength, 'L'), {"a", "<long>", "<eof>"}},
      {"short NUL runs vanish", "a" + std::string(100, '\0') + "b\r\n", {"ab", "<eof>"}},
      {"CR LF, CR, LF and empty lines", "a\r\n\r\nb\rc\n\nd", {"a", "", "b", "c", "", "<eof>d"}},
      {"LF CR is two line ends", "a\n\rb", {"a", "", "<eof>b"}},
      {"CR LF after a long line is one line end", longest + "LL\r\n\r\nz", {"<long>", "", "<eof>z"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordFile file;
    ASSERT_TRUE(Succeeded(file.OpenForPlaying(Write(c.file))));
    std::vector<std::string> reads;
    std::string line;
    for (int calls = 0; calls < 1000; ++calls) {
      const uint64_t before = file.Consumed();
      const LineRead read = file.ReadLine(line);
      // The line's bytes, its line end and the LF of a CR LF before it.
      EXPECT_LE(file.Consumed() - before, MaxLineLength + 2);
      EXPECT_LE(line.size(), MaxLineLength);
      if (read == LineRead::TooLong) {
        EXPECT_TRUE(line.empty());
        if (reads.empty() || reads.back() != "<long>") reads.push_back("<long>");
      } else if (read == LineRead::Ended) {
        reads.push_back(line);
      } else {
        reads.push_back("<eof>" + line);
        break;
      }
    }
    EXPECT_EQ(reads, c.reads);
  }
}

TEST_F(RecordReaders, AFileOfWholeBlocksIsAtItsEndAfterItsLastByte) {
  RecordFile file;
  ASSERT_TRUE(Succeeded(file.OpenForPlaying(Write(std::string(2 * RecordBlockSize, 'z')))));
  uint8_t byte = 0;
  for (size_t i = 0; i < 2 * RecordBlockSize; ++i) {
    ASSERT_FALSE(file.AtEnd());
    ASSERT_TRUE(file.ReadByte(byte));
  }
  EXPECT_TRUE(file.AtEnd());
  EXPECT_FALSE(file.ReadByte(byte));
}

}  // namespace
}  // namespace tapwise
