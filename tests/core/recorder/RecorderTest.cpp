// The recorder's state machine, driven as the window's buttons and timer
// drive it, and recording through the real queue drain.

#include "core/recorder/Recorder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/capture/TWComms.h"
#include "core/display/DisplayDrain.h"
#include "core/format/PacketDataWriter.h"
#include "core/session/PacketFanOut.h"
#include "core/util/ProcessSetup.h"
#include "support/FakeOpener.h"
#include "support/ResultAssertions.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

TEST(RecorderNames, RecordingFileNameRules) {
  struct Case {
    const char* chosen;
    int filter;
    const char* name;
    RecorderState state;
  };
  const Case cases[] = {
      {"/tmp/trace", 1, "/tmp/trace.DAT", RecorderState::RecordPacketData},
      {"/tmp/trace.log", 1, "/tmp/trace.DAT", RecorderState::RecordPacketData},
      {"/tmp/v1.2/trace", 1, "/tmp/v1.2/trace.DAT", RecorderState::RecordPacketData},
      {"/tmp/trace", 2, "/tmp/trace.txt", RecorderState::RecordRaw},
      {"/tmp/trace.bin", 2, "/tmp/trace.bin", RecorderState::RecordRaw},
      {"/tmp/v1.2/.hidden", 2, "/tmp/v1.2/.hidden.txt", RecorderState::RecordRaw},
      {"C:\\logs\\trace", 0, "C:\\logs\\trace.txt", RecorderState::RecordRaw},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    EXPECT_EQ(Recorder::RecordingFileName(c.chosen, c.filter), c.name);
    EXPECT_EQ(Recorder::RecordingStateFor(c.filter), c.state);
  }
  EXPECT_EQ(Recorder::PlayingStateFor(1), RecorderState::PlayPacketData);
  EXPECT_EQ(Recorder::PlayingStateFor(2), RecorderState::PlayHex);
  EXPECT_EQ(Recorder::PlayingStateFor(3), RecorderState::PlayRaw);
  EXPECT_EQ(Recorder::PlayingStateFor(0), RecorderState::PlayRaw);
  EXPECT_EQ(Recorder::BaseName("/a/b/c.DAT"), "c.DAT");
  EXPECT_EQ(Recorder::BaseName("C:\\a\\c.DAT"), "c.DAT");
  EXPECT_EQ(Recorder::BaseName("plain"), "plain");
}

class RecorderStates : public ::testing::Test {
 protected:
  void ExpectButtons(bool recordEnabled, bool playEnabled, bool stopDown) {
    EXPECT_EQ(recorder.RecordEnabled(), recordEnabled);
    EXPECT_EQ(recorder.PlayEnabled(), playEnabled);
    EXPECT_EQ(recorder.StopDown(), stopDown);
  }
  TempDir dir;
  Recorder recorder;
};

TEST_F(RecorderStates, RecordStopPlayStopWithStatusAndButtons) {
  ExpectButtons(true, true, true);
  ASSERT_TRUE(Succeeded(recorder.StartRecording(dir / "trace", 2)));
  EXPECT_EQ(recorder.RecordName(), dir / "trace.txt");
  EXPECT_TRUE(std::filesystem::exists(dir / "trace.txt"));
  EXPECT_EQ(recorder.State(), RecorderState::RecordRaw);
  EXPECT_EQ(recorder.StatusText(), "Recording trace.txt");
  EXPECT_EQ(recorder.StatusColour(), 0x800000u);
  ExpectButtons(true, false, false);
  // The other button does nothing while a file is open.
  EXPECT_TRUE(FailedWith(recorder.StartPlaying(dir / "trace.txt", 2), "a file is already being recorded or played"));
  EXPECT_EQ(recorder.State(), RecorderState::RecordRaw);

  recorder.Stop();
  EXPECT_EQ(recorder.State(), RecorderState::Idle);
  EXPECT_EQ(recorder.StatusText(), "");
  EXPECT_EQ(recorder.StatusColour(), 0u);
  ExpectButtons(true, true, true);
  // The next Play offers the same name with the same filter index, which in
  // the play dialog means a hex data file.
  EXPECT_EQ(recorder.RecordName(), dir / "trace.txt");
  EXPECT_EQ(recorder.RecordType(), 2);

  ASSERT_TRUE(Succeeded(recorder.StartPlaying(recorder.RecordName(), recorder.RecordType())));
  EXPECT_EQ(recorder.State(), RecorderState::PlayHex);
  EXPECT_EQ(recorder.StatusText(), "Playing trace.txt");
  EXPECT_EQ(recorder.StatusColour(), 0x008000u);
  ExpectButtons(false, true, false);
  recorder.Stop();
  ExpectButtons(true, true, true);
}

