// The display filter: which lines pass for each setting, the rows a filtered
// display draws out of a full ring, and the words the status bar shows.

#include "core/display/LineFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/display/DisplayDrain.h"
#include "core/display/ShownLines.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

// A hex line (it has its packet's time) unless `time` is 0, as running text has.
DisplayLine Line(uint8_t port, uint8_t origin, uint8_t error, DateTime time = 46000.5) {
  DisplayLine line;
  line.Port = port;
  line.Origin = origin;
  line.Error = error;
  line.Time = time;
  return line;
}

LineFilter MakeFilter(const std::vector<uint8_t>& hidden, bool received, bool sent, bool errorsOnly) {
  LineFilter filter;
  for (uint8_t port : hidden) filter.SetPortShown(port, false);
  filter.SetShowReceived(received);
  filter.SetShowSent(sent);
  filter.SetErrorsOnly(errorsOnly);
  return filter;
}

struct PassCase {
  const char* Name;
  std::vector<uint8_t> Hidden;
  bool Received;
  bool Sent;
  bool ErrorsOnly;
  DisplayLine Candidate;
  bool Passes;
};

TEST(LineFilterTest, DecidesLineByLine) {
  const std::vector<PassCase> cases = {
      {"off: everything", {}, true, true, false, Line(3, OriginReceived, 0), true},
      {"off: even a line without a port", {}, true, true, false, Line(0, OriginReceived, 0), true},
      {"hidden port", {3}, true, true, false, Line(3, OriginReceived, 0), false},
      {"other port of a port filter", {3}, true, true, false, Line(7, OriginTransmitted, 1), true},
      {"port 128 hidden", {128}, true, true, false, Line(128, OriginReceived, 0), false},
      {"on: a line without a port is hidden", {3}, true, true, false, Line(0, OriginReceived, 0), false},
      {"received only hides sent", {}, true, false, false, Line(3, OriginTransmitted, 0), false},
      {"received only keeps received", {}, true, false, false, Line(3, OriginReceived, 1), true},
      {"sent only hides received", {}, false, true, false, Line(3, OriginReceived, 0), false},
      {"sent only keeps a failed send", {}, false, true, false, Line(3, OriginTransmitted, 1), true},
      {"errors only hides a clean line", {}, true, true, true, Line(3, OriginReceived, 0), false},
      {"errors only keeps an error", {}, true, true, true, Line(3, OriginTransmitted, 1), true},
      {"errors only and a hidden port", {3}, true, true, true, Line(3, OriginReceived, 1), false},
      {"neither direction", {}, false, false, false, Line(3, OriginReceived, 1), false},
      {"running text: sent only", {}, false, true, false, Line(3, OriginReceived, 0, 0), true},
      {"running text: errors only", {}, true, true, true, Line(3, OriginReceived, 0, 0), true},
      {"running text: hidden port", {3}, true, true, true, Line(3, OriginReceived, 0, 0), false},
  };
  for (const PassCase& c : cases) {
    EXPECT_EQ(MakeFilter(c.Hidden, c.Received, c.Sent, c.ErrorsOnly).Passes(c.Candidate), c.Passes) << c.Name;
  }
}

TEST(LineFilterTest, RevisionStepsOnlyOnRealChanges) {
  LineFilter filter;
  EXPECT_FALSE(filter.Active());
  const uint32_t start = filter.Revision();
  filter.SetPortShown(5, true);   // shown already
  filter.SetPortShown(0, false);  // no such port
  filter.SetPortShown(200, false);
  filter.ShowAllPorts();
  filter.Reset();
  EXPECT_EQ(filter.Revision(), start);
  EXPECT_FALSE(filter.Active());
  filter.SetPortShown(5, false);
  EXPECT_TRUE(filter.Active());
  EXPECT_EQ(filter.Revision(), start + 1);
  filter.Reset();
  EXPECT_FALSE(filter.Active());
  EXPECT_TRUE(filter.PortShown(5));
  EXPECT_EQ(filter.Revision(), start + 2);
}

