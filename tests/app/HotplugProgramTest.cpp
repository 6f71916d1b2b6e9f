// The headless program tells on standard error when an adapter it was given
// comes, goes and comes back, and shows its bytes again once it is back.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/PtyAdapter.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

TEST(HotplugProgram, AdapterThatComesGoesAndComesBackIsReportedAndShown) {
  TempDir dir;
  PtyAdapter adapter(dir / "adapter");
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=pty", "-port:2=" + adapter.Link()});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM2 " + adapter.Link() + ": absent\n"))) << tapwise.Stderr();

  for (const char* change : {"new", "gone", "back"}) {
    if (adapter.Plugged()) {
      adapter.Unplug();
    } else {
      ASSERT_TRUE(adapter.Plug());
    }
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM2 " + adapter.Link() + " " + change + "\n")))
        << tapwise.Stderr();
  }
  ASSERT_TRUE(adapter.Wire().WriteAll({'O', 'K'}));
  ASSERT_TRUE(tapwise.ReadStdoutUntil(Contains("4F 4B"))) << tapwise.Stdout();
  EXPECT_NE(tapwise.Stdout().find("COM2"), std::string::npos) << tapwise.Stdout();
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(HotplugProgram, AWatchedPathThatComesBackAsNoTtyIsToldOnce) {
  TempDir dir;
  struct Kind {
    int Port;
    std::string Path;
    std::function<bool(const std::string&)> Make;
  };
  const Kind kinds[] = {
      {2, dir / "file", [](const std::string& path) { TempDir::WriteFile(path, "notes"); return true; }},
      {3, dir / "folder", [](const std::string& path) { return mkdir(path.c_str(), 0700) == 0; }},
      {4, dir / "fifo", [](const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }},
  };
  PtyAdapter adapter(dir / "adapter");
  std::vector<std::string> argv{TAPWISE_PROGRAM, "-headless", "-port:1=pty", "-port:5=" + adapter.Link()};
  for (const Kind& kind : kinds) argv.push_back("-port:" + std::to_string(kind.Port) + "=" + kind.Path);
  ChildProcess tapwise(argv);
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM4 " + kinds[2].Path + ": absent\n"))) << tapwise.Stderr();

  for (const Kind& kind : kinds) {
    ASSERT_TRUE(kind.Make(kind.Path)) << kind.Path;
    ASSERT_TRUE(tapwise.ReadStderrUntil(
        Contains("COM" + std::to_string(kind.Port) + " " + kind.Path + ": not a tty\n")))
        << tapwise.Stderr();
  }
  // More changes in the folder look at every path again, and say nothing new.
  for (const Kind& kind : kinds) ASSERT_EQ(chmod(kind.Path.c_str(), 0644), 0);
  ASSERT_TRUE(adapter.Plug());
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM5 " + adapter.Link() + " new\n"))) << tapwise.Stderr();
  EXPECT_EQ(Count(tapwise.Stderr(), ": not a tty\n"), 3u) << tapwise.Stderr();
  tapwise.Signal(SIGTERM);
  EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
}

}  // namespace
}  // namespace tapwise
