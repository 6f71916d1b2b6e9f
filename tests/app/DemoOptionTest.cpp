// -demo: what it stands for, where it finds its files, and whether the
// shipped files fit together (a recorded poll that no trigger answers would
// make a demo that shows nothing happening).

#include "app/DemoOption.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "core/config/ProjectFile.h"
#include "core/format/PacketDataReader.h"
#include "core/format/RecordFile.h"
#include "core/recorder/RecordFormats.h"
#include "core/userpackets/PacketCompiler.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using Args = std::vector<std::string>;

TEST(DemoOption, StandsForOrdinaryOptionsThatTheUsersOwnOverride) {
  struct Case {
    const char* name;
    Args args;
    Args expanded;
  };
  const Case cases[] = {
      {"alone", {"-demo"},
       {"-pair:97,98", "/d/demo.TW", "-select:97", "-play:/d/thermometer.DAT", "-trigger"}},
      {"any letter case, options after it kept in order", {"-headless", "-DEMO", "-NOHS", "mine.TW"},
       {"-pair:97,98", "/d/demo.TW", "-select:97", "-play:/d/thermometer.DAT", "-trigger", "-headless", "-NOHS",
        "mine.TW"}},
      {"a file of the user's own to record: the demo plays nothing", {"-demo", "-Record:seen.DAT"},
       {"-pair:97,98", "/d/demo.TW", "-select:97", "-trigger", "-Record:seen.DAT"}},
      {"or to play", {"-playhex:x.hex", "-demo"},
       {"-pair:97,98", "/d/demo.TW", "-select:97", "-trigger", "-playhex:x.hex"}},
      {"two dashes, as the command line takes them", {"--Demo", "--play:x.DAT"},
       {"-pair:97,98", "/d/demo.TW", "-select:97", "-trigger", "--play:x.DAT"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(HasDemoOption(c.args));
    EXPECT_EQ(ExpandDemoOption(c.args, "/d", false), c.expanded);
  }
  EXPECT_FALSE(HasDemoOption({"-headless", "demo", "-demos", "---demo"}));

  // Parsed, the user's later options win over the demo's.
  CommandLine line = ParseCommandLine(ExpandDemoOption({"-demo", "-select:1", "-triggerpart", "-playgap:2"}, "/d", false));
  EXPECT_EQ(line.PortOptions, Args{"-pair:97,98"});
  EXPECT_EQ(line.ProjectFiles, Args{"/d/demo.TW"});
  EXPECT_EQ(line.PlayFormat, RecorderState::PlayPacketData);
  EXPECT_EQ(line.PlayPath, "/d/thermometer.DAT");
  EXPECT_EQ(line.SelectPort, 1);
  EXPECT_EQ(line.Triggers, TriggerMode::PartPacket);
  EXPECT_EQ(line.PlayGap, 2);
  EXPECT_TRUE(line.Problems.empty());
  // With the user's own recording nothing conflicts.
  EXPECT_TRUE(ParseCommandLine(ExpandDemoOption({"-demo", "-record:x.DAT"}, "/d", false)).Problems.empty());
}

// A file of the user's own to record leaves the demo's playing out only
// where one file is open at a time (the window); the headless monitor
// records it while the demo plays. Every format's option counts alike.
TEST(DemoOption, AnOwnFileToRecordStopsThePlayingOnlyWhereOneFileIsOpenAtATime) {
  for (const RecordFormat& format : RecordFormats()) {
    for (bool recordBesidePlay : {false, true}) {
      const std::string own = std::string(format.Option) + "mine";
      SCOPED_TRACE(own + (recordBesidePlay ? " headless" : " window"));
      const Args expanded = ExpandDemoOption({"-demo", own}, "/d", recordBesidePlay);
      const bool plays = std::find(expanded.begin(), expanded.end(), "-play:/d/thermometer.DAT") != expanded.end();
      EXPECT_EQ(plays, recordBesidePlay && IsRecordingState(format.State));
      const CommandLine line = ParseCommandLine(expanded);
      EXPECT_TRUE(line.Problems.empty());
      // One file: the user's own.
      if (!plays) {
        EXPECT_EQ(IsPlayingState(format.State) ? line.PlayPath : line.RecordPath, "mine");
      }
    }
  }
}

TEST(DemoOption, FoundBesideTheInstalledProgramElseInTheBuildFallback) {
  TempDir root;
  const std::string prefix = root / "opt";
  const std::string fallback = root / "source-demo";
  for (const std::string& folder : {prefix, prefix + "/bin", prefix + "/share", prefix + "/share/tapwise",
                                    prefix + "/share/tapwise/demo", fallback}) {
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0) << folder;
  }
  const std::string program = prefix + "/bin/tapwise";
  EXPECT_EQ(FindDemoFolder(program, fallback), "") << "neither holds the project";
  TempDir::WriteFile(fallback + "/demo.TW", ";TAPWISE PROJECT\r\n");
  EXPECT_EQ(FindDemoFolder(program, fallback), fallback);
  TempDir::WriteFile(prefix + "/share/tapwise/demo/demo.TW", ";TAPWISE PROJECT\r\n");
  EXPECT_EQ(FindDemoFolder(program, fallback), prefix + "/share/tapwise/demo");
  EXPECT_EQ(FindDemoFolder(program, ""), prefix + "/share/tapwise/demo");
  EXPECT_EQ(FindDemoFolder("", fallback), fallback) << "the program's own path unknown";
}

// Compiled bytes of a packet text, with a calculator of the test's own.
std::vector<uint8_t> Compiled(const std::string& text, CalcState& calc) {
  std::vector<uint8_t> bytes(PacketTextCapacity);
  const int32_t count = CompilePacketText(text, bytes.data(), PacketTextCapacity, calc);
  if (count < 0) return {};
  bytes.resize(static_cast<size_t>(count));
  return bytes;
}

TEST(DemoOption, EveryRecordedPollAndTheF1PollGetAnAnswer) {
  const std::string folder = TAPWISE_SOURCE_DEMO_DIR;
  ProjectData project;
  const ProjectRead read = ReadProjectFile(folder + "/" + DemoProjectName, project);
  ASSERT_TRUE(read.Read()) << (read.Missing ? "missing" : read.Outcome.Message());
  // Played continuously and again at the end, with a gap that a reader can follow.
  EXPECT_EQ(project.Play.OneShot, 0);
  EXPECT_EQ(project.Play.Repeat, 1);
  EXPECT_GE(project.Play.PlayGap, 2);
  EXPECT_LE(project.Play.PlayGap, 10);
  EXPECT_TRUE(project.HexDisplay);

  CalcState calc;
  // The row whose trigger the bytes match whole (as -trigger does), or 0.
  auto answeringRow = [&](const std::vector<uint8_t>& bytes) {
    for (int row = 1; row <= UserPacketRowCount; ++row) {
      if (!project.Rows[row].Trigger.empty() && Compiled(project.Rows[row].Trigger, calc) == bytes) return row;
    }
    return 0;
  };
  for (int row = 1; row <= UserPacketRowCount; ++row) {
    SCOPED_TRACE(row);
    for (const std::string* text : {&project.Rows[row].Packet, &project.Rows[row].Trigger}) {
      if (!text->empty()) {
        EXPECT_FALSE(Compiled(*text, calc).empty()) << *text;
      }
    }
  }
  const int f1Answer = answeringRow(Compiled(project.Rows[1].Packet, calc));
  EXPECT_NE(f1Answer, 0) << "F1's poll has no trigger";
  EXPECT_FALSE(project.Rows[f1Answer].Packet.empty());

  RecordFile file;
  ASSERT_TRUE(Succeeded(file.OpenForPlaying(folder + "/" + DemoRecordingName)));
  PacketDataReader reader;
  PlayPacket packet;
  int packets = 0;
  while (!file.AtEnd() || reader.HasPendingLine()) {
    ASSERT_TRUE(reader.Read(file, packet)) << "not in the packet data layout at packet " << packets;
    const std::vector<uint8_t> bytes(packet.Data, packet.Data + packet.Length);
    const int row = answeringRow(bytes);
    EXPECT_NE(row, 0) << "recorded packet " << packets << " is answered by no trigger";
    // A trigger row without a packet would toggle RTS and DTR instead of answering.
    if (row != 0) {
      EXPECT_FALSE(project.Rows[row].Packet.empty());
    }
    ++packets;
  }
  EXPECT_GE(packets, 2);
}

}  // namespace
}  // namespace tapwise
