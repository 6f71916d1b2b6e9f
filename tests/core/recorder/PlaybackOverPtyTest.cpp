// The playback thread end to end: files played out of a port that is a real
// pseudo-terminal opened through the POSIX backend; the test reads the wire
// at the master end and the transmitted records from the capture queue.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/format/PacketDataWriter.h"
#include "core/platform/PosixSerialDevice.h"
#include "core/recorder/Recorder.h"
#include "core/recorder/TxThread.h"
#include "support/FakeOpener.h"
#include "support/Pty.h"
#include "support/QueueWait.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> ToBytes(const std::string& text) { return {text.begin(), text.end()}; }

class PlaybackOverPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(wire.Ok()) << wire.Error();
    std::string path = wire.SlavePath();
    opener.AddFactory(1, [path] { return PosixSerialDevice::Open(path); });
    modemLine = opener.AddFake(2);
    comms.CreatePorts();
    ASSERT_TRUE(comms.IsPortPresent(1));
    selectedPort = 1;
    recorder.SetEndOfFileNotifier([this] { ++endOfFileNotices; });
  }
  void TearDown() override {
    recorder.SetPlayWaker({});
    thread.reset();
    comms.DestroyPorts();
  }
  void Start(uint8_t oneShot, uint8_t gap, uint8_t repeat, const std::string& path, int filter) {
    PlaySettings settings;
    settings.OneShot = oneShot;
    settings.PlayGap = gap;
    settings.Repeat = repeat;
    recorder.SetPlaySettings(settings);
    ASSERT_TRUE(Succeeded(recorder.StartPlaying(path, filter)));
    thread = std::make_unique<TTxThread>(recorder, comms, selectedPort, modemStatus, watchModemLines);
    // As the session does: the thread sleeps until the recorder has news.
    recorder.SetPlayWaker([this] { thread->Wake(); });
  }

  Pty wire;
  TempDir dir;
  FakeOpener opener;
  std::shared_ptr<FakeLine> modemLine;
  TWComms comms{opener};
  Recorder recorder;
  std::atomic<uint8_t> selectedPort{0};
  std::atomic<uint8_t> modemStatus{8};
  // As a window showing the selected tab has it.
  std::atomic<uint8_t> watchModemLines{1};
  std::atomic<int> endOfFileNotices{0};
  std::unique_ptr<TTxThread> thread;
};

TEST_F(PlaybackOverPty, PacketDataFilePlaysOutByteForByteThenAsksForStop) {
  std::vector<std::string> packets = {CountingBytes(4095), "PING\r\n", std::string(1, '\0'), CountingBytes(300)};
  std::string file;
  for (const std::string& bytes : packets) AppendPacketDataLines(*MakeRecord(7, bytes), file);
  TempDir::WriteFile(dir / "p.DAT", file);
  Start(0, 0, 0, dir / "p.DAT", 1);

  std::string all;
  for (const std::string& bytes : packets) all += bytes;
  EXPECT_EQ(wire.ReadFor(all.size()), ToBytes(all));
  Records sent = WaitForRecords(comms.Queue(), packets.size());
  ASSERT_EQ(sent.size(), packets.size());
  for (size_t i = 0; i < packets.size(); ++i) {
    EXPECT_EQ(Bytes(*sent[i]), ToBytes(packets[i]));
    EXPECT_EQ(sent[i]->Port, 1);
    EXPECT_EQ(sent[i]->Origin, OriginTransmitted);
    EXPECT_EQ(sent[i]->Error, 0);
  }
  ASSERT_TRUE(Eventually([&] { return endOfFileNotices.load() > 0; }));
  EXPECT_TRUE(recorder.TakeEndOfFileStop());
  recorder.Stop();
  EXPECT_TRUE(CollectFor(comms.Queue(), 100ms).empty());
}

TEST_F(PlaybackOverPty, ContinuousModeKeepsTheGapBetweenPackets) {
  TempDir::WriteFile(dir / "p.hex", "41\r\nx\r\n42\r\n-\r\n43\r\n");
  Start(0, 1, 0, dir / "p.hex", 2);
  Records sent = WaitForRecords(comms.Queue(), 3);
  ASSERT_EQ(sent.size(), 3u);
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(Bytes(*sent[i]), std::vector<uint8_t>{static_cast<uint8_t>('A' + i)});
    if (i > 0) {
      // PlayGap 1 is 100 ms from the end of one step to the next; allow for
      // the clock's rounding, assert nothing about how late it may be.
      EXPECT_GE((sent[i]->Time - sent[i - 1]->Time) * 86400e3, 95.0) << "packet " << i;
    }
  }
  EXPECT_EQ(wire.ReadFor(3), ToBytes("ABC"));
  ASSERT_TRUE(Eventually([&] { return recorder.TakeEndOfFileStop(); }));
}