TEST_F(RecorderStates, FailedCreateStaysIdleWithTheErrorText) {
  EXPECT_TRUE(FailedWith(recorder.StartRecording(dir / "no-such-folder/trace", 1), "No such file or directory"));
  EXPECT_EQ(recorder.State(), RecorderState::Idle);
  ExpectButtons(true, true, true);
}

TEST_F(RecorderStates, OneShotPlayStartsPausedAndStopLeavesPauseDown) {
  TempDir::WriteFile(dir / "p.raw", "abc");
  PlaySettings settings;
  settings.OneShot = 1;
  recorder.SetPlaySettings(settings);
  ASSERT_TRUE(Succeeded(recorder.StartPlaying(dir / "p.raw", 3)));
  EXPECT_TRUE(recorder.Paused());
  recorder.Stop();
  EXPECT_TRUE(recorder.Paused());
  // Still paused: a new recording writes nothing until Pause is released.
  EXPECT_TRUE(Succeeded(recorder.StartRecording(dir / "r", 2)));
  recorder.PauseClick(false);
  EXPECT_FALSE(recorder.Paused());
  recorder.Stop();

  settings.OneShot = 0;
  recorder.SetPlaySettings(settings);
  ASSERT_TRUE(Succeeded(recorder.StartPlaying(dir / "p.raw", 3)));
  EXPECT_FALSE(recorder.Paused());
}

TEST_F(RecorderStates, PlayStepsToTheEndThenAsksOnceForStop) {
  TempDir::WriteFile(dir / "p.raw", std::string("ab\0cd\0", 6));
  PlaySettings settings;
  settings.OneShot = 0;
  recorder.SetPlaySettings(settings);
  int notified = 0;
  recorder.SetEndOfFileNotifier([&] { ++notified; });
  ASSERT_TRUE(Succeeded(recorder.StartPlaying(dir / "p.raw", 3)));
  std::vector<std::string> sent;
  auto send = [&](const uint8_t* bytes, uint16_t count) { sent.emplace_back(reinterpret_cast<const char*>(bytes), count); };
  recorder.PlayStep(send);
  EXPECT_FALSE(recorder.TakeEndOfFileStop());
  recorder.PlayStep(send);
  EXPECT_EQ(sent, (std::vector<std::string>{std::string("ab\0", 3), std::string("cd\0", 3)}));
  EXPECT_EQ(notified, 1);
  recorder.PlayStep(send);  // before the window has acted: no second notice
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(recorder.Progress(), 100);
  EXPECT_TRUE(recorder.TakeEndOfFileStop());
  EXPECT_EQ(recorder.State(), RecorderState::PlayRaw);  // the caller presses Stop
  EXPECT_FALSE(recorder.TakeEndOfFileStop());
  recorder.Stop();
  // Nothing plays once stopped.
  recorder.PlayStep(send);
  EXPECT_EQ(sent.size(), 2u);

  // A request that the user overtook by pressing Stop does not stop the next play.
  ASSERT_TRUE(Succeeded(recorder.StartPlaying(dir / "p.raw", 3)));
  recorder.PlayStep(send);
  recorder.PlayStep(send);
  recorder.Stop();
  ASSERT_TRUE(Succeeded(recorder.StartPlaying(dir / "p.raw", 3)));
  EXPECT_FALSE(recorder.TakeEndOfFileStop());
  EXPECT_EQ(recorder.State(), RecorderState::PlayRaw);
}

TEST_F(RecorderStates, RepeatRewindsAndInvalidFileIsReportedOnce) {
  TempDir::WriteFile(dir / "p.raw", "xy");
  PlaySettings settings;
  settings.OneShot = 0;
  settings.Repeat = 1;
  settings.TerminatorChar = 'x';
  recorder.SetPlaySettings(settings);
  ASSERT_TRUE(Succeeded(recorder.StartPlaying(dir / "p.raw", 3)));
  std::string sent;
  auto send = [&](const uint8_t* bytes, uint16_t count) { sent.append(reinterpret_cast<const char*>(bytes), count); sent += '|'; };
  for (int i = 0; i < 5; ++i) recorder.PlayStep(send);
  EXPECT_EQ(sent, "x|y|x|y|x|");
  EXPECT_FALSE(recorder.TakeEndOfFileStop());
  recorder.Stop();

  TempDir::WriteFile(dir / "bad.DAT", "not a packet data file\r\n");
  ASSERT_TRUE(Succeeded(recorder.StartPlaying(dir / "bad.DAT", 1)));
  recorder.PlayStep(send);
  EXPECT_TRUE(recorder.PlayFileError());
  EXPECT_TRUE(recorder.TakePlayFileError());
  EXPECT_EQ(recorder.State(), RecorderState::Idle);
  EXPECT_FALSE(recorder.TakePlayFileError());
}

