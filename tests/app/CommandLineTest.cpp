#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace tapwise {
namespace {

TEST(CommandLine, OptionsAreCaseInsensitiveUnknownOnesIgnoredOthersAreProjects) {
  CommandLine line = ParseCommandLine({"-HEADLESS", "-nohs", "-Port:3=/dev/ttyAMA0", "-frobnicate", "a.tw",
                                       "-PAIR:1,2", "-NoSplash", "b.TW", "-List-Ports", ""});
  EXPECT_TRUE(line.Headless);
  EXPECT_TRUE(line.NoHandshake);
  EXPECT_TRUE(line.NoSplash);
  EXPECT_TRUE(line.ListPorts);
  EXPECT_FALSE(line.Help);
  EXPECT_FALSE(line.Version);
  EXPECT_EQ(line.PortOptions, (std::vector<std::string>{"-Port:3=/dev/ttyAMA0", "-PAIR:1,2"}));
  EXPECT_EQ(line.ProjectFiles, (std::vector<std::string>{"a.tw", "b.TW"}));
}

TEST(CommandLine, HelpAndVersionSpellings) {
  for (const char* help : {"--help", "-h", "-?", "-HELP"}) EXPECT_TRUE(ParseCommandLine({help}).Help) << help;
  for (const char* version : {"--version", "-Version"}) EXPECT_TRUE(ParseCommandLine({version}).Version) << version;
  EXPECT_FALSE(ParseCommandLine({"-headless"}).Help);
}

}  // namespace
}  // namespace tapwise
