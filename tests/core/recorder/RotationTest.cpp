// Recordings that move on to new files by size and by time, keep a count of
// them, make room on a full disk and stop when their folder goes; and
// recordings that add to a file instead of emptying it. Each file is read
// back by the real player (packet data, raw) or by tshark (pcapng).

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/recorder/Recorder.h"
#include "core/recorder/RotatingFile.h"
#include "core/recorder/RotationSettings.h"
#include "support/PcapngBlocks.h"
#include "support/ReadOnlyFolder.h"
#include "support/ResultAssertions.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"
#include "support/TestRecords.h"
#include "support/Tshark.h"

namespace tapwise {
namespace {

namespace fs = std::filesystem;

// 2026-12-09 10:59:58 UTC.
constexpr int64_t Start = 1796813998;

// The stamps are local time: these tests read them in UTC.
class InUtc : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* zone = ::getenv("TZ");
    m_hadZone = zone != nullptr;
    if (m_hadZone) m_zone = zone;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
  void TearDown() override {
    if (m_hadZone) {
      ::setenv("TZ", m_zone.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  bool m_hadZone = false;
  std::string m_zone;
};

// Packet i: 4096 bytes that differ from every other packet's.
std::string PacketBytes(int i, size_t length = 4096) {
  std::string bytes(length, '\0');
  for (size_t j = 0; j < length; ++j) bytes[j] = static_cast<char>((static_cast<size_t>(i) * 13 + j) & 0xFF);
  return bytes;
}

std::string Hex(const std::string& bytes) {
  static constexpr char Digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : bytes) {
    text += Digits[c >> 4];
    text += Digits[c & 15];
  }
  return text;
}

// Every packet of a file, as the player sends them.
std::vector<std::string> PlayedPackets(const std::string& path, RecorderState format) {
  Recorder player;
  EXPECT_TRUE(Succeeded(player.StartPlayingFile(path, format)));
  std::vector<std::string> packets;
  for (int step = 0; step < 100000 && !player.TakeEndOfFileStop(); ++step) {
    player.PlayStep([&packets](const uint8_t* bytes, uint16_t count) {
      packets.emplace_back(reinterpret_cast<const char*>(bytes), count);
    });
  }
  EXPECT_FALSE(player.PlayFileError()) << path;
  return packets;
}

// Every packet of a pcapng file, as tshark reads them.
std::vector<std::string> TsharkPackets(const std::string& path) {
  const TsharkRun run = RunTsharkFields(path, {"data"});
  EXPECT_EQ(run.Status, 0) << path << ": " << run.Err;
  std::vector<std::string> packets;
  for (const auto& row : FieldRows(run.Out)) packets.push_back(row.at(0));
  return packets;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A clock that moves on one second each time it is read.
RotatingFile::WallClock Ticking(int64_t& now) {
  return [&now] { return now++; };
}

TEST(RotationSettings, ReadsSizesTimesAndCountsAndRefusesTheRest) {
  struct Good {
    const char* text;
    uint64_t bytes;
    int64_t seconds;
    uint32_t keep;
    const char* canonical;
  };
  const Good good[] = {
      {"100M,10", 100ULL << 20, 0, 10, "100M,10"}, {"4096", 4096, 0, 0, "4K"},
      {"1g", 1ULL << 30, 0, 0, "1G"},              {"1000", 1000, 0, 0, "1000"},
      {"every=1h", 0, 3600, 0, "every=1h"},        {"EVERY=90m,24", 0, 5400, 24, "every=90m,24"},
      {"every=30", 0, 30, 0, "every=30s"},         {"every=2d,7", 0, 172800, 7, "every=2d,7"},
  };
  for (const Good& g : good) {
    SCOPED_TRACE(g.text);
    RotationSettings settings;
    ASSERT_TRUE(Succeeded(ParseRotation(g.text, settings)));
    EXPECT_EQ(settings.MaxBytes, g.bytes);
    EXPECT_EQ(settings.EverySeconds, g.seconds);
    EXPECT_EQ(settings.Keep, g.keep);
    EXPECT_TRUE(settings.Rotates());
    EXPECT_EQ(RotationText(settings), g.canonical);
    RotationSettings again;
    ASSERT_TRUE(Succeeded(ParseRotation(RotationText(settings), again)));
    EXPECT_EQ(again, settings);
  }
  EXPECT_EQ(RotationText(RotationSettings{}), "");

  const std::string form = "takes SIZE[,COUNT] or every=TIME[,COUNT], e.g. 100M,10 or every=1h";
  struct Bad {
    const char* text;
    std::string message;
  };
  const Bad bad[] = {
      {"", form + " ('' is not a size: a number of bytes, K, M or G)"},
      {"0", form + " ('0' is not a size: a number of bytes, K, M or G)"},
      {"10X", form + " ('10X' is not a size: a number of bytes, K, M or G)"},
      {"10MB", form + " ('10MB' is not a size: a number of bytes, K, M or G)"},
      {"-5M", form + " ('-5M' is not a size: a number of bytes, K, M or G)"},
      {"99999999999G", form + " ('99999999999G' is not a size: a number of bytes, K, M or G)"},
      {"every=", form + " ('' is not a time: a number of s, m, h or d, at most 366d)"},
      {"every=1w", form + " ('1w' is not a time: a number of s, m, h or d, at most 366d)"},
      {"every=367d", form + " ('367d' is not a time: a number of s, m, h or d, at most 366d)"},
      {"100M,", form + " ('' is not a count of files from 1 to 1000000)"},
      {"100M,0", form + " ('0' is not a count of files from 1 to 1000000)"},
      {"100M,x", form + " ('x' is not a count of files from 1 to 1000000)"},
      {"100M,10,3", form + " ('10,3' is not a count of files from 1 to 1000000)"},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.text);
    RotationSettings settings{5, 0, 2};
    EXPECT_TRUE(FailedWith(ParseRotation(b.text, settings), b.message));
    EXPECT_EQ(settings, (RotationSettings{5, 0, 2}));  // untouched
  }
}

TEST_F(InUtc, StampedNamesKeepTheFolderAndTheExtension) {
  struct Case {
    const char* path;
    int sequence;
    const char* name;
  };
  const Case cases[] = {
      {"/r/trace.pcapng", 1, "/r/trace-20261209-105958.pcapng"},
      {"/r/v1.2/trace", 1, "/r/v1.2/trace-20261209-105958"},
      {"trace.DAT", 2, "trace-20261209-105958_002.DAT"},
      {"/r/.hidden", 1, "/r/.hidden-20261209-105958"},
      {"/r/a.b.txt", 12, "/r/a.b-20261209-105958_012.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(RotatingFile::StampedName(c.path, Start, c.sequence), c.name);
}

// 60 packets of 4096 bytes, three to a file: every byte once, in order, and
// every file readable on its own.
class RotationBySize : public InUtc, public ::testing::WithParamInterface<RecorderState> {};

TEST_P(RotationBySize, TwentyFilesHoldEveryPacketOnceInOrder) {
  const RecorderState format = GetParam();
  if (format == RecorderState::RecordPcapng && TsharkPath().empty()) GTEST_SKIP() << "tshark is not installed";
  TempDir dir;
  int64_t now = Start;
  Recorder recorder;
  recorder.SetWallClock(Ticking(now));
  // The size of three packets in this format, headers included.
  RotationSettings rotation;
  rotation.MaxBytes = format == RecorderState::RecordRaw ? 3 * 4096 : format == RecorderState::RecordPacketData
                                                                         ? 3 * 256 * 82
                                                                         : 3 * 4200 + 200;
  recorder.SetRotation(rotation, false);
  const std::string ext = format == RecorderState::RecordPcapng ? ".pcapng"
                          : format == RecorderState::RecordRaw  ? ".bin"
                                                                : ".DAT";
  ASSERT_TRUE(Succeeded(recorder.StartRecordingFile(dir / ("trace" + ext), format)));
  EXPECT_EQ(recorder.RecordingPath(), dir / ("trace-20261209-105958" + ext));
  EXPECT_EQ(recorder.StatusText(), "Recording trace-20261209-105958" + ext);
  for (int i = 0; i < 60; ++i) {
    auto record = MakeRecord(static_cast<uint8_t>(1 + i % 3), PacketBytes(i));
    recorder.RecordPacket(*record);
  }
  recorder.Stop();
  ASSERT_FALSE(recorder.TakeRecordingFailure().has_value());

  const std::vector<std::string> files = FilesIn(dir.Path());
  ASSERT_EQ(files.size(), 20u);
  int next = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    EXPECT_LE(fs::file_size(file), rotation.MaxBytes);
    std::vector<std::string> packets;
    if (format == RecorderState::RecordPcapng) {
      EXPECT_EQ(ReadPcapngBlocks(TempDir::ReadFile(file)).Error, "");
      packets = TsharkPackets(file);
      ASSERT_EQ(packets.size(), 3u);
      for (const std::string& packet : packets) EXPECT_EQ(packet, Hex(PacketBytes(next++)));
    } else if (format == RecorderState::RecordPacketData) {
      packets = PlayedPackets(file, RecorderState::PlayPacketData);
      ASSERT_EQ(packets.size(), 3u);
      for (const std::string& packet : packets) EXPECT_EQ(packet, PacketBytes(next++));
    } else {
      EXPECT_EQ(TempDir::ReadFile(file), PacketBytes(next) + PacketBytes(next + 1) + PacketBytes(next + 2));
      next += 3;
    }
  }
  EXPECT_EQ(next, 60);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, RotationBySize,
                         ::testing::Values(RecorderState::RecordRaw, RecorderState::RecordPacketData,
                                           RecorderState::RecordPcapng));

TEST_F(InUtc, FilesStartedInOneSecondTakeNumberedNames) {
  TempDir dir;
  RotatingFile file([] { return Start; });
  ASSERT_TRUE(Succeeded(file.Open(dir / "t.bin", RotationSettings{4, 0, 0}, false, {})));
  for (const char* packet : {"abcd", "efgh", "ij"}) {
    ASSERT_TRUE(Succeeded(file.WritePacket([packet](std::string& out) { out += packet; })));
  }
  file.Close();
  const std::deque<std::string> expected = {dir / "t-20261209-105958.bin", dir / "t-20261209-105958_002.bin",
                                            dir / "t-20261209-105958_003.bin"};
  EXPECT_EQ(file.Files(), expected);
  EXPECT_EQ(TempDir::ReadFile(expected[1]), "efgh");
  EXPECT_EQ(TempDir::ReadFile(expected[2]), "ij");
}

// A name freed by removing the oldest file (by COUNT here; a full disk
// does the same) is not taken again within the second: the newest file
// would sort first, and be removed first on the next run.
TEST_F(InUtc, NumbersWithinASecondOnlyGoUpWhenOldFilesGo) {
  TempDir dir;
  RotatingFile file([] { return Start; });
  ASSERT_TRUE(Succeeded(file.Open(dir / "t.bin", RotationSettings{4, 0, 2}, false, {})));
  for (const char* packet : {"abcd", "efgh", "ijkl", "mnop", "qr"}) {
    ASSERT_TRUE(Succeeded(file.WritePacket([packet](std::string& out) { out += packet; })));
  }
  file.Close();
  const std::deque<std::string> expected = {dir / "t-20261209-105958_004.bin", dir / "t-20261209-105958_005.bin"};
  EXPECT_EQ(file.Files(), expected);
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>(expected.begin(), expected.end()));
  EXPECT_EQ(TempDir::ReadFile(expected[0]) + TempDir::ReadFile(expected[1]), "mnopqr");
}

TEST_F(InUtc, ByTimeANewFileStartsOnEachMultipleEvenWithoutTraffic) {
  TempDir dir;
  int64_t now = Start;
  Recorder recorder;
  recorder.SetWallClock([&now] { return now; });
  recorder.SetRotation(RotationSettings{0, 3600, 0}, false);
  ASSERT_TRUE(Succeeded(recorder.StartRecordingFile(dir / "t.bin", RecorderState::RecordRaw)));
  recorder.RecordPacket(*MakeRecord(1, "before"));
  now = Start + 1;  // 10:59:59
  recorder.PollRecording();
  recorder.RecordPacket(*MakeRecord(1, "still"));
  now = Start + 2;  // 11:00:00, on the hour
  recorder.PollRecording();
  EXPECT_EQ(recorder.RecordingPath(), dir / "t-20261209-110000.bin");
  now = Start + 2 + 3600 + 1800;  // 12:30:00: the hour passed without a poll
  recorder.RecordPacket(*MakeRecord(1, "later"));
  EXPECT_EQ(recorder.RecordingPath(), dir / "t-20261209-123000.bin");
  now += 1800;  // 13:00:00
  recorder.RecordPacket(*MakeRecord(1, "last"));
  recorder.Stop();
  EXPECT_FALSE(recorder.TakeRecordingFailure().has_value());

  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{dir / "t-20261209-105958.bin", dir / "t-20261209-110000.bin",
                                                            dir / "t-20261209-123000.bin", dir / "t-20261209-130000.bin"}));
  EXPECT_EQ(TempDir::ReadFile(dir / "t-20261209-105958.bin"), "beforestill");
  EXPECT_EQ(TempDir::ReadFile(dir / "t-20261209-110000.bin"), "");
  EXPECT_EQ(TempDir::ReadFile(dir / "t-20261209-123000.bin"), "later");
  EXPECT_EQ(TempDir::ReadFile(dir / "t-20261209-130000.bin"), "last");
}

TEST_F(InUtc, CountKeepsTheNewestFilesEarlierRunsIncludedAndNothingElse) {
  TempDir dir;
  // An earlier run's files, and files that only look alike.
  const std::vector<std::string> earlier = {dir / "t-20261208-090000.bin", dir / "t-20261208-090000_002.bin"};
  const std::vector<std::string> others = {dir / "t-20261208-0900.bin", dir / "t-20261208-090000.txt",
                                           dir / "u-20261208-090000.bin", dir / "t-20261208-090000_001.bin", dir / "t-20261208-090000-2.bin",
                                           dir / "t.bin"};
  for (const std::string& name : earlier) TempDir::WriteFile(name, "old");
  for (const std::string& name : others) TempDir::WriteFile(name, "other");

  int64_t now = Start;
  RotatingFile file(Ticking(now));
  ASSERT_TRUE(Succeeded(file.Open(dir / "t.bin", RotationSettings{2, 0, 3}, false, {})));
  // With the new file the set is three: nothing goes yet.
  EXPECT_TRUE(fs::exists(earlier[0]));
  EXPECT_TRUE(fs::exists(earlier[1]));
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(Succeeded(file.WritePacket([i](std::string& out) { out += std::to_string(10 + i); })));
  }
  file.Close();
  std::vector<std::string> expected = others;
  for (int64_t second : {Start + 3, Start + 4, Start + 5}) {
    expected.push_back(RotatingFile::StampedName(dir / "t.bin", second));
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FilesIn(dir.Path()), expected);
  EXPECT_EQ(TempDir::ReadFile(RotatingFile::StampedName(dir / "t.bin", Start + 5)), "14");
  // Removing old files said nothing: that is what COUNT asks for.
  EXPECT_TRUE(file.TakeNotices().empty());
}

