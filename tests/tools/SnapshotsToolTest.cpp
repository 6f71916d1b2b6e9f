// tapwise-snapshots run as a user runs it: an option is never taken for the
// output folder, and a real run draws every picture the README shows.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

TEST(SnapshotsTool, OptionsAreNeverTakenForTheOutputFolder) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  const std::string usage = "usage: tapwise-snapshots OUTDIR\n";
  const Case cases[] = {
      {{"--help"}, 0, usage, ""},
      {{"-h"}, 0, usage, ""},
      {{"--out"}, 2, "", "tapwise-snapshots: unknown option --out\n" + usage},
      {{"-x"}, 2, "", "tapwise-snapshots: unknown option -x\n" + usage},
      {{"-"}, 2, "", "tapwise-snapshots: unknown option -\n" + usage},
      {{}, 2, "", usage},
      {{""}, 2, "", usage},
      {{"a", "b"}, 2, "", usage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
    // Run in a folder of its own, where a folder it should not make would appear.
    TempDir dir;
    std::vector<std::string> argv = {"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", dir.Path(), TAPWISE_SNAPSHOTS};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ChildProcess tool(argv);
    EXPECT_EQ(tool.Wait(), c.status) << tool.Stderr();
    // The usage line first, then what the tool does.
    EXPECT_EQ(tool.Stdout().substr(0, c.out.size()), c.out);
    EXPECT_EQ(tool.Stderr().substr(0, c.err.size()), c.err);
    EXPECT_EQ(c.out.empty(), tool.Stdout().empty());
    for (const std::string& arg : c.args) {
      if (!arg.empty()) {
        EXPECT_FALSE(Exists(dir / arg)) << "made a folder named " << arg;
      }
    }
  }
}

// The README's pictures are copied from the tool's output by
// scripts/docs-images; each must be one the tool draws.
TEST(SnapshotsTool, DrawsEveryPictureTheReadmeShows) {
  std::ifstream readme(std::string(TAPWISE_SOURCE_DIR) + "/README.md");
  ASSERT_TRUE(readme.good());
  std::stringstream text;
  text << readme.rdbuf();
  const std::string all = text.str();
  std::set<std::string> shown;
  const std::regex picture(R"(docs/images/([A-Za-z0-9._-]+\.png))");
  for (auto it = std::sregex_iterator(all.begin(), all.end(), picture); it != std::sregex_iterator(); ++it) {
    shown.insert((*it)[1]);
  }
  ASSERT_FALSE(shown.empty());

  TempDir dir;
  ChildProcess tool({TAPWISE_SNAPSHOTS, dir / "out"});
  ASSERT_EQ(tool.Wait(std::chrono::seconds(60)), 0) << tool.Stderr();
  for (const std::string& name : shown) {
    EXPECT_TRUE(Exists(dir / ("out/" + name))) << name << " is shown by README.md but not drawn";
  }
}

}  // namespace
}  // namespace tapwise
