// The statistics sink on its own: what each kind of record adds, the rate
// over the last second and its peak on a clock the test moves, the load at
// a port's line settings, the running totals kept elsewhere, and Reset.

#include "core/stats/PortStatistics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/stats/FiguresText.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

constexpr LineFormat Line9600{9600, ParityNone, 8, StopOne};

class StatsOnAClock : public ::testing::Test {
 protected:
  PortStatistics stats{[this] { return now; }};
  uint32_t now = 1000;

  void Receive(uint8_t port, size_t length, uint8_t kinds = 0) {
    auto record = MakeRecord(port, CountingBytes(length), OriginReceived, kinds != 0 ? 1 : 0);
    record->ErrorKinds = kinds;
    HandTo(stats, *record);
  }
  void Send(uint8_t port, size_t length, bool failed = false) {
    HandTo(stats, *MakeRecord(port, CountingBytes(length), OriginTransmitted, failed ? 1 : 0));
  }
  PortFigures Of(uint8_t port) { return stats.Figures(port, Line9600); }
};

TEST_F(StatsOnAClock, EachRecordCountsOnItsOwnPortByDirectionAndErrorKind) {
  Receive(3, 10);
  Receive(3, 20, LineErrorFraming);
  Receive(3, 5, LineErrorParity | LineErrorBreak);
  Receive(3, 1, LineErrorOverrun);
  Receive(3, 1, LineErrorOther);
  Send(3, 7);
  Send(3, 4, /*failed=*/true);
  Receive(4, 100);
  // A received record flagged by something that gave no kind still had an error.
  auto flagged = MakeRecord(3, "x", OriginReceived, 1);
  HandTo(stats, *flagged);

  const PortFigures three = Of(3);
  EXPECT_EQ(three.Port, 3);
  EXPECT_EQ(three.BytesReceived, 10u + 20 + 5 + 1 + 1 + 1);
  EXPECT_EQ(three.PacketsReceived, 6u);
  EXPECT_EQ(three.BytesSent, 11u);
  EXPECT_EQ(three.PacketsSent, 2u);
  EXPECT_EQ(three.Framing, 1u);
  EXPECT_EQ(three.Parity, 1u);
  EXPECT_EQ(three.Breaks, 1u);
  EXPECT_EQ(three.Overrun, 1u);
  EXPECT_EQ(three.OtherErrors, 2u);
  EXPECT_EQ(three.LineErrors(), 6u);
  EXPECT_EQ(three.FailedSends, 1u);

  const PortFigures four = Of(4);
  EXPECT_EQ(four.BytesReceived, 100u);
  EXPECT_EQ(four.PacketsReceived, 1u);
  EXPECT_EQ(four.LineErrors(), 0u);
  EXPECT_EQ(Of(5).PacketsReceived, 0u);
  // Nothing is counted for a number that is no port.
  EXPECT_EQ(stats.Figures(0, Line9600).BytesReceived, 0u);
  EXPECT_EQ(stats.Figures(200, Line9600).BytesReceived, 0u);
}

TEST_F(StatsOnAClock, TheRateIsTheLastSecondsBytesAndThePeakItsLargest) {
  Receive(1, 300);
  now += 500;
  Send(1, 200);
  EXPECT_DOUBLE_EQ(Of(1).Rate, 500.0);
  EXPECT_DOUBLE_EQ(Of(1).PeakRate, 500.0);
  // The first packet has left the window, the second not yet.
  now += 600;
  EXPECT_DOUBLE_EQ(Of(1).Rate, 200.0);
  now += 500;
  EXPECT_DOUBLE_EQ(Of(1).Rate, 0.0);
  EXPECT_DOUBLE_EQ(Of(1).PeakRate, 500.0);
  // A slower second later does not lower the peak; a faster one raises it.
  Receive(1, 100);
  EXPECT_DOUBLE_EQ(Of(1).PeakRate, 500.0);
  now += 100;
  Receive(1, 900);
  EXPECT_DOUBLE_EQ(Of(1).Rate, 1000.0);
  EXPECT_DOUBLE_EQ(Of(1).PeakRate, 1000.0);
  // Another port's rate is its own.
  EXPECT_DOUBLE_EQ(Of(2).Rate, 0.0);
}

TEST_F(StatsOnAClock, TheRateSurvivesTheTickCountWrapping) {
  now = 0xFFFFFF00u;
  Receive(1, 400);
  now += 0x200;  // past 2^32
  Receive(1, 100);
  EXPECT_DOUBLE_EQ(Of(1).Rate, 500.0);
  now += 2000;
  EXPECT_DOUBLE_EQ(Of(1).Rate, 0.0);
}