// A full disk removes the oldest file of the set and recording goes on;
// every file left is whole, and what they hold is the newest packets, in
// order.
TEST_F(InUtc, AFullDiskMakesRoomByRemovingTheOldestFiles) {
  SmallDisk disk(256);
  if (!disk.Ok()) GTEST_SKIP() << "cannot mount a small tmpfs here";
  int64_t now = Start;
  Recorder recorder;
  recorder.SetWallClock(Ticking(now));
  recorder.SetRotation(RotationSettings{8 * 4096, 0, 0}, false);
  ASSERT_TRUE(Succeeded(recorder.StartRecordingFile(disk / "t.DAT", RecorderState::RecordPacketData)));
  constexpr int Packets = 60;  // about 1.3 MB of packet data lines
  for (int i = 0; i < Packets; ++i) recorder.RecordPacket(*MakeRecord(1, PacketBytes(i)));
  EXPECT_FALSE(recorder.TakeRecordingFailure().has_value());
  EXPECT_TRUE(IsRecordingState(recorder.State()));
  const std::vector<std::string> notices = recorder.TakeRecordingNotices();
  ASSERT_FALSE(notices.empty());
  EXPECT_EQ(notices.front().rfind("the disk is full: removed the oldest recording " + (disk / "t-"), 0), 0u)
      << notices.front();
  recorder.Stop();

  std::vector<std::string> played;
  for (const std::string& file : FilesIn(disk / "")) {
    for (std::string& packet : PlayedPackets(file, RecorderState::PlayPacketData)) played.push_back(std::move(packet));
  }
  ASSERT_GE(played.size(), 4u);
  ASSERT_LT(played.size(), static_cast<size_t>(Packets));
  const int first = Packets - static_cast<int>(played.size());
  for (size_t i = 0; i < played.size(); ++i) EXPECT_EQ(played[i], PacketBytes(first + static_cast<int>(i))) << i;
}

