// The project file: what the writer puts in it, what the reader makes of any
// bytes, the two fixed layouts, and saving that never leaves a short file.

#include "core/config/ProjectFile.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <random>

#include "core/config/ProjectState.h"
#include "core/userpackets/PacketCompiler.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

ProjectData Changed() {
  ProjectData data;
  data.Ports[1] = {4800, ParityOdd, 7, StopTwo, 1, 0};
  data.Ports[10].BaudRate = 115200;
  data.Ports[64].DTR = 1;
  data.Ports[128] = {300, ParitySpace, 5, StopOneAndHalf, 1, 1};
  data.HexDisplay = false;
  data.PacketGap = 4995;
  data.Play = {0, 100, 1, 0x7E, 300};
  data.Rows[1] = {"01 02 $9", ""};
  data.Rows[17] = {"", "\"OK\""};
  data.Rows[60] = {"\"last\xE9\"", "FF"};
  data.Names[1] = "Meter";
  data.Names[128] = "Z\xC3\xA4hler 2";
  data.Rotation = {100ULL << 20, 0, 10};
  return data;
}

TEST(ProjectFile, DefaultsWriteTheHeaderAndTheOptionsOnly) {
  EXPECT_EQ(FormatProjectText(ProjectData{}),
            ";TAPWISE PROJECT\r\nC11\r\nC21\r\nC30A\r\nC400\r\nC501\r\nC60\r\nC710\r\n");
}

TEST(ProjectFile, WritesChangedSettingsInOrder) {
  EXPECT_EQ(FormatProjectText(Changed()),
            ";TAPWISE PROJECT\r\n"
            "S0114800\r\nS0121\r\nS0137\r\nS0142\r\nS0151\r\n"
            "S0A1115200\r\n"
            "S4061\r\n"
            "S801300\r\nS8024\r\nS8035\r\nS8041\r\nS8051\r\nS8061\r\n"
            "S01NMeter\r\nS80NZ\xC3\xA4hler 2\r\n"
            "C10\r\nC20\r\nC364\r\nC47E\r\nC52C\r\nC61\r\nC74995\r\nC8300\r\n"
            "ROTATE:100M,10\r\n"
            "UP0101 02 $9\r\nUP3C\"last\xE9\"\r\n"
            "UT11\"OK\"\r\nUT3CFF\r\n");
}

TEST(ProjectFile, ANameLineLeavesThePortsSettingsAlone) {
  // A reader that takes only the digits passes the name line over: the
  // settings lines of the same port around it are read as they were.
  ProjectData data;
  ReadProjectBytes(";TAPWISE PROJECT\r\nS0214800\r\nS02N19200 Meter\r\nS0222\r\nS02Xfuture\r\n", data);
  EXPECT_EQ(data.Ports[2].BaudRate, 4800u);
  EXPECT_EQ(data.Ports[2].Parity, ParityEven);
  EXPECT_EQ(data.Names[2], "19200 Meter");
  EXPECT_EQ(data.Ports[3], PortSettings{});
  ReadProjectBytes(";TAPWISE PROJECT\r\nS02N\r\n", data);
  EXPECT_EQ(data.Names[2], "");
}

TEST(ProjectFile, TheRotationLineIsReadAloneAndOnlyWhenItReads) {
  // The line begins with a letter of no other line, so a reader that knows
  // only C, S and U lines reads the rest as if it were not there; this one
  // takes what -rotate: takes and nothing else.
  const std::string around = ";TAPWISE PROJECT\r\nS0214800\r\nC74995\r\n";
  struct Row {
    const char* line;
    RotationSettings rotation;
  };
  const Row rows[] = {
      {"ROTATE:every=1h", {0, 3600, 0}},
      {"ROTATE:4K,3", {4096, 0, 3}},
      {"ROTATE:", {}},
      {"ROTATE:100X", {}},
      {"ROTATE:every=0s", {}},
      {"ROTATE 100M", {}},
      {"RIGHT:100M", {}},
  };
  ProjectData plain;
  ReadProjectBytes(around, plain);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    ProjectData data;
    // A rotation held from before is no reason to keep one the file lacks.
    data.Rotation = {1, 0, 0};
    ReadProjectBytes(around + row.line + "\r\n", data);
    EXPECT_EQ(data.Rotation, row.rotation);
    data.Rotation = plain.Rotation;
    EXPECT_EQ(data, plain);
  }
}

