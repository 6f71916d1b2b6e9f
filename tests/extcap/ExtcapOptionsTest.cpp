// The arguments the packet analyser passes: each query, the capture with
// its configuration, and what is refused with which message.

#include "extcap/ExtcapOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tapwise {
namespace {

TEST(ExtcapOptions, TheAnalysersCallsAreUnderstood) {
  struct Case {
    std::vector<std::string> Args;
    ExtcapMode Mode;
    std::string Interface;
    std::string Fifo;
  };
  const std::vector<Case> cases = {
      {{"--extcap-interfaces", "--extcap-version=4.0"}, ExtcapMode::Interfaces, "", ""},
      {{"--extcap-dlts", "--extcap-interface", "tapwise-all"}, ExtcapMode::Dlts, "tapwise-all", ""},
      {{"--extcap-config", "--extcap-interface=tapwise-12-com3"}, ExtcapMode::Config, "tapwise-12-com3", ""},
      {{"--capture", "--extcap-interface", "tapwise-com1", "--fifo", "/tmp/w x"},
       ExtcapMode::Capture, "tapwise-com1", "/tmp/w x"},
      // The analyser's own arguments, with and without values, are no problem.
      {{"--capture", "--extcap-interface", "tapwise-all", "--fifo", "f", "--extcap-capture-filter", "port 1",
        "--debug"},
       ExtcapMode::Capture, "tapwise-all", "f"},
  };
  for (const Case& c : cases) {
    const ExtcapOptions options = ParseExtcapArguments(c.Args);
    EXPECT_TRUE(options.Problems.empty()) << c.Args[0] << ": " << options.Problems[0];
    EXPECT_TRUE(options.Ignored.empty()) << c.Args[0] << ": " << options.Ignored[0];
    EXPECT_EQ(options.Mode, c.Mode) << c.Args[0];
    EXPECT_EQ(options.Interface, c.Interface) << c.Args[0];
    EXPECT_EQ(options.Fifo, c.Fifo) << c.Args[0];
  }
}

TEST(ExtcapOptions, TheConfigurationArgumentsTakeEffect) {
  const ExtcapOptions options = ParseExtcapArguments(
      {"--capture", "--extcap-interface", "tapwise-all", "--fifo", "f", "--ports", "40,42-43", "--map",
       "40=/dev/pts/3 41=/dev/ttyUSB0,115200,8N1;42=pty", "--line=19200,7E1", "--gap", "25", "--linktype", "250"});
  ASSERT_TRUE(options.Problems.empty()) << options.Problems[0];
  EXPECT_TRUE(options.PortsGiven);
  EXPECT_TRUE(options.Ports.test(40) && options.Ports.test(42) && options.Ports.test(43));
  EXPECT_FALSE(options.Ports.test(41));
  EXPECT_EQ(options.PortOptions,
            (std::vector<std::string>{"-port:40=/dev/pts/3", "-port:41=/dev/ttyUSB0,115200,8N1", "-port:42=pty"}));
  ASSERT_TRUE(options.LineGiven);
  EXPECT_EQ(options.Line.BaudRate, 19200u);
  EXPECT_EQ(options.Line.DataBits, 7);
  EXPECT_EQ(options.LineText, "19200,7E1");
  EXPECT_EQ(options.Gap, 25);
  EXPECT_TRUE(options.GapGiven);
  EXPECT_EQ(options.LinkType, 250);
}

// A field the user left empty in the capture dialog comes as an empty
// value: it means the default, not a mistake.
TEST(ExtcapOptions, EmptyFieldsKeepTheDefaults) {
  const ExtcapOptions options = ParseExtcapArguments(
      {"--capture", "--extcap-interface", "tapwise-all", "--fifo", "f", "--ports", "", "--map", "", "--line", ""});
  EXPECT_TRUE(options.Problems.empty());
  EXPECT_FALSE(options.PortsGiven);
  EXPECT_TRUE(options.PortOptions.empty());
  EXPECT_FALSE(options.LineGiven);
  EXPECT_EQ(options.Gap, 10);
  EXPECT_EQ(options.LinkType, 147);
}

TEST(ExtcapOptions, MistakesAreNamed) {
  struct Case {
    std::vector<std::string> Args;
    std::string Problem;
  };
  const std::vector<Case> cases = {
      {{"--capture", "--fifo", "f"}, "--capture needs --extcap-interface"},
      {{"--capture", "--extcap-interface", "tapwise-all"}, "--capture needs --fifo"},
      {{"--extcap-dlts"}, "--extcap-dlts needs --extcap-interface"},
      {{"--extcap-config", "--extcap-interface"}, "--extcap-interface needs a value"},
      {{"--extcap-interfaces", "--extcap-dlts", "--extcap-interface", "x"},
       "give one of --extcap-interfaces, --extcap-dlts, --extcap-config and --capture"},
      {{"--extcap-interfaces", "--gap", "4"}, "--gap takes 5 to 5000 (milliseconds)"},
      {{"--extcap-interfaces", "--gap", "ten"}, "--gap takes 5 to 5000 (milliseconds)"},
      {{"--extcap-interfaces", "--linktype", "65536"}, "--linktype takes a link type from 0 to 65535"},
      {{"--extcap-interfaces", "--ports", "0"}, "--ports 0: "},
      {{"--extcap-interfaces", "--line", "11520x"}, "--line 11520x: "},
  };
  for (const Case& c : cases) {
    const ExtcapOptions options = ParseExtcapArguments(c.Args);
    ASSERT_FALSE(options.Problems.empty()) << c.Problem;
    EXPECT_EQ(options.Problems[0].substr(0, c.Problem.size()), c.Problem);
  }
  const ExtcapOptions unknown = ParseExtcapArguments({"--extcap-interfaces", "--colour"});
  EXPECT_TRUE(unknown.Problems.empty());
  EXPECT_EQ(unknown.Ignored, std::vector<std::string>{"--colour"});
}

}  // namespace
}  // namespace tapwise
