#include "core/display/DisplayDrain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/format/HexLines.h"
#include "core/session/PacketFanOut.h"
#include "support/FakeOpener.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

const std::string Dot(1, static_cast<char>(183));

std::unique_ptr<PacketRecord> Record(uint8_t port, const std::string& bytes, uint8_t origin = OriginReceived,
                                     uint8_t error = 0) {
  return MakeRecord(port, bytes, origin, error);
}

std::string Counting(size_t length) { return CountingBytes(length); }

struct Listener : DisplayListener {
  void PacketShown() override { ++Scrolls; }
  void LineFinished(const DisplayLine& line) override { Finished.push_back(line.Text); }
  int Scrolls = 0;
  std::vector<std::string> Finished;
};

// A sink after the display, as the recorder is.
struct Recorder : PacketSink {
  void Take(const PacketView& packet) override {
    Recorded.emplace_back(reinterpret_cast<const char*>(packet.Record().Data), packet.Record().Length);
  }
  std::vector<std::string> Recorded;
};

class DisplayDrainTest : public ::testing::Test {
 protected:
  DisplayDrainTest() {
    for (int port : {1, 2, 3, 10, 16, 35, 128}) m_opener.AddFake(static_cast<uint8_t>(port));
    m_comms.CreatePorts();
    m_drain.SetListener(&m_listener);
    m_fanOut.AddSink(m_drain);
    m_fanOut.AddSink(m_recorder);
  }

  void Queue(std::unique_ptr<PacketRecord> record) { m_comms.Queue().Append(std::move(record)); }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (int i = 0; i < m_drain.LineCount(); ++i) texts.push_back(m_drain.Buffer().Line(i).Text);
    return texts;
  }

  FakeOpener m_opener;
  TWComms m_comms{m_opener};
  DisplayDrain m_drain;
  Listener m_listener;
  Recorder m_recorder;
  PacketFanOut m_fanOut{m_comms};
};

TEST_F(DisplayDrainTest, HexPacketsBecomeOneLinePerSixteenBytes) {
  struct Case {
    size_t length;
    uint8_t port;
    uint8_t origin;
    uint8_t error;
    int lines;
    std::string header;
  };
  const Case cases[] = {
      {0, 1, OriginReceived, 0, 1, "COM1 07:04.3"},
      {16, 10, OriginReceived, 0, 1, "COMa 07:04.3"},
      {17, 16, OriginReceived, 0, 2, "COMg 07:04.3"},
      {5, 35, OriginTransmitted, 0, 1, "COMz*07:04.3"},
      {5, 128, OriginReceived, 0, 1, "COM\xd7 07:04.3"},
      {1, 3, OriginTransmitted, 1, 1, "ERR3*07:04.3"},
  };
  uint16_t counter = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    const int before = m_drain.LineCount();
    const int scrolls = m_listener.Scrolls;
    m_listener.Finished.clear();
    auto record = Record(c.port, Counting(c.length), c.origin, c.error);
    PacketRecord copy = *record;
    Queue(std::move(record));
    ASSERT_EQ(m_fanOut.DrainQueue(), 1u);
    ++counter;

    ASSERT_EQ(m_drain.LineCount(), before + c.lines);
    EXPECT_EQ(m_listener.Scrolls, scrolls + 1);  // once per packet, not per line
    ASSERT_EQ(m_listener.Finished.size(), static_cast<size_t>(c.lines));
    for (int i = 0; i < c.lines; ++i) {
      const DisplayLine& line = m_drain.Buffer().Line(before + i);
      EXPECT_EQ(line.Text, FormatHexLine(copy, i));
      EXPECT_EQ(line.Text.size(), 80u);
      EXPECT_EQ(m_listener.Finished[i], line.Text);
      EXPECT_EQ(line.Port, c.port);
      EXPECT_EQ(line.Origin, c.origin);
      EXPECT_EQ(line.Error, c.error);
      EXPECT_EQ(line.Sequence, counter);
    }
    EXPECT_EQ(m_drain.Buffer().Line(before).Text.substr(0, 12), c.header);
  }
  EXPECT_EQ(m_drain.PacketCounter(), counter);
  EXPECT_EQ(m_recorder.Recorded.size(), std::size(cases));
}