TEST_F(RecorderStates, OneStepTakesABoundedPartOfAnyFile) {
  // Files that hold no line end for gigabytes, or lines that carry nothing:
  // a step must end after a small part of them, so that Stop and shutdown,
  // which need the file, never wait long for it.
  const std::string sparse = dir / "sparse";
  TempDir::WriteFile(sparse, "");
  ASSERT_EQ(truncate(sparse.c_str(), off_t{1} << 30), 0);
  TempDir::WriteFile(dir / "blank.hex", std::string(size_t{8} << 20, '\n'));
  std::string blankColumns = "COM1 07:04.3" + std::string(68, ' ') + "\r\n";
  while (blankColumns.size() < (size_t{8} << 20)) blankColumns += std::string(80, ' ') + "\r\n";
  TempDir::WriteFile(dir / "blank.DAT", blankColumns);
  struct Case {
    std::string path;
    int filter;
    bool invalid;
  };
  const Case cases[] = {
      {sparse, 1, true},
      {sparse, 2, false},
      {"/dev/zero", 1, true},
      {"/dev/zero", 2, false},
      {dir / "blank.hex", 2, false},
      {dir / "blank.DAT", 1, false},
  };
  PlaySettings settings;
  settings.OneShot = 0;
  recorder.SetPlaySettings(settings);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " filter " + std::to_string(c.filter));
    ASSERT_TRUE(Succeeded(recorder.StartPlaying(c.path, c.filter)));
    size_t sent = 0;
    recorder.PlayStep([&](const uint8_t*, uint16_t count) { sent += count; });
    EXPECT_EQ(recorder.PlayFileError(), c.invalid);
    EXPECT_EQ(sent, 0u);
    EXPECT_LT(recorder.Progress(), 10);
    // Later steps go on through the file in as short strides.
    for (int step = 0; step < 3 && !c.invalid; ++step) recorder.PlayStep(nullptr);
    EXPECT_LT(recorder.Progress(), 40);
    recorder.TakePlayFileError();
    recorder.Stop();
  }
}

TEST_F(RecorderStates, AFolderOrAFifoIsRefusedWithoutWaiting) {
  const std::string fifo = dir / "pipe.txt";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // As the Play dialog plays them: a file that cannot be used plays as an
  // empty one, at its end at once; the reason is there for who wants it.
  for (const std::string& path : {dir.Path(), fifo}) {
    SCOPED_TRACE(path);
    const char* reason = path == fifo ? "it is a named pipe (FIFO), not a file" : "Is a directory";
    EXPECT_TRUE(FailedWith(recorder.StartPlaying(path, 2), reason));
    EXPECT_EQ(recorder.State(), RecorderState::PlayHex);
    recorder.PlayStep(nullptr);
    EXPECT_TRUE(recorder.TakeEndOfFileStop());
    recorder.Stop();
  }
  // Recording, with nobody reading the pipe and with a reader waiting.
  for (bool withReader : {false, true}) {
    SCOPED_TRACE(withReader ? "with a reader" : "without a reader");
    const int reader = withReader ? open(fifo.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    EXPECT_TRUE(FailedWith(recorder.StartRecording(fifo, 2), "it is a named pipe (FIFO), not a file"));
    EXPECT_EQ(recorder.State(), RecorderState::Idle);
    if (reader >= 0) close(reader);
  }
}

// A file-size limit on this process, as `ulimit -f` sets one, lifted again
// when the object goes.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    IgnoreWriteSignals();
    getrlimit(RLIMIT_FSIZE, &m_saved);
    rlimit limited = m_saved;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit m_saved{};
};

// Records 40-byte packets until the recording fails; the file must then
// hold the packets written before, each whole, and nothing of the one that
// did not fit.
void RecordUntilItFails(const std::string& path, RecorderState format, const char* reason) {
  Recorder recorder;
  ASSERT_TRUE(Succeeded(recorder.StartRecordingFile(path, format)));
  std::string packets;
  size_t packetSize = 0;
  for (int i = 0; i < 1000 && recorder.State() != RecorderState::Idle; ++i) {
    auto record = MakeRecord(1, CountingBytes(40 + i % 2));
    std::string text;
    if (format == RecorderState::RecordPacketData) {
      AppendPacketDataLines(*record, text);
    } else {
      text = std::string(reinterpret_cast<const char*>(record->Data), record->Length);
    }
    packets += text;
    packetSize = text.size();
    recorder.RecordPacket(*record);
  }
  ASSERT_EQ(recorder.State(), RecorderState::Idle);
  std::optional<RecordingFailure> failure = recorder.TakeRecordingFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->Text.find(reason), std::string::npos) << failure->Text;
  const std::string file = TempDir::ReadFile(path);
  EXPECT_GT(file.size(), 0u);
  // Everything but the packet that failed.
  EXPECT_EQ(file.size(), packets.size() - packetSize);
  EXPECT_EQ(file, packets.substr(0, file.size()));
}