TEST(ProjectFile, EveryFieldRoundTrips) {
  const ProjectData written = Changed();
  ProjectData read;
  ReadProjectBytes(FormatProjectText(written), read);
  EXPECT_EQ(read, written);
  // The options of a default file overwrite every changed option.
  ReadProjectBytes(FormatProjectText(ProjectData{}), read);
  EXPECT_EQ(read, ProjectData{});
}

TEST(ProjectFile, ReaderTakesLinesAsTheyCome) {
  struct Row {
    const char* Line;
    void (*Check)(const ProjectData&);
  };
  const Row rows[] = {
      {"S0A14800", [](const ProjectData& d) { EXPECT_EQ(d.Ports[10].BaudRate, 4800u); }},
      {"S0a1 ,57600x", [](const ProjectData& d) { EXPECT_EQ(d.Ports[10].BaudRate, 57600u); }},
      {"S0A1abc", [](const ProjectData& d) { EXPECT_EQ(d.Ports[10].BaudRate, 0u); }},
      {"S8056", [](const ProjectData& d) { EXPECT_EQ(d.Ports[128].RTS, 0); }},
      {"S8057", [](const ProjectData& d) { EXPECT_EQ(d.Ports[128].RTS, 1); }},
      {"S0122", [](const ProjectData& d) { EXPECT_EQ(d.Ports[1].Parity, ParityEven); }},
      // Ports outside 1..128, settings other than 1..6 and indexes that are
      // not hex change nothing.
      {"S8111200", [](const ProjectData& d) { EXPECT_EQ(d, ProjectData{}); }},
      {"S0011200", [](const ProjectData& d) { EXPECT_EQ(d, ProjectData{}); }},
      {"S0171", [](const ProjectData& d) { EXPECT_EQ(d, ProjectData{}); }},
      {"S0G11200", [](const ProjectData& d) { EXPECT_EQ(d, ProjectData{}); }},
      {"C1", [](const ProjectData& d) { EXPECT_FALSE(d.HexDisplay); }},
      {"C1A", [](const ProjectData& d) { EXPECT_TRUE(d.HexDisplay); }},
      {"C61", [](const ProjectData& d) { EXPECT_EQ(d.Play.Repeat, 1); }},
      {"C3ff", [](const ProjectData& d) { EXPECT_EQ(d.Play.PlayGap, 0xFF); }},
      {"C3G1", [](const ProjectData& d) { EXPECT_EQ(d.Play.PlayGap, 0x01); }},
      {"C52C", [](const ProjectData& d) { EXPECT_EQ(d.Play.TerminatorCount, 44); }},
      {"C7 , 250", [](const ProjectData& d) { EXPECT_EQ(d.PacketGap, 250); }},
      {"C7x5", [](const ProjectData& d) { EXPECT_EQ(d.PacketGap, 0); }},
      {"C7999999", [](const ProjectData& d) { EXPECT_EQ(d.PacketGap, 65535); }},
      {"C865536", [](const ProjectData& d) { EXPECT_EQ(d.Play.TerminatorCount, 1); }},
      {"C865535", [](const ProjectData& d) { EXPECT_EQ(d.Play.TerminatorCount, 65535); }},
      {"C9", [](const ProjectData& d) { EXPECT_EQ(d, ProjectData{}); }},
      {"UP01", [](const ProjectData& d) { EXPECT_EQ(d, ProjectData{}); }},
      {"UP3C  x ", [](const ProjectData& d) { EXPECT_EQ(d.Rows[60].Packet, "  x "); }},
      {"UT0a41", [](const ProjectData& d) { EXPECT_EQ(d.Rows[10].Trigger, "41"); }},
      {"UP3D41", [](const ProjectData& d) { EXPECT_EQ(d, ProjectData{}); }},
      {"UT0041", [](const ProjectData& d) { EXPECT_EQ(d, ProjectData{}); }},
      {"up0141", [](const ProjectData& d) { EXPECT_EQ(d, ProjectData{}); }},
      // A byte below 32 ends the line: the rest is a line of its own.
      {"UP01\"A\tB\"\r\nUP02x", [](const ProjectData& d) {
         EXPECT_EQ(d.Rows[1].Packet, "\"A");
         EXPECT_EQ(d.Rows[2].Packet, "x");
       }},
      {"UP01\"A\x01S0A14800", [](const ProjectData& d) { EXPECT_EQ(d.Ports[10].BaudRate, 4800u); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Line);
    ProjectData data;
    ReadProjectBytes(row.Line, data);
    row.Check(data);
  }
}

TEST(ProjectFile, ReadingStartsFromDefaultPortsAndTextsButKeepsOptions) {
  ProjectData data = Changed();
  ReadProjectBytes("UP0305\r\n", data);
  ProjectData expected = Changed();
  expected.Ports.fill(PortSettings{});
  expected.Names.fill(std::string());  // names belong to the ports
  expected.Rows.fill(UserPacketRow{});
  expected.Rows[3].Packet = "05";
  // Written only when recordings rotate: a file without the line has none.
  expected.Rotation = RotationSettings{};
  EXPECT_EQ(data, expected);
}

TEST(ProjectFile, TextsWithControlBytesSurviveASaveWithTheirBytes) {
  ProjectData data;
  data.Rows[1].Packet = "01\t02 \"A\tB\r\n\" 03";
  data.Rows[2].Trigger = "\"x\x01";
  ProjectData read;
  ReadProjectBytes(FormatProjectText(data), read);
  for (auto [written, back] : {std::pair{data.Rows[1].Packet, read.Rows[1].Packet},
                               std::pair{data.Rows[2].Trigger, read.Rows[2].Trigger}}) {
    CalcState calc;
    uint8_t expected[PacketTextCapacity];
    uint8_t got[PacketTextCapacity];
    const int32_t count = CompilePacketText(written, expected, PacketTextCapacity, calc);
    ASSERT_GT(count, 0);
    ASSERT_EQ(CompilePacketText(back, got, PacketTextCapacity, calc), count) << back;
    EXPECT_EQ(std::vector<uint8_t>(got, got + count), std::vector<uint8_t>(expected, expected + count)) << back;
  }
}

TEST(ProjectFile, AnyBytesLoad) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(random() % 3000, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 4 ? "SCUP0123456789ABCDEF\r\n"[random() % 22] : random());
    ProjectData data;
    ReadProjectBytes(bytes, data);
    for (const UserPacketRow& row : data.Rows) {
      for (char c : row.Packet + row.Trigger) EXPECT_GE(static_cast<unsigned char>(c), 32);
    }
  }
}