TEST_F(DisplayDrainTest, AsciiTextBreaksAtCrOnlyAndWrapsAtEightyCharacters) {
  struct Case {
    const char* name;
    std::vector<std::string> packets;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"CR", {"ab\rcd"}, {"ab", "cd"}},
      {"lone LF", {"ab\ncd"}, {"abcd"}},
      {"CR LF", {"ab\r\ncd"}, {"ab", "cd"}},
      {"CR CR", {"ab\r\rcd"}, {"ab", "", "cd"}},
      {"81st character", {std::string(81, 'x')}, {std::string(80, 'x'), "x"}},
      {"wrap across packets", {std::string(79, 'x'), "yz"}, {std::string(79, 'x') + "y", "z"}},
      {"control bytes", {std::string("\x00\x1f \x7f\xff", 5)}, {Dot + Dot + " \x7f\xff"}},
      {"packets run on", {"ab", "cd", "\r", "ef"}, {"abcd", "ef"}},
      {"CR first on an empty display", {"\rab"}, {"", "ab"}},
      {"empty packet", {""}, {}},
  };
  m_drain.SetHexDisplay(false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_drain.Clear();
    for (const std::string& packet : c.packets) Queue(Record(1, packet));
    m_fanOut.DrainQueue();
    EXPECT_EQ(Texts(), c.lines);
  }
}

TEST_F(DisplayDrainTest, AsciiLineTakesTheLastWritersPortAndSequenceButMarksNothing) {
  m_drain.SetHexDisplay(false);
  Queue(Record(1, "ab"));
  Queue(Record(2, "cd", OriginTransmitted, 1));
  Queue(Record(3, "\r\r"));  // two new lines; the first keeps port 2
  m_fanOut.DrainQueue();
  ASSERT_EQ(m_drain.LineCount(), 3);
  const DisplayLine& first = m_drain.Buffer().Line(0);
  EXPECT_EQ(first.Text, "abcd");
  EXPECT_EQ(first.Port, 2);
  EXPECT_EQ(first.Sequence, 2);
  EXPECT_EQ(first.Origin, OriginReceived);
  EXPECT_EQ(first.Error, 0);
  // Lines that no text reached yet have no port; they carry the counter of
  // the packet that started them.
  for (int i : {1, 2}) {
    EXPECT_EQ(m_drain.Buffer().Line(i).Port, 0);
    EXPECT_EQ(m_drain.Buffer().Line(i).Sequence, 3);
  }
  EXPECT_EQ(m_listener.Scrolls, 3);
}

TEST_F(DisplayDrainTest, AsciiLinesAreReportedFinishedOnceWhenTheNextLineStarts) {
  m_drain.SetHexDisplay(false);
  Queue(Record(1, "ab\rcd"));
  m_fanOut.DrainQueue();
  EXPECT_EQ(m_listener.Finished, std::vector<std::string>{"ab"});
  Queue(Record(1, "ef"));
  m_fanOut.DrainQueue();
  EXPECT_EQ(m_listener.Finished.size(), 1u);

  m_drain.FinishOpenLine();
  m_drain.FinishOpenLine();
  EXPECT_EQ(m_listener.Finished, (std::vector<std::string>{"ab", "cdef"}));
  // A line reported finished takes no more text.
  Queue(Record(1, "gh"));
  m_fanOut.DrainQueue();
  EXPECT_EQ(Texts(), (std::vector<std::string>{"ab", "cdef", "gh"}));

  // A hex packet finishes the open ASCII line before its own lines.
  m_drain.SetHexDisplay(true);
  Queue(Record(1, "x"));
  m_fanOut.DrainQueue();
  ASSERT_EQ(m_listener.Finished.size(), 4u);
  EXPECT_EQ(m_listener.Finished[2], "gh");
  EXPECT_EQ(m_listener.Finished[3].substr(0, 5), "COM1 ");
}