// Without rotation there is nothing to remove: the recording stops, whole up
// to its last packet, as it always has.
TEST(RotationFullDisk, ASingleFileStopsWhenTheDiskIsFull) {
  SmallDisk disk(64);
  if (!disk.Ok()) GTEST_SKIP() << "cannot mount a small tmpfs here";
  Recorder recorder;
  ASSERT_TRUE(Succeeded(recorder.StartRecordingFile(disk / "t.bin", RecorderState::RecordRaw)));
  int written = 0;
  for (; written < 40 && IsRecordingState(recorder.State()); ++written) {
    recorder.RecordPacket(*MakeRecord(1, PacketBytes(written)));
  }
  const std::optional<RecordingFailure> failure = recorder.TakeRecordingFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->Text, "Recording stopped: cannot write to " + (disk / "t.bin") + ": No space left on device");
  EXPECT_TRUE(recorder.TakeRecordingNotices().empty());
  EXPECT_EQ(TempDir::ReadFile(disk / "t.bin").size() % 4096, 0u);
}

TEST_F(InUtc, AFolderThatGoesStopsTheRecordingWithAMessage) {
  TempDir dir;
  const std::string folder = dir / "rig";
  for (bool byTime : {false, true}) {
    SCOPED_TRACE(byTime);
    fs::create_directory(folder);
    int64_t now = Start;
    Recorder recorder;
    recorder.SetWallClock([&now] { return now; });
    recorder.SetRotation(byTime ? RotationSettings{0, 60, 0} : RotationSettings{1 << 20, 0, 0}, false);
    ASSERT_TRUE(Succeeded(recorder.StartRecordingFile(folder + "/t.bin", RecorderState::RecordRaw)));
    const std::string first = recorder.RecordingPath();
    recorder.RecordPacket(*MakeRecord(1, "kept"));
    fs::remove_all(folder);
    now += 2;  // 11:00:00: a new file is due by time
    recorder.PollRecording();
    EXPECT_EQ(recorder.State(), RecorderState::Idle);
    const std::optional<RecordingFailure> failure = recorder.TakeRecordingFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->Text, byTime ? "Recording stopped: cannot create " + folder +
                                          "/t-20261209-110000.bin: No such file or directory"
                                    : "Recording stopped: " + first +
                                          " is gone (removed, or its folder removed or renamed)");
    // Later packets find the recording stopped and say nothing more.
    recorder.RecordPacket(*MakeRecord(1, "after"));
    EXPECT_FALSE(recorder.TakeRecordingFailure().has_value());
  }
}