// A fixed-layout file: port records, then the option block.
std::string FixedLayout(bool wide) {
  const size_t recordSize = wide ? 12 : 8;
  std::string bytes(wide ? ProjectFixedLayoutSize : ProjectFixedLayoutShortSize, '\0');
  for (size_t n = 0; n < 128; ++n) {
    const size_t at = n * recordSize;
    const uint32_t rate = n == 2 ? (wide ? 115200 : 19200) : 9600;
    for (size_t i = 0; i < (wide ? 4 : 2); ++i) bytes[at + i] = static_cast<char>(rate >> (8 * i));
    const size_t rest = at + (wide ? 4 : 2);
    bytes[rest] = n == 2 ? 2 : 0;
    bytes[rest + 1] = 8;
    bytes[rest + 2] = n == 2 ? 2 : 0;
    bytes[rest + 3] = n == 127 ? 1 : 0;
    bytes[rest + 4] = n == 127 ? 7 : 0;
    bytes[rest + 5] = '\x55';  // filler
  }
  const size_t options = 128 * recordSize;
  bytes[options] = 0;
  bytes[options + 1] = 1;
  bytes[options + 2] = 25;
  bytes[options + 3] = '\x0D';
  auto text = [&](size_t at, std::string_view value, uint8_t length) {
    bytes[at] = static_cast<char>(length);
    bytes.replace(at + 1, value.size(), value);
  };
  text(options + 4, "01 02", 5);
  text(options + 4 + 23 * 256, "\"last\" and more", 6);  // the length counts, not the rest
  text(options + 4 + 24 * 256 + 256, "AA", 2);
  return bytes;
}

