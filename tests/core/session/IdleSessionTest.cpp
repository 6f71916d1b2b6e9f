// An idle monitor sleeps: after a second of passes with nothing to do the
// session asks for a pass a second, its wake descriptor stays quiet, and
// the playback thread makes no passes; a packet on a real pseudo-terminal,
// a message or a played file wakes it at once. Nothing here times how fast
// anything is: the margins are for a loaded machine.

#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/session/MonitorSession.h"
#include "support/FakeOpener.h"
#include "support/PtyPorts.h"
#include "support/QueueWait.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

class Collect : public PacketSink {
 public:
  void Take(const PacketView& packet) override {
    const PacketRecord& record = packet.Record();
    Bytes.emplace_back(reinterpret_cast<const char*>(record.Data), record.Length);
  }
  std::vector<std::string> Bytes;
};

bool Readable(int fd, std::chrono::milliseconds within) {
  pollfd entry{fd, POLLIN, 0};
  return poll(&entry, 1, static_cast<int>(within.count())) == 1 && (entry.revents & POLLIN) != 0;
}

// Runs quiet passes until the session sleeps; false if it never does.
bool TickUntilAsleep(MonitorSession& session) {
  for (unsigned pass = 0; pass <= 2 * MonitorSession::QuietTicks; ++pass) {
    if (session.Asleep()) return true;
    (void)session.Tick();
  }
  return session.Asleep();
}

struct PtySession : PtyPorts {
  Pty* wire = nullptr;
  MonitorSession session{opener};
  Collect seen;
  explicit PtySession(MonitorOptions options = {}) {
    wire = &AddPort(1);
    options.LiveFeed = false;
    start = session.Start(options);
    session.AddSink(seen);
  }
  ~PtySession() { session.RemoveSink(seen); }
  Result start = Result::Success();
};

TEST(IdleSession, APacketAfterTheMonitorFellAsleepWakesItAndIsTakenByTheNextPass) {
  PtySession rig;
  ASSERT_TRUE(Succeeded(rig.start));
  ASSERT_EQ(rig.session.NextTickMs(), MonitorSession::TickMs);
  ASSERT_GE(rig.session.WakeHandle(), 0);
  ASSERT_TRUE(TickUntilAsleep(rig.session));
  EXPECT_EQ(rig.session.NextTickMs(), MonitorSession::SleepingTickMs);
  // Asleep and nothing happening: the descriptor it sleeps on stays quiet,
  // and more quiet passes keep it asleep.
  EXPECT_FALSE(Readable(rig.session.WakeHandle(), 100ms));
  (void)rig.session.Tick();
  EXPECT_TRUE(rig.session.Asleep());

  for (const char* burst : {"first", "second"}) {
    SCOPED_TRACE(burst);
    ASSERT_TRUE(TickUntilAsleep(rig.session));
    const std::string bytes = burst;
    ASSERT_TRUE(rig.wire->WriteAll(Pty::Bytes(bytes.begin(), bytes.end())));
    // The packet is queued once its gap has passed; the queue wakes the
    // sleeper then, not at its next second.
    ASSERT_TRUE(Readable(rig.session.WakeHandle(), 5000ms));
    (void)rig.session.Tick();
    ASSERT_FALSE(rig.seen.Bytes.empty());
    EXPECT_EQ(rig.seen.Bytes.back(), bytes);
    EXPECT_FALSE(rig.session.Asleep());
    EXPECT_EQ(rig.session.NextTickMs(), MonitorSession::TickMs);
    // The pass took what woke it: the descriptor is quiet again.
    EXPECT_FALSE(Readable(rig.session.WakeHandle(), 0ms));
  }
}

TEST(IdleSession, MessagesTransmissionsAndUserActionsWakeItToo) {
  PtySession rig;
  ASSERT_TRUE(Succeeded(rig.start));
  ASSERT_TRUE(TickUntilAsleep(rig.session));
  std::thread poster([&rig] { rig.session.Messages().Post("\\bfrom another thread"); });
  poster.join();
  ASSERT_TRUE(Readable(rig.session.WakeHandle(), 1000ms));
  TickEvents events = rig.session.Tick();
  EXPECT_EQ(events.Messages, std::vector<std::string>{"\\bfrom another thread"});
  EXPECT_FALSE(rig.session.Asleep());

  ASSERT_TRUE(TickUntilAsleep(rig.session));
  const uint8_t byte = 'x';
  rig.session.Comms().WritePacket(1, &byte, 1);
  ASSERT_TRUE(Readable(rig.session.WakeHandle(), 1000ms));
  (void)rig.session.Tick();
  EXPECT_EQ(rig.seen.Bytes.back(), "x");

  ASSERT_TRUE(TickUntilAsleep(rig.session));
  rig.session.WakeUp();
  EXPECT_FALSE(rig.session.Asleep());
}