TEST_F(InUtc, AFolderMadeReadOnlyStopsTheRecordingAtItsNextFile) {
  TempDir dir;
  for (bool byTime : {false, true}) {
    SCOPED_TRACE(byTime);
    const std::string folder = dir / (byTime ? "time" : "size");
    fs::create_directory(folder);
    int64_t now = Start;
    Recorder recorder;
    recorder.SetWallClock([&now] { return now; });
    recorder.SetRotation(byTime ? RotationSettings{0, 60, 0} : RotationSettings{4096, 0, 0}, false);
    ASSERT_TRUE(Succeeded(recorder.StartRecordingFile(folder + "/t.bin", RecorderState::RecordRaw)));
    const std::string first = recorder.RecordingPath();
    recorder.RecordPacket(*MakeRecord(1, PacketBytes(1, 3000)));
    ReadOnlyFolder readOnly(folder);
    if (!readOnly.Ok()) GTEST_SKIP() << "cannot bind-mount a folder read-only here";
    // The file being written still takes what fits.
    recorder.RecordPacket(*MakeRecord(1, PacketBytes(2, 1000)));
    EXPECT_EQ(recorder.State(), RecorderState::RecordRaw);
    now += 2;
    // The next file is due: by time at 11:00:00, by size with this packet.
    recorder.PollRecording();
    if (!byTime) recorder.RecordPacket(*MakeRecord(1, PacketBytes(3, 1000)));
    EXPECT_EQ(recorder.State(), RecorderState::Idle);
    const std::optional<RecordingFailure> failure = recorder.TakeRecordingFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->Text, "Recording stopped: cannot create " + folder + "/t-20261209-110000.bin: Read-only file system");
    EXPECT_EQ(TempDir::ReadFile(first), PacketBytes(1, 3000) + PacketBytes(2, 1000));
  }
}