TEST(ProjectFile, ReadsBothFixedLayouts) {
  for (bool wide : {true, false}) {
    SCOPED_TRACE(wide ? "13828 bytes" : "13316 bytes");
    ProjectData data = Changed();
    ReadProjectBytes(FixedLayout(wide), data);
    ProjectData expected;
    expected.Ports[3] = {wide ? 115200u : 19200u, ParityEven, 8, StopTwo, 0, 0};
    expected.Ports[128].RTS = 1;
    expected.Ports[128].DTR = 1;
    expected.HexDisplay = false;
    expected.Play = {1, 25, 1, 0x0D, static_cast<uint16_t>(wide ? 300 : 1)};
    expected.PacketGap = 4995;  // kept, as is Repeat (and the count in the wide form)
    expected.Rows[1].Packet = "01 02";
    expected.Rows[24].Packet = "\"last\"";
    expected.Rows[2].Trigger = "AA";
    EXPECT_EQ(data, expected);
  }
  // The size decides, whatever the bytes are.
  ProjectData data;
  ReadProjectBytes(std::string(ProjectFixedLayoutSize, 'C'), data);
  EXPECT_EQ(data.Ports[1].BaudRate, 0x43434343u);
  ReadProjectBytes(std::string(ProjectFixedLayoutSize + 1, 'C'), data);
  EXPECT_EQ(data.Ports[1].BaudRate, 9600u);
}

TEST(ProjectFile, TextNeverTakesTheSizeOfAFixedLayout) {
  for (size_t size : {ProjectFixedLayoutSize, ProjectFixedLayoutShortSize}) {
    ProjectData data = Changed();
    const size_t plain = FormatProjectText(data).size();
    data.Rows[30].Packet = "41";
    data.Rows[30].Packet += std::string(size - plain - 4 - 2 - 2, 'A');
    const std::string text = FormatProjectText(data);
    EXPECT_NE(text.size(), size);
    ProjectData read;
    ReadProjectBytes(text, read);
    EXPECT_EQ(read, data);
  }
}

TEST(ProjectState, NamesProjectFilesWithTheirExtension) {
  for (auto [chosen, name] : std::vector<std::pair<const char*, const char*>>{
           {"proj", "proj.TW"}, {"/home/u/proj.tw", "/home/u/proj.tw"}, {"proj.Tw", "proj.Tw"},
           {"proj.txt", "proj.TW"}, {"/a/b.c/proj", "/a/b.c/proj.TW"}, {".tw", ".tw.TW"}}) {
    EXPECT_EQ(ProjectFileName(chosen), name) << chosen;
  }
  ProjectState state;
  EXPECT_EQ(state.DialogFileName(), "Default.TW");
  EXPECT_EQ(state.ConfigName(), "Default.TW");
}