TEST_F(StatsOnAClock, LoadIsTheRateInBitsOverTheBaudRate) {
  Receive(1, 480);
  struct Case {
    LineFormat Line;
    double Bits;
    double Load;  // percent
  };
  const Case cases[] = {
      {{9600, ParityNone, 8, StopOne}, 10, 50.0},
      {{9600, ParityEven, 7, StopOne}, 10, 50.0},
      {{9600, ParityOdd, 8, StopTwo}, 12, 60.0},
      {{4800, ParityNone, 5, StopOneAndHalf}, 7.5, 75.0},
      {{115200, ParityNone, 8, StopOne}, 10, 480.0 * 10 * 100 / 115200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Line.BaudRate);
    EXPECT_DOUBLE_EQ(BitsPerCharacter(c.Line), c.Bits);
    EXPECT_DOUBLE_EQ(stats.Figures(1, c.Line).Load, c.Load);
  }
  // No rate, no load to tell.
  EXPECT_LT(stats.Figures(1, {0, ParityNone, 8, StopOne}).Load, 0);
}

TEST_F(StatsOnAClock, TotalsKeptElsewhereCountByTheirGrowthAndAfreshForANewDevice) {
  stats.NoteForwarded(2, 100);
  stats.NoteForwarded(2, 250);
  stats.NoteReconnects(2, 1);
  stats.NoteReturn(2);
  EXPECT_EQ(Of(2).Forwarded, 250u);
  EXPECT_EQ(Of(2).Reconnects, 2u);
  // The same total again adds nothing.
  stats.NoteForwarded(2, 250);
  stats.NoteReconnects(2, 1);
  EXPECT_EQ(Of(2).Forwarded, 250u);
  EXPECT_EQ(Of(2).Reconnects, 2u);
  // A total that fell belongs to a new counter, counted from zero.
  stats.NoteForwarded(2, 30);
  EXPECT_EQ(Of(2).Forwarded, 280u);
  EXPECT_EQ(Of(1).Forwarded, 0u);
}

TEST_F(StatsOnAClock, ResetStartsEveryFigureAgainAndTotalsCountOnFromThere) {
  Receive(1, 50, LineErrorFraming);
  Send(1, 5);
  stats.NoteForwarded(1, 40);
  stats.NoteReconnects(1, 3);
  stats.Reset();
  const PortFigures cleared = Of(1);
  EXPECT_EQ(cleared.BytesReceived, 0u);
  EXPECT_EQ(cleared.PacketsSent, 0u);
  EXPECT_EQ(cleared.Framing, 0u);
  EXPECT_EQ(cleared.Forwarded, 0u);
  EXPECT_EQ(cleared.Reconnects, 0u);
  EXPECT_DOUBLE_EQ(cleared.Rate, 0.0);
  EXPECT_DOUBLE_EQ(cleared.PeakRate, 0.0);
  stats.NoteForwarded(1, 45);
  stats.NoteReconnects(1, 3);
  EXPECT_EQ(Of(1).Forwarded, 5u);
  EXPECT_EQ(Of(1).Reconnects, 0u);
}

TEST(FiguresText, TheSummaryLineNamesEveryFigure) {
  PortFigures figures;
  figures.Port = 5;
  figures.BytesReceived = 1234;
  figures.PacketsReceived = 12;
  figures.BytesSent = 56;
  figures.PacketsSent = 3;
  figures.Framing = 1;
  figures.Parity = 2;
  figures.Overrun = 3;
  figures.Breaks = 4;
  figures.OtherErrors = 5;
  figures.FailedSends = 6;
  figures.Forwarded = 70;
  figures.Reconnects = 8;
  figures.Rate = 119.6;
  figures.PeakRate = 960;
  figures.Load = 1.24;
  EXPECT_EQ(FiguresLine(figures),
            "COM5 rx_bytes=1234 rx_packets=12 tx_bytes=56 tx_packets=3 framing=1 parity=2 overrun=3 break=4 "
            "other_errors=5 failed_sends=6 forwarded=70 reconnects=8 rate=120 peak=960 load=1.2%");
  EXPECT_EQ(FiguresHint(figures),
            "Received 1234 bytes in 12 packets\nSent 56 bytes in 3 packets\n"
            "Errors: framing 1, parity 2, overrun 3, break 4, other 5\nFailed sends 6\nForwarded 70 bytes\n"
            "Reconnects 8\nRate 120 B/s (peak 960), load 1.2%");
  figures.Load = -1;
  EXPECT_EQ(LoadText(figures.Load), "-");
  // A quiet port's hint leaves out what never happened.
  PortFigures quiet;
  quiet.Port = 1;
  quiet.Load = 0;
  EXPECT_EQ(FiguresHint(quiet),
            "Received 0 bytes in 0 packets\nSent 0 bytes in 0 packets\n"
            "Errors: framing 0, parity 0, overrun 0, break 0\nRate 0 B/s (peak 0), load 0.0%");
}

}  // namespace
}  // namespace tapwise