TEST_F(PlaybackOverPty, RepeatStartsAgainAndNeverStopsByItself) {
  TempDir::WriteFile(dir / "p.raw", std::string("ab\0c\0", 5));
  Start(0, 0, 1, dir / "p.raw", 3);
  Records sent = WaitForRecords(comms.Queue(), 7);
  ASSERT_EQ(sent.size(), 7u);
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(Bytes(*sent[i]), ToBytes(i % 2 == 0 ? std::string("ab\0", 3) : std::string("c\0", 2))) << i;
  }
  EXPECT_EQ(endOfFileNotices.load(), 0);
  EXPECT_TRUE(IsPlayingState(recorder.State()));
  recorder.Stop();
  CollectFor(comms.Queue(), 50ms);
  EXPECT_TRUE(CollectFor(comms.Queue(), 100ms).empty());
}

TEST_F(PlaybackOverPty, OneShotSendsOnePacketPerReleaseOfPause) {
  TempDir::WriteFile(dir / "p.raw", std::string("1\0" "2\0" "3\0", 6));
  Start(1, 10, 0, dir / "p.raw", 3);
  EXPECT_TRUE(recorder.Paused());
  EXPECT_TRUE(CollectFor(comms.Queue(), 100ms).empty());
  for (char packet : {'1', '2', '3'}) {
    recorder.PauseClick(false);
    Records sent = WaitForRecords(comms.Queue(), 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Bytes(*sent[0]), ToBytes(std::string{packet, '\0'}));
    ASSERT_TRUE(Eventually([&] { return recorder.Paused(); }));
    EXPECT_TRUE(CollectFor(comms.Queue(), 60ms).empty());
  }
  ASSERT_TRUE(Eventually([&] { return endOfFileNotices.load() > 0; }));
}

TEST_F(PlaybackOverPty, ChangingThePortMovesTheFollowingPackets) {
  TempDir::WriteFile(dir / "p.raw", std::string("a\0b\0", 4));
  Start(1, 0, 0, dir / "p.raw", 3);
  recorder.PauseClick(false);
  ASSERT_EQ(WaitForRecords(comms.Queue(), 1).at(0)->Port, 1);
  ASSERT_TRUE(Eventually([&] { return recorder.Paused(); }));
  selectedPort = 2;
  recorder.PauseClick(false);
  Records second = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0]->Port, 2);
  EXPECT_EQ(modemLine->Written(), ToBytes(std::string("b\0", 2)));
}

TEST_F(PlaybackOverPty, AFileWithoutLineEndsNeverHoldsUpStop) {
  // No line end, ever: the thread goes through it a little per step, and
  // both Stop and the thread's own stop get through while it does.
  Start(0, 0, 0, "/dev/zero", 2);
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(IsPlayingState(recorder.State()));
  recorder.Stop();
  EXPECT_EQ(recorder.State(), RecorderState::Idle);
  thread->Stop();
  EXPECT_EQ(thread->StopRequest.load(), 0);
  EXPECT_TRUE(CollectFor(comms.Queue(), 50ms).empty());
}

TEST_F(PlaybackOverPty, ModemLinesOfTheSelectedPortAreReadWhileIdle) {
  modemLine->SetModemLines(ModemCTS | ModemCD);
  selectedPort = 2;
  thread = std::make_unique<TTxThread>(recorder, comms, selectedPort, modemStatus, watchModemLines);
  ASSERT_TRUE(Eventually([&] { return modemStatus.load() == (ModemCTS | ModemCD); }));
  modemLine->SetModemLines(ModemDSR);
  ASSERT_TRUE(Eventually([&] { return modemStatus.load() == ModemDSR; }));
  // A pseudo-terminal has no modem lines.
  selectedPort = 1;
  ASSERT_TRUE(Eventually([&] { return modemStatus.load() == 0; }));
  thread->Stop();
  EXPECT_EQ(thread->StopRequest.load(), 0);
}

}  // namespace
}  // namespace tapwise