TEST(ProjectState, ReadsAndSavesThroughFiles) {
  TempDir dir;
  ProjectState state;
  ProjectData data = Changed();
  state.SetConfigChanged();
  EXPECT_TRUE(Succeeded(state.WriteProject(dir / "job", data)));
  EXPECT_EQ(state.ConfigName(), dir / "job.TW");
  EXPECT_FALSE(state.ConfigChanged());
  EXPECT_EQ(TempDir::ReadFile(dir / "job.TW"), FormatProjectText(data));

  ProjectData read;
  state.SetConfigChanged();
  ProjectRead result = state.ReadProject(dir / "job.tw", read);
  // On this system job.tw is not job.TW: nothing there, and nothing said.
  EXPECT_FALSE(result.Read());
  EXPECT_TRUE(result.Missing);
  EXPECT_TRUE(Succeeded(result.Outcome));
  EXPECT_FALSE(state.ConfigChanged());
  EXPECT_EQ(read, ProjectData{});
  result = state.ReadProject(dir / "job", read);
  EXPECT_TRUE(result.Read());
  EXPECT_FALSE(result.Missing);
  EXPECT_TRUE(Succeeded(result.Outcome));
  EXPECT_EQ(read, data);

  // A name that cannot be read is reported, and the data stay as they were.
  std::filesystem::create_directory(dir / "folder.TW");
  result = state.ReadProject(dir / "folder.TW", read);
  EXPECT_FALSE(result.Read());
  EXPECT_FALSE(result.Missing);
  EXPECT_TRUE(FailedWith(result.Outcome,
                         "\\b\\1Project not read\\b\\ncannot read " + dir / "folder.TW" + ": it is a folder"));
  EXPECT_EQ(read, data);
}

// Only NAME.TW is looked for; a file named under another extension is
// either read as its NAME.TW or, when only the file itself exists, refused
// as not a project rather than reported missing.
TEST(ProjectState, AFileOfAnotherKindIsNotAProject) {
  TempDir dir;
  TempDir::WriteFile(dir / "log.DAT", "recorded bytes\r\n");
  ProjectState state;
  ProjectData read = Changed();
  ProjectRead result = state.ReadProject(dir / "log.DAT", read);
  EXPECT_FALSE(result.Read());
  EXPECT_FALSE(result.Missing);
  EXPECT_TRUE(FailedWith(result.Outcome, "\\b\\1Project not read\\b\\n" + dir / "log.DAT" +
                                             " is not a project file (a project file's name ends in .TW)"));
  EXPECT_EQ(state.ConfigName(), dir / "log.TW");
  EXPECT_EQ(read, Changed());

  // Neither there: missing, as before, and nothing to say.
  result = state.ReadProject(dir / "none.DAT", read);
  EXPECT_TRUE(result.Missing);
  EXPECT_TRUE(Succeeded(result.Outcome));

  // With a project beside it, that project is read.
  const ProjectData project = ProjectData{};
  ASSERT_TRUE(Succeeded(state.WriteProject(dir / "log.TW", project)));
  result = state.ReadProject(dir / "log.DAT", read);
  EXPECT_TRUE(result.Read());
  EXPECT_EQ(read, project);
}

TEST(ProjectState, AFailedSaveLeavesTheOldFileAndSaysWhy) {
  TempDir dir;
  const std::string path = dir / "job.TW";
  const std::string oldBytes = FormatProjectText(ProjectData{});
  TempDir::WriteFile(path, oldBytes);
  ProjectData data = Changed();
  data.Rows[5].Packet = std::string(4000, 'A');
  ProjectState state;
  state.SetConfigChanged();

  // A file size limit makes the kernel refuse the write part way through, as
  // a full disk would, even for a superuser.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = 1000;
  void (*previous)(int) = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  const Result written = state.WriteProject(path, data);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previous);

  EXPECT_FALSE(written);
  const std::string& message = written.Message();
  EXPECT_TRUE(message.starts_with("\\b\\1Project not saved\\b\\n")) << message;
  EXPECT_NE(message.find(path), std::string::npos) << message;
  EXPECT_NE(message.find("large"), std::string::npos) << message;
  EXPECT_TRUE(state.ConfigChanged());
  EXPECT_EQ(TempDir::ReadFile(path), oldBytes);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
}  // namespace tapwise