// -append adds to what is there (pcapng: a section of its own); without it
// the file starts empty.
TEST(RecordingAppend, AddsToTheFileInEveryFormat) {
  TempDir dir;
  struct Case {
    RecorderState format;
    const char* name;
  };
  for (const Case& c : {Case{RecorderState::RecordRaw, "a.bin"}, Case{RecorderState::RecordPacketData, "a.DAT"},
                        Case{RecorderState::RecordPcapng, "a.pcapng"}}) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / c.name;
    for (bool append : {false, true, true}) {
      Recorder recorder;
      recorder.SetRotation({}, append);
      ASSERT_TRUE(Succeeded(recorder.StartRecordingFile(path, c.format)));
      recorder.RecordPacket(*MakeRecord(2, PacketBytes(append ? 1 : 0, 100)));
      recorder.Stop();
    }
    if (c.format == RecorderState::RecordRaw) {
      EXPECT_EQ(TempDir::ReadFile(path), PacketBytes(0, 100) + PacketBytes(1, 100) + PacketBytes(1, 100));
    } else if (c.format == RecorderState::RecordPacketData) {
      EXPECT_EQ(PlayedPackets(path, RecorderState::PlayPacketData),
                (std::vector<std::string>{PacketBytes(0, 100), PacketBytes(1, 100), PacketBytes(1, 100)}));
    } else {
      const PcapngFile blocks = ReadPcapngBlocks(TempDir::ReadFile(path));
      EXPECT_EQ(blocks.Error, "");
      int sections = 0;
      for (const PcapngBlock& block : blocks.Blocks) sections += block.Type == 0x0A0D0D0A ? 1 : 0;
      EXPECT_EQ(sections, 3);
      if (!TsharkPath().empty()) {
        EXPECT_EQ(TsharkPackets(path), (std::vector<std::string>{Hex(PacketBytes(0, 100)), Hex(PacketBytes(1, 100)),
                                                                 Hex(PacketBytes(1, 100))}));
      }
    }
  }
  // Without -append a new recording empties the file, as before.
  Recorder recorder;
  ASSERT_TRUE(Succeeded(recorder.StartRecordingFile(dir / "a.bin", RecorderState::RecordRaw)));
  recorder.RecordPacket(*MakeRecord(1, "new"));
  recorder.Stop();
  EXPECT_EQ(TempDir::ReadFile(dir / "a.bin"), "new");
}

}  // namespace
}  // namespace tapwise
