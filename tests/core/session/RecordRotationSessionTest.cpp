// How recordings rotate, as the session keeps it: an edit of the project,
// saved in the project file and read back, overridden by -rotate: and -append
// on the command line, and the way the Record button's recordings and the
// command line's recording name their files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/session/MonitorSession.h"
#include "support/PtyPorts.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

namespace fs = std::filesystem;

class ChangeLog : public SessionListener {
 public:
  void SessionChanged(SessionChange change) override { Changes.push_back(change); }
  std::vector<SessionChange> Changes;
};

// A started session over one pseudo-terminal port.
struct OnePort : PtyPorts {
  MonitorSession session{opener};
  explicit OnePort(MonitorOptions options = {}) {
    AddPort(1);
    options.LiveFeed = false;
    start = session.Start(options);
  }
  Result start = Result::Success();
};

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

const RotationSettings EveryHourKeepTen{0, 3600, 10};

TEST(RecordRotationSession, AnEditMarksTheProjectAndIsSavedAndReadBack) {
  TempDir dir;
  const std::string project = dir / "rig.TW";
  {
    OnePort rig;
    ASSERT_TRUE(Succeeded(rig.start));
    ChangeLog log;
    rig.session.AddListener(log);
    rig.session.SetRecordRotation(EveryHourKeepTen);
    EXPECT_TRUE(rig.session.Project().ConfigChanged());
    EXPECT_EQ(log.Changes, std::vector<SessionChange>{SessionChange::RecordRotation});
    // The same again is no edit.
    rig.session.SetRecordRotation(EveryHourKeepTen);
    EXPECT_EQ(log.Changes.size(), 1u);
    rig.session.RemoveListener(log);
    ASSERT_TRUE(Succeeded(rig.session.WriteProject(project)));
  }
  const std::string text = TempDir::ReadFile(project);
  EXPECT_NE(text.find("\r\nROTATE:every=1h,10\r\n"), std::string::npos) << text;

  MonitorOptions options;
  options.ProjectFiles = {project};
  OnePort reader(options);
  ASSERT_TRUE(Succeeded(reader.start));
  EXPECT_EQ(reader.session.RecordRotation(), EveryHourKeepTen);
  EXPECT_FALSE(reader.session.Project().ConfigChanged());
  // A project without the line records to one file again.
  reader.session.SetRecordRotation({});
  ASSERT_TRUE(Succeeded(reader.session.WriteProject(dir / "plain.TW")));
  EXPECT_EQ(TempDir::ReadFile(dir / "plain.TW").find("ROTATE"), std::string::npos);
  ChangeLog log;
  reader.session.AddListener(log);
  ASSERT_TRUE(reader.session.ReadProject(project).Read());
  EXPECT_EQ(reader.session.RecordRotation(), EveryHourKeepTen);
  EXPECT_EQ(log.Changes, std::vector<SessionChange>{SessionChange::RecordRotation});
  ASSERT_TRUE(reader.session.ReadProject(dir / "plain.TW").Read());
  EXPECT_EQ(reader.session.RecordRotation(), RotationSettings{});
  reader.session.RemoveListener(log);
}

TEST(RecordRotationSession, TheCommandLineWinsOverTheProject) {
  TempDir dir;
  const std::string project = dir / "rig.TW";
  {
    OnePort rig;
    rig.session.SetRecordRotation(EveryHourKeepTen);
    ASSERT_TRUE(Succeeded(rig.session.WriteProject(project)));
  }
  struct Case {
    const char* name;
    RotationSettings rotation;
    bool append;
    RotationSettings kept;  // what the session keeps (and would save)
    bool stamped;           // whether the recording's file is a stamped one
  };
  const Case cases[] = {
      {"the project's", {}, false, EveryHourKeepTen, true},
      {"-rotate:", {4096, 0, 3}, false, {4096, 0, 3}, true},
      {"-append", {}, true, EveryHourKeepTen, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = dir / c.name;
    fs::create_directory(folder);
    MonitorOptions options;
    options.ProjectFiles = {project};
    options.RecordFormat = RecorderState::RecordRaw;
    options.RecordPath = folder + "/line.bin";
    options.Rotation = c.rotation;
    options.Append = c.append;
    OnePort rig(options);
    ASSERT_TRUE(Succeeded(rig.start));
    EXPECT_EQ(rig.session.RecordRotation(), c.kept);
    const std::vector<std::string> names = NamesIn(folder);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0] != "line.bin", c.stamped) << names[0];
    EXPECT_EQ(rig.session.RecordingPath(), folder + "/" + names[0]);
  }
}

TEST(RecordRotationSession, TheRecordButtonsRecordingsRotateFromTheNextOneOn) {
  TempDir dir;
  OnePort rig;
  ASSERT_TRUE(Succeeded(rig.start));
  Recorder& recorder = rig.session.GetRecorder();
  // Filter index 2: a raw file, named as chosen.
  ASSERT_TRUE(Succeeded(recorder.StartRecording(dir / "one.bin", 2)));
  rig.session.SetRecordRotation({1 << 20, 0, 0});
  // The recording that runs keeps its one file.
  EXPECT_EQ(recorder.RecordingPath(), dir / "one.bin");
  recorder.Stop();
  ASSERT_TRUE(Succeeded(recorder.StartRecording(dir / "two.bin", 2)));
  EXPECT_EQ(recorder.RecordingPath().rfind(dir / "two-", 0), 0u) << recorder.RecordingPath();
  recorder.Stop();
}

}  // namespace
}  // namespace tapwise
