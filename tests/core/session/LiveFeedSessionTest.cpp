// The live feed of a running session over pseudo-terminal ports: a client
// sees the packets the session drains, as the session's own sinks see them,
// and -live:off leaves no socket.

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "core/platform/PosixSerialDevice.h"
#include "core/session/MonitorSession.h"
#include "support/FakeOpener.h"
#include "support/LiveClient.h"
#include "support/PcapngBlocks.h"
#include "support/Pty.h"
#include "support/QueueWait.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

class LiveFeedSession : public ::testing::Test {
 protected:
  void StartWith(bool live) {
    for (uint8_t n : {uint8_t{1}, uint8_t{2}}) {
      ptys.push_back(std::make_unique<Pty>());
      ASSERT_TRUE(ptys.back()->Ok()) << ptys.back()->Error();
      const std::string path = ptys.back()->SlavePath();
      opener.AddFactory(n, [path] { return PosixSerialDevice::Open(path); });
    }
    session = std::make_unique<MonitorSession>(opener);
    MonitorOptions options;
    options.LiveFeed = live;
    options.LiveFolder = dir / "tapwise";
    ASSERT_TRUE(session->Start(options));
  }
  void Arrive(uint8_t n, const std::string& bytes) {
    const size_t queued = session->Comms().Queue().Count();
    ASSERT_TRUE(ptys[n - 1]->WriteAll(Pty::Bytes(bytes.begin(), bytes.end())));
    ASSERT_TRUE(Eventually([&] { return session->Comms().Queue().Count() > queued; }, 5s)) << bytes;
  }

  TempDir dir;
  std::vector<std::unique_ptr<Pty>> ptys;  // outlive the session
  FakeOpener opener;
  std::unique_ptr<MonitorSession> session;
};

TEST_F(LiveFeedSession, AClientGetsWhatTheSessionDrainsForItsPorts) {
  StartWith(true);
  ASSERT_NE(session->Live(), nullptr) << session->Report().LiveFeedProblem;
  const std::string path = session->Report().LiveFeedPath;
  EXPECT_EQ(path, dir / "tapwise" + "/live-" + std::to_string(::getpid()) + ".sock");
  LiveClient client(path);
  client.Send("ports=2\n");
  for (int i = 0; i < 5; ++i) (void)session->Tick();

  Arrive(1, "not asked for");
  (void)session->Tick();
  Arrive(2, "asked for");
  (void)session->Tick();
  client.ReadUntilQuiet();
  const PcapngFile file = ReadPcapngBlocks(client.Received());
  ASSERT_EQ(file.Error, "");
  ASSERT_EQ(file.Blocks.size(), 3u);
  EXPECT_EQ(file.Blocks[1].Option(2), "COM2");
  EXPECT_EQ(file.Blocks[1].Option(3), opener.Describe(2));
  EXPECT_EQ(file.Blocks[2].Data, "asked for");

  session.reset();
  struct stat gone {};
  EXPECT_NE(::stat(path.c_str(), &gone), 0);
}

TEST_F(LiveFeedSession, OffMeansNoSocket) {
  StartWith(false);
  EXPECT_EQ(session->Live(), nullptr);
  EXPECT_EQ(session->Report().LiveFeedPath, "");
  struct stat none {};
  EXPECT_NE(::stat((dir / "tapwise").c_str(), &none), 0);
}

// A capture interface lists a monitor's ports by asking its live feed and
// waits a tick for the answer: a sleeping monitor must wake for a client
// that comes, not find it a second later.
TEST_F(LiveFeedSession, AClientComingToASleepingMonitorWakesIt) {
  StartWith(true);
  ASSERT_NE(session->Live(), nullptr) << session->Report().LiveFeedProblem;
  for (unsigned pass = 0; pass <= 2 * MonitorSession::QuietTicks && !session->Asleep(); ++pass) (void)session->Tick();
  ASSERT_TRUE(session->Asleep());
  pollfd quiet{session->WakeHandle(), POLLIN, 0};
  EXPECT_EQ(poll(&quiet, 1, 100), 0);
  LiveClient client(session->Report().LiveFeedPath);
  ASSERT_TRUE(client.Connected());
  pollfd woken{session->WakeHandle(), POLLIN, 0};
  ASSERT_EQ(poll(&woken, 1, 2000), 1);
  (void)session->Tick();
  EXPECT_FALSE(session->Asleep());
}

}  // namespace
}  // namespace tapwise