TEST(LineFilterTest, DescribesWhatIsShown) {
  const std::vector<uint8_t> present = {1, 3, 7};
  struct Case {
    std::vector<uint8_t> Hidden;
    bool Received, Sent, ErrorsOnly;
    const char* Text;
  };
  const std::vector<Case> cases = {
      {{}, true, true, false, ""},
      {{7}, true, true, false, "Filter: COM1 COM3"},
      {{1, 3, 7}, true, true, false, "Filter: no ports"},
      {{}, true, false, false, "Filter: received"},
      {{}, false, true, true, "Filter: sent, errors only"},
      {{}, true, true, true, "Filter: errors only"},
      {{}, false, false, false, "Filter: nothing sent or received"},
      {{1}, true, false, true, "Filter: COM3 COM7, received, errors only"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeFilter(c.Hidden, c.Received, c.Sent, c.ErrorsOnly).Describe(present), c.Text);
  }
}

// A full ring of two ports' lines, one long packet among them: the rows are
// the held lines of the port shown, in order, all lines of the long packet
// included, and they follow the ring as it drops its oldest.
TEST(ShownLinesTest, RowsFollowTheFilterAndTheRing) {
  DisplayDrain drain;
  uint16_t sequence = 0;
  auto add = [&](uint8_t port, const std::string& bytes) { HandTo(drain, *MakeRecord(port, bytes), ++sequence); };
  for (int i = 0; i < 600; ++i) add(i % 3 == 0 ? 2 : 1, "x");
  add(2, CountingBytes(40));  // three lines
  for (int i = 0; i < 600; ++i) add(1, "y");
  ASSERT_EQ(drain.LineCount(), DisplayBuffer::MaxLines);

  ShownLines shown;
  shown.Update(drain.Buffer(), drain.Filter());
  EXPECT_FALSE(shown.Filtered());
  EXPECT_EQ(shown.Count(), DisplayBuffer::MaxLines);
  EXPECT_EQ(shown.HeldIndex(5), 5);
  EXPECT_EQ(shown.HeldIndex(DisplayBuffer::MaxLines), -1);

  drain.Filter().SetPortShown(1, false);
  shown.Update(drain.Buffer(), drain.Filter());
  // Of the first 600 packets, 1200 lines were added in all and the ring holds
  // the last 999: 396 of the first run (132 of them COM2), 3, then 600 of COM1.
  int expected = 0;
  for (int index = 0; index < drain.LineCount(); ++index) expected += drain.Buffer().Line(index).Port == 2;
  ASSERT_EQ(shown.Count(), expected);
  EXPECT_EQ(expected, 132 + 3);
  for (int row = 0; row < shown.Count(); ++row) {
    EXPECT_EQ(drain.Buffer().Line(shown.HeldIndex(row)).Port, 2) << row;
    if (row > 0) EXPECT_LT(shown.HeldIndex(row - 1), shown.HeldIndex(row));
  }
  const DisplayLine& last = drain.Buffer().Line(shown.HeldIndex(shown.Count() - 1));
  EXPECT_EQ(last.Sequence, 601);
  EXPECT_EQ(drain.Buffer().PacketLinesAt(shown.HeldIndex(shown.Count() - 1)).Count, 3);

  // 400 more COM1 lines push the first run and the long packet out of the
  // ring.
  for (int i = 0; i < 400; ++i) add(1, "z");
  shown.Update(drain.Buffer(), drain.Filter());
  EXPECT_EQ(shown.Count(), 0);
  EXPECT_EQ(shown.HeldIndex(0), -1);
  // The filter changes the rows only: the ring is whole.
  EXPECT_EQ(drain.LineCount(), DisplayBuffer::MaxLines);
  drain.Filter().Reset();
  shown.Update(drain.Buffer(), drain.Filter());
  EXPECT_EQ(shown.Count(), DisplayBuffer::MaxLines);
}

}  // namespace
}  // namespace tapwise
