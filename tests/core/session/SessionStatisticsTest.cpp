// The session's statistics against known traffic: bytes and packets each
// way over ports opened through the real POSIX backend on pseudo-terminals,
// line errors by kind from the fake device (a pseudo-terminal has none),
// counted whatever the display does and not for a port switched off.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/session/MonitorSession.h"
#include "support/PtyPorts.h"
#include "support/QueueWait.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

class SessionStatistics : public ::testing::Test {
 protected:
  void SetUp() override {
    for (uint8_t n : {uint8_t{1}, uint8_t{2}}) ASSERT_TRUE(ports.AddPort(n).Ok());
    line = ports.opener.AddFake(3);
    session = std::make_unique<MonitorSession>(ports.opener);
    ASSERT_TRUE(session->Start(MonitorOptions{}));
    ASSERT_EQ(session->PresentPorts(), (std::vector<uint8_t>{1, 2, 3}));
  }
  void TearDown() override { session.reset(); }

  // Sends bytes in from the far end and waits until the port has queued them.
  void Arrive(uint8_t n, const std::string& bytes) {
    const size_t queued = session->Comms().Queue().Count();
    ASSERT_TRUE(ports.ptys[n - 1]->WriteAll(Pty::Bytes(bytes.begin(), bytes.end())));
    ASSERT_TRUE(Eventually([&] { return session->Comms().Queue().Count() > queued; }, 5s)) << bytes;
  }
  void Send(uint8_t n, const std::string& bytes) {
    session->Comms().WritePacket(n, reinterpret_cast<const uint8_t*>(bytes.data()),
                                 static_cast<uint16_t>(bytes.size()));
  }

  PtyPorts ports;  // outlives the session
  std::shared_ptr<FakeLine> line;
  std::unique_ptr<MonitorSession> session;
};

TEST_F(SessionStatistics, BytesAndPacketsEachWayAreCountedPerPort) {
  Arrive(1, "hello");
  Arrive(1, std::string(300, 'x'));
  Arrive(2, "ab");
  Send(2, "reply!");
  Send(1, "q");
  // Frozen, the display shows nothing new; the figures go on.
  session->Drain().SetFrozen(true);
  session->Tick();
  // The far ends got what was sent: nothing of the counting delays a send.
  EXPECT_EQ(ports.ptys[1]->ReadFor(6), Pty::Bytes({'r', 'e', 'p', 'l', 'y', '!'}));

  const PortFigures one = session->PortFiguresNow(1);
  EXPECT_EQ(one.BytesReceived, 305u);
  EXPECT_EQ(one.PacketsReceived, 2u);
  EXPECT_EQ(one.BytesSent, 1u);
  EXPECT_EQ(one.PacketsSent, 1u);
  EXPECT_EQ(one.LineErrors(), 0u);
  const PortFigures two = session->PortFiguresNow(2);
  EXPECT_EQ(two.BytesReceived, 2u);
  EXPECT_EQ(two.PacketsReceived, 1u);
  EXPECT_EQ(two.BytesSent, 6u);
  EXPECT_EQ(two.PacketsSent, 1u);
  // Counted in one tick, both ways: the peak has them all; the load is
  // the rate reckoned at the port's 9600 8N1.
  EXPECT_DOUBLE_EQ(one.PeakRate, 306.0);
  EXPECT_DOUBLE_EQ(two.PeakRate, 8.0);
  EXPECT_LE(two.Rate, 8.0);
  EXPECT_DOUBLE_EQ(two.Load, two.Rate * 10 * 100 / 9600);

  session->ResetStatistics();
  EXPECT_EQ(session->PortFiguresNow(1).BytesReceived, 0u);
  Arrive(1, "again");
  session->Tick();
  EXPECT_EQ(session->PortFiguresNow(1).BytesReceived, 5u);
}

TEST_F(SessionStatistics, APortSwitchedOffCountsNothingOfWhatItQueued) {
  Arrive(1, "kept");
  Arrive(2, "dropped");
  session->Comms().SetPortEnabled(2, false);
  session->Tick();
  EXPECT_EQ(session->PortFiguresNow(1).PacketsReceived, 1u);
  EXPECT_EQ(session->PortFiguresNow(2).PacketsReceived, 0u);
}

TEST_F(SessionStatistics, LineErrorsAreCountedByKindFromTheDevice) {
  struct Case {
    uint8_t Kinds;
    uint64_t PortFigures::*Counter;
  };
  const Case cases[] = {
      {LineErrorFraming, &PortFigures::Framing},
      {LineErrorParity, &PortFigures::Parity},
      {LineErrorOverrun, &PortFigures::Overrun},
      {LineErrorBreak, &PortFigures::Breaks},
  };
  uint64_t packets = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.Kinds});
    session->ResetStatistics();
    line->InjectError(c.Kinds);
    line->Feed({0x10, 0x20});
    ASSERT_TRUE(Eventually([&] { return session->Comms().Queue().Count() > 0; }, 5s));
    session->Tick();
    ++packets;
    const PortFigures figures = session->PortFiguresNow(3);
    EXPECT_EQ(figures.PacketsReceived, 1u);
    EXPECT_EQ(figures.*c.Counter, 1u);
    EXPECT_EQ(figures.LineErrors(), 1u);
  }
  // Two kinds on one packet count once each.
  session->ResetStatistics();
  line->InjectError(LineErrorFraming | LineErrorBreak);
  line->Feed({0x00});
  ASSERT_TRUE(Eventually([&] { return session->Comms().Queue().Count() > 0; }, 5s));
  session->Tick();
  const PortFigures both = session->PortFiguresNow(3);
  EXPECT_EQ(both.Framing, 1u);
  EXPECT_EQ(both.Breaks, 1u);
  EXPECT_EQ(both.LineErrors(), 2u);
  EXPECT_EQ(packets, 4u);
}

}  // namespace
}  // namespace tapwise
