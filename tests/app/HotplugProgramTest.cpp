// The headless program tells on standard error when an adapter it was given
// comes, goes and comes back, and shows its bytes again once it is back.

#include <gtest/gtest.h>
#include <signal.h>

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

}  // namespace
}  // namespace tapwise