TEST_F(RecorderStates, ARecordingCutShortByASizeLimitEndsAtItsLastWholePacket) {
  FileSizeLimit limit(1010);
  RecordUntilItFails(dir / "limited.DAT", RecorderState::RecordPacketData, "File too large");
  RecordUntilItFails(dir / "limited.bin", RecorderState::RecordRaw, "File too large");
}

TEST_F(RecorderStates, ARecordingCutShortByAFullDiskEndsAtItsLastWholePacket) {
  for (RecorderState format : {RecorderState::RecordPacketData, RecorderState::RecordRaw}) {
    SmallDisk disk(16);
    if (!disk.Ok()) GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    RecordUntilItFails(disk / "full", format, "No space left on device");
  }
}

class RecordingThroughTheDrain : public ::testing::Test {
 protected:
  void SetUp() override {
    opener.AddFake(1);
    opener.AddFake(2);
    comms.CreatePorts();
    ASSERT_TRUE(comms.IsPortEnabled(1));
    fanOut.AddSink(drain);
    fanOut.AddSink(recorder);
  }
  void TearDown() override { comms.DestroyPorts(); }
  void Feed(uint8_t port, const std::string& bytes, uint8_t origin = OriginReceived) {
    comms.Queue().Append(MakeRecord(port, bytes, origin));
  }

  TempDir dir;
  FakeOpener opener;
  TWComms comms{opener};
  DisplayDrain drain;
  Recorder recorder;
  PacketFanOut fanOut{comms};
};

TEST_F(RecordingThroughTheDrain, FrozenDisplayStillRecordsEveryPacketPausedRecordsNone) {
  ASSERT_TRUE(Succeeded(recorder.StartRecording(dir / "trace", 1)));
  drain.SetFrozen(true);
  drain.SetHexDisplay(false);
  std::string expected;
  for (int i = 0; i < 20; ++i) {
    auto record = MakeRecord(static_cast<uint8_t>(1 + i % 2), CountingBytes(static_cast<size_t>(i * 7)),
                             i % 3 ? OriginReceived : OriginTransmitted);
    AppendPacketDataLines(*record, expected);
    comms.Queue().Append(std::move(record));
  }
  fanOut.DrainQueue();
  EXPECT_EQ(drain.LineCount(), 0);
  recorder.PauseClick(true);
  Feed(1, "not recorded");
  fanOut.DrainQueue();
  recorder.PauseClick(false);
  recorder.Stop();
  EXPECT_EQ(TempDir::ReadFile(dir / "trace.DAT"), expected);

  ASSERT_TRUE(Succeeded(recorder.StartRecording(dir / "raw.bin", 2)));
  Feed(1, "one");
  Feed(2, "two", OriginTransmitted);
  fanOut.DrainQueue();
  recorder.Stop();
  EXPECT_EQ(TempDir::ReadFile(dir / "raw.bin"), "onetwo");
}

TEST_F(RecordingThroughTheDrain, AFailingRecordingIsReportedOnceAndCaptureGoesOn) {
  ASSERT_TRUE(Succeeded(recorder.StartRecordingFile("/dev/full", RecorderState::RecordPacketData)));
  Feed(1, "first");
  Feed(2, "second");
  fanOut.DrainQueue();
  EXPECT_EQ(drain.LineCount(), 2);  // both packets are still shown
  EXPECT_EQ(drain.PacketCounter(), 2);
  EXPECT_EQ(recorder.State(), RecorderState::Idle);
  EXPECT_TRUE(recorder.StopDown());
  EXPECT_NE(recorder.StatusText().find("Recording stopped"), std::string::npos) << recorder.StatusText();
  std::optional<RecordingFailure> failure = recorder.TakeRecordingFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->Text.find("/dev/full"), std::string::npos) << failure->Text;
  EXPECT_NE(failure->Text.find("No space left on device"), std::string::npos) << failure->Text;
  EXPECT_EQ(failure->Markup.rfind("\\1Error: Recording stopped", 0), 0u) << failure->Markup;
  EXPECT_FALSE(recorder.TakeRecordingFailure().has_value());

  Feed(1, "third");
  fanOut.DrainQueue();
  EXPECT_EQ(drain.LineCount(), 3);
  EXPECT_FALSE(recorder.TakeRecordingFailure().has_value());
}

}  // namespace
}  // namespace tapwise