TEST(IdleSession, APlayingFileKeepsItAwake) {
  TempDir dir;
  TempDir::WriteFile(dir / "one.hex", "01 02\r\n");
  MonitorOptions options;
  options.PlayFormat = RecorderState::PlayHex;
  options.PlayPath = dir / "one.hex";
  PtySession rig(options);
  ASSERT_TRUE(Succeeded(rig.start));
  // One shot: it waits for Pause, playing all the while.
  for (unsigned pass = 0; pass <= 2 * MonitorSession::QuietTicks; ++pass) (void)rig.session.Tick();
  EXPECT_FALSE(rig.session.Asleep());
  rig.session.GetRecorder().Stop();
  EXPECT_TRUE(TickUntilAsleep(rig.session));
}

// The playback thread makes no passes while nothing plays and nobody
// watches modem lines; a file to play, Pause released, or a watcher wake
// it. Counted passes, not time: a slow machine only makes fewer.
TEST(IdleSession, ThePlaybackThreadSleepsUntilItHasSomethingToDo) {
  FakeOpener opener;
  const std::shared_ptr<FakeLine> line = opener.AddFake(1);
  line->SetModemLines(ModemCTS | ModemCD);
  MonitorSession session(opener);
  MonitorOptions options;
  options.LiveFeed = false;
  ASSERT_TRUE(Succeeded(session.Start(options)));
  std::this_thread::sleep_for(100ms);
  const uint64_t settled = session.PlaybackPasses();
  std::this_thread::sleep_for(300ms);
  // It used to make a pass every 10 ms: some 30 here.
  EXPECT_LE(session.PlaybackPasses(), settled + 1);

  // Watched, a port with modem lines is read again and again.
  session.WatchModemLines(true);
  ASSERT_TRUE(Eventually([&] { return session.ModemStatus.load() == (ModemCTS | ModemCD); }));
  line->SetModemLines(ModemDSR);
  ASSERT_TRUE(Eventually([&] { return session.ModemStatus.load() == ModemDSR; }));
  session.WatchModemLines(false);
  std::this_thread::sleep_for(300ms);
  const uint64_t unwatched = session.PlaybackPasses();
  std::this_thread::sleep_for(300ms);
  EXPECT_LE(session.PlaybackPasses(), unwatched + 1);

  // A file that plays continuously is played, packet by packet.
  TempDir dir;
  TempDir::WriteFile(dir / "two.hex", "01\r\n-\r\n02\r\n");
  PlaySettings play = session.GetPlaySettings();
  play.OneShot = 0;
  play.PlayGap = 0;
  session.SetPlaySettings(play);
  ASSERT_TRUE(Succeeded(session.GetRecorder().StartPlayingFile(dir / "two.hex", RecorderState::PlayHex)));
  ASSERT_TRUE(Eventually([&] { return line->Written() == std::vector<uint8_t>{1, 2}; }));
}

// A pseudo-terminal has no modem lines to read: watched, it is asked once
// and then left alone.
TEST(IdleSession, APortWithoutModemLinesIsNotPolledEvenWhenWatched) {
  PtySession rig;
  ASSERT_TRUE(Succeeded(rig.start));
  rig.session.WatchModemLines(true);
  ASSERT_TRUE(Eventually([&] { return !rig.session.Comms().HasModemLines(1); }));
  std::this_thread::sleep_for(100ms);
  const uint64_t settled = rig.session.PlaybackPasses();
  std::this_thread::sleep_for(300ms);
  EXPECT_LE(rig.session.PlaybackPasses(), settled + 1);
  EXPECT_EQ(rig.session.ModemStatus.load(), 0);
}

}  // namespace
}  // namespace tapwise
