// The interfaces' names and what is listed: names that survive the round
// trip and hold no '/', monitors asked at once, and a listing that opens no
// port.

#include "extcap/ExtcapInterface.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "extcap/ExtcapQueries.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

TEST(ExtcapInterface, NamesGoAndComeBack) {
  const std::vector<std::pair<ExtcapInterfaceName, std::string>> cases = {
      {{0, 0}, "tapwise-all"},
      {{0, 1}, "tapwise-com1"},
      {{0, 128}, "tapwise-com128"},
      {{4711, 97}, "tapwise-4711-com97"},
      {{4711, 0}, "tapwise-4711-all"},
      {{999999999, 33}, "tapwise-999999999-com33"},
  };
  for (const auto& [name, value] : cases) {
    EXPECT_EQ(InterfaceValue(name), value);
    EXPECT_EQ(value.find('/'), std::string::npos);
    const std::optional<ExtcapInterfaceName> back = ParseInterfaceValue(value);
    ASSERT_TRUE(back) << value;
    EXPECT_EQ(*back, name) << value;
  }
}

TEST(ExtcapInterface, OtherNamesAreNotOurs) {
  for (const char* value : {"", "tapwise-", "tapwise-com0", "tapwise-com129", "tapwise-com01", "tapwise-COM1",
                            "tapwise--com1", "tapwise-0-all", "tapwise-12x-all", "tapwise-12-", "tapwise-12-com",
                            "tapwise-1-2-all", "sshdump", "tapwise-all-com1", "tapwise-com1 "}) {
    EXPECT_FALSE(ParseInterfaceValue(value)) << value;
  }
}

// The listing opens no port; it offers what exists, may be opened, and for
// a fixed serial port has a UART behind it, then "all ports".
TEST(ExtcapInterface, OwnInterfacesNameExistingDevicesAndEndWithAllPorts) {
  const std::vector<ExtcapInterface> interfaces = OwnInterfaces();
  ASSERT_FALSE(interfaces.empty());
  EXPECT_EQ(interfaces.back().Name, (ExtcapInterfaceName{0, 0}));
  EXPECT_EQ(interfaces.back().Display, "Tapwise: all ports");
  for (size_t i = 0; i + 1 < interfaces.size(); ++i) {
    const ExtcapInterface& one = interfaces[i];
    EXPECT_EQ(one.Name.Monitor, 0);
    const std::string path = one.Display.substr(one.Display.rfind(' ') + 1);
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << one.Display;
    EXPECT_TRUE(S_ISCHR(info.st_mode)) << one.Display;
    EXPECT_EQ(::access(path.c_str(), R_OK | W_OK), 0) << one.Display;
  }
}

// A listening socket that never answers (a monitor stuck in a long tick)
// and a path where nothing listens: the listing goes on without them, each
// still offering all its ports.
TEST(ExtcapInterface, MonitorsThatDoNotAnswerStillOfferAllPorts) {
  TempDir dir;
  const std::string silent = dir / "live-101.sock";
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, silent.c_str());
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  const std::vector<MonitorPorts> answers =
      AskMonitors({{101, silent}, {102, dir / "live-102.sock"}}, std::chrono::milliseconds(100));
  ::close(fd);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_FALSE(answers[0].Answered);
  EXPECT_FALSE(answers[1].Answered);
  const std::vector<ExtcapInterface> interfaces = MonitorInterfaces(answers);
  ASSERT_EQ(interfaces.size(), 2u);
  EXPECT_EQ(InterfaceValue(interfaces[0].Name), "tapwise-101-all");
  EXPECT_EQ(interfaces[0].Display, "Tapwise 101: all ports");
  EXPECT_EQ(InterfaceValue(interfaces[1].Name), "tapwise-102-all");
}

// A port's name (given by the user) with braces would end the analyser's
// field early.
TEST(ExtcapInterface, TheListIsInTheAnalysersSentences) {
  MonitorPorts monitor{{7, "/x"}, true, {{3, "/dev/ttyUSB0 \"Meter {A}\""}, {98, "/dev/pts/0 (pair with COM97)"}}};
  const std::string text = InterfacesText(MonitorInterfaces({monitor}));
  EXPECT_EQ(text,
            "extcap {version=" TAPWISE_VERSION "}\n"
            "interface {value=tapwise-7-com3}{display=Tapwise 7: COM3 /dev/ttyUSB0 \"Meter (A)\"}\n"
            "interface {value=tapwise-7-com98}{display=Tapwise 7: COM98 /dev/pts/0 (pair with COM97)}\n"
            "interface {value=tapwise-7-all}{display=Tapwise 7: all ports}\n");
}

// The capture dialog: a capture of our own offers every setting, a
// monitor's "all ports" only the choice of ports, its single port nothing.
TEST(ExtcapInterface, ConfigOffersWhatTheCaptureCanChange) {
  struct Case {
    ExtcapInterfaceName Name;
    std::vector<std::string> Calls;
  };
  const std::vector<Case> cases = {
      {{0, 0}, {"--ports", "--map", "--line", "--gap", "--linktype"}},
      {{0, 5}, {"--line", "--gap", "--linktype"}},
      {{42, 0}, {"--ports"}},
      {{42, 5}, {}},
  };
  for (const Case& c : cases) {
    const std::string text = ConfigText(c.Name);
    std::vector<std::string> calls;
    for (size_t at = text.find("{call="); at != std::string::npos; at = text.find("{call=", at + 1)) {
      calls.push_back(text.substr(at + 6, text.find('}', at) - at - 6));
    }
    EXPECT_EQ(calls, c.Calls) << InterfaceValue(c.Name);
  }
  const std::string own = ConfigText({0, 0});
  EXPECT_NE(own.find("value {arg=4}{value=147}{display=User 0 (147): the packet bytes}{default=true}\n"),
            std::string::npos)
      << own;
  EXPECT_NE(own.find("{value=250}"), std::string::npos);
  EXPECT_NE(own.find("{type=integer}{range=5,5000}{default=10}"), std::string::npos);
}

}  // namespace
}  // namespace tapwise
