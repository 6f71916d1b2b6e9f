#include "app/SplashChoice.h"

#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace tapwise {
namespace {

TEST(SplashChoice, OnlyTheWholeDashedWordInAnyCaseOrNoScreenSkipsTheSplash) {
  struct Case {
    std::vector<std::string> args;
    const char* platform;
    bool splash;
  };
  const Case cases[] = {
      {{}, "xcb", true},
      {{"-nosplash"}, "xcb", false},
      {{"-NOSPLASH"}, "wayland", false},
      {{"-NoSplash", "a.TW"}, "xcb", false},
      // Without the dash it names a project file, and the splash shows.
      {{"nosplash"}, "xcb", true},
      {{"-nosplashes"}, "xcb", true},
      // Every option takes two dashes too; three are no option.
      {{"--nosplash"}, "xcb", false},
      {{"---nosplash"}, "xcb", true},
      // Nobody could close it there.
      {{}, "offscreen", false},
      {{}, "minimal", false},
      {{"-headless"}, "xcb", false},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    EXPECT_EQ(SplashWanted(line, c.platform), c.splash) << (c.args.empty() ? "" : c.args[0]) << " on " << c.platform;
  }
  EXPECT_EQ(ParseCommandLine({"nosplash"}).ProjectFiles, std::vector<std::string>{"nosplash"});
}

}  // namespace
}  // namespace tapwise
