// Network port addresses on the command line: what is taken, what is
// refused and how the port shows them.

#include "core/platform/NetworkAddress.h"

#include <gtest/gtest.h>

#include "core/platform/PortMap.h"
#include "support/ResultAssertions.h"
#include "support/TcpStub.h"

namespace tapwise {
namespace {

TEST(NetworkAddress, GoodAddressesParseAndReadBack) {
  struct Case {
    const char* Text;
    NetworkProtocol Protocol;
    const char* Host;
    uint16_t Port;
    const char* Shown;
  };
  const Case cases[] = {
      {"rfc2217://rig1:2000", NetworkProtocol::Rfc2217, "rig1", 2000, "rfc2217://rig1:2000"},
      {"RFC2217://Lab-Rig_3.example.org:7", NetworkProtocol::Rfc2217, "Lab-Rig_3.example.org", 7,
       "rfc2217://Lab-Rig_3.example.org:7"},
      {"tcp://192.168.1.20:65535", NetworkProtocol::RawTcp, "192.168.1.20", 65535, "tcp://192.168.1.20:65535"},
      {"tcp://[::1]:4001", NetworkProtocol::RawTcp, "::1", 4001, "tcp://[::1]:4001"},
      {"rfc2217://[fe80::1:2]:1", NetworkProtocol::Rfc2217, "fe80::1:2", 1, "rfc2217://[fe80::1:2]:1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_TRUE(NetworkAddress::LooksLikeUrl(c.Text));
    std::optional<NetworkAddress> address = NetworkAddress::Parse(c.Text);
    ASSERT_TRUE(address);
    EXPECT_EQ(address->Protocol, c.Protocol);
    EXPECT_EQ(address->Host, c.Host);
    EXPECT_EQ(address->Port, c.Port);
    EXPECT_EQ(address->Text(), c.Shown);
  }
}

TEST(NetworkAddress, BadAddressesAreRefusedWithAReason) {
  for (const char* text : {"telnet://rig:23", "rfc2217://rig", "rfc2217://:2000", "rfc2217://rig:", "rfc2217://rig:0",
                           "rfc2217://rig:65536", "rfc2217://rig:20x0", "tcp://::1:2000", "tcp://[::1]2000",
                           "tcp://[::1:2000", "tcp://[]:2000", "tcp://ri g:2000", "tcp://rig\\x:2000",
                           "tcp://rig/path:2000", "rfc2217://rig:0002000"}) {
    SCOPED_TRACE(text);
    std::string problem;
    EXPECT_FALSE(NetworkAddress::Parse(text, &problem));
    EXPECT_FALSE(problem.empty());
  }
  // Paths and the virtual port are no URLs.
  for (const char* text : {"/dev/ttyUSB0", "pty", "://x", "/dev/serial/by-id/usb-x://y"}) {
    EXPECT_FALSE(NetworkAddress::LooksLikeUrl(text)) << text;
  }
}

TEST(NetworkAddress, PortMapTakesNetworkPortsAndProbesThem) {
  TcpStub live;
  ASSERT_TRUE(live.Ok());
  uint16_t deadPort;
  {
    TcpStub dead;
    deadPort = dead.Port();
  }
  PortMap map;
  EXPECT_TRUE(Succeeded(map.ApplyOption("-port:100=rfc2217://127.0.0.1:" + std::to_string(deadPort))));
  EXPECT_TRUE(Succeeded(map.ApplyOption("-PORT:2=TCP://127.0.0.1:" + std::to_string(live.Port()))));
  EXPECT_TRUE(map.IsExplicit(100));
  EXPECT_EQ(map.Describe(100), "rfc2217://127.0.0.1:" + std::to_string(deadPort));
  EXPECT_EQ(map.Describe(2), "tcp://127.0.0.1:" + std::to_string(live.Port()));
  EXPECT_EQ(map.Probe(100), OpenStatus::Absent);
  EXPECT_EQ(map.Probe(2), OpenStatus::Opened);
  // A port that is down still opens: it connects in the background.
  OpenResult opened = map.Open(100);
  EXPECT_EQ(opened.Status, OpenStatus::Opened);
  EXPECT_GE(opened.Device->WaitHandle(), 0);

  const Result bad = map.ApplyOption("-port:5=rfc2217://rig");
  EXPECT_FALSE(bad);
  EXPECT_EQ(bad.Code(), 2);
  const std::string& problem = bad.Message();
  EXPECT_NE(problem.find("-port:5=rfc2217://rig"), std::string::npos) << problem;
  EXPECT_NE(problem.find("HOST:PORT"), std::string::npos) << problem;
  EXPECT_FALSE(map.IsExplicit(5));
  const Result again = map.ApplyOption("-port:2=tcp://127.0.0.1:9");  // mapped already
  EXPECT_FALSE(again);
  EXPECT_FALSE(again.Message().empty());
}

}  // namespace
}  // namespace tapwise