TEST_F(DisplayDrainTest, FreezeStillCountsAndRecords) {
  Queue(Record(1, "one"));
  m_fanOut.DrainQueue();
  m_drain.SetFrozen(true);
  Queue(Record(2, "two"));
  m_fanOut.DrainQueue();
  m_drain.SetHexDisplay(false);
  Queue(Record(3, "three"));
  m_fanOut.DrainQueue();
  EXPECT_EQ(m_drain.PacketCounter(), 3);
  EXPECT_EQ(m_drain.LineCount(), 1);
  EXPECT_EQ(m_recorder.Recorded, (std::vector<std::string>{"one", "two", "three"}));

  // Releasing Freeze does not bring the missed packets back.
  m_drain.SetFrozen(false);
  m_fanOut.DrainQueue();
  EXPECT_EQ(m_drain.LineCount(), 1);
  Queue(Record(1, "four"));
  m_fanOut.DrainQueue();
  EXPECT_EQ(m_drain.PacketCounter(), 4);
  EXPECT_EQ(m_drain.LineCount(), 2);
}

TEST_F(DisplayDrainTest, PacketOfADisabledOrAbsentPortIsNeitherCountedShownNorRecorded) {
  m_comms.SetPortEnabled(2, false);
  Queue(Record(1, "a"));
  Queue(Record(2, "b"));
  Queue(Record(99, "c"));
  Queue(Record(3, "d"));
  EXPECT_EQ(m_fanOut.DrainQueue(), 4u);
  EXPECT_EQ(m_comms.Queue().Count(), 0u);
  EXPECT_EQ(m_drain.PacketCounter(), 2);
  EXPECT_EQ(m_recorder.Recorded, (std::vector<std::string>{"a", "d"}));
  ASSERT_EQ(m_drain.LineCount(), 2);
  // In queue order, numbered without gaps.
  EXPECT_EQ(m_drain.Buffer().Line(0).Port, 1);
  EXPECT_EQ(m_drain.Buffer().Line(0).Sequence, 1);
  EXPECT_EQ(m_drain.Buffer().Line(1).Port, 3);
  EXPECT_EQ(m_drain.Buffer().Line(1).Sequence, 2);
}

TEST_F(DisplayDrainTest, ClearKeepsTheCounterAndStartsAgainAtTheTop) {
  Queue(Record(1, "a"));
  Queue(Record(1, std::string(20, 'b')));
  m_fanOut.DrainQueue();
  ASSERT_EQ(m_drain.LineCount(), 3);
  m_drain.Clear();
  EXPECT_EQ(m_drain.LineCount(), 0);
  EXPECT_EQ(m_drain.PacketCounter(), 2);
  Queue(Record(1, "c"));
  m_fanOut.DrainQueue();
  ASSERT_EQ(m_drain.LineCount(), 1);
  EXPECT_EQ(m_drain.Buffer().Oldest(), 0);
  EXPECT_EQ(m_drain.Buffer().Line(0).Sequence, 3);
}

TEST_F(DisplayDrainTest, CounterWrapsFrom65535ToZero) {
  m_drain.SetFrozen(true);
  m_fanOut.RemoveSink(m_recorder);
  auto record = Record(1, "x");
  for (int i = 0; i < 65535; ++i) m_fanOut.Deliver(*record);
  EXPECT_EQ(m_drain.PacketCounter(), 65535);
  EXPECT_EQ(m_fanOut.PacketCounter(), 65535);
  m_drain.SetFrozen(false);
  m_fanOut.Deliver(*record);
  EXPECT_EQ(m_drain.PacketCounter(), 0);
  ASSERT_EQ(m_drain.LineCount(), 1);
  EXPECT_EQ(m_drain.Buffer().Line(0).Sequence, 0);
}

TEST_F(DisplayDrainTest, RingKeepsTheLastThreeFullPackets) {
  for (int i = 0; i < 4; ++i) Queue(Record(1, Counting(4096)));
  m_fanOut.DrainQueue();
  ASSERT_EQ(m_drain.LineCount(), 999);
  // 1024 lines were made: the first 25 are gone, packets 2..4 are whole.
  EXPECT_EQ(m_drain.Buffer().Line(0).Sequence, 1);
  EXPECT_EQ(m_drain.Buffer().Line(230).Sequence, 1);
  EXPECT_EQ(m_drain.Buffer().Line(231).Sequence, 2);
  EXPECT_EQ(m_drain.Buffer().Line(231).Text.substr(0, 4), "COM1");
  EXPECT_EQ(m_drain.Buffer().Line(998).Sequence, 4);
  EXPECT_EQ(m_drain.Buffer().Line(998).Text.substr(13, 11), "F0 F1 F2 F3");
  EXPECT_EQ(m_listener.Finished.size(), 1024u);
}

}  // namespace
}  // namespace tapwise
