// The program with network ports: -list-ports tries each one, and the
// headless monitor keeps a port whose server is down and says so.

#include <gtest/gtest.h>

#include <signal.h>

#include "support/ChildProcess.h"
#include "support/TcpStub.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

uint16_t ClosedPort() {
  TcpStub closed;
  return closed.Port();
}

TEST(NetworkPortsProgram, ListPortsTriesEachNetworkPortOnce) {
  TcpStub live;
  ASSERT_TRUE(live.Ok());
  const std::string dead = "rfc2217://127.0.0.1:" + std::to_string(ClosedPort());
  const std::string up = "tcp://127.0.0.1:" + std::to_string(live.Port());
  ChildProcess list({TAPWISE_PROGRAM, "-list-ports", "-port:110=" + dead, "-port:111=" + up});
  ASSERT_EQ(list.Wait(), 0);
  const std::string& out = list.Stdout();
  size_t deadLine = out.find("COM110");
  size_t upLine = out.find("COM111");
  ASSERT_NE(deadLine, std::string::npos) << out;
  ASSERT_NE(upLine, std::string::npos) << out;
  const std::string deadText = out.substr(deadLine, out.find('\n', deadLine) - deadLine);
  const std::string upText = out.substr(upLine, out.find('\n', upLine) - upLine);
  EXPECT_NE(deadText.find(dead), std::string::npos) << deadText;
  EXPECT_NE(deadText.find("absent"), std::string::npos) << deadText;
  EXPECT_NE(upText.find(up), std::string::npos) << upText;
  EXPECT_NE(upText.find("present"), std::string::npos) << upText;
}

TEST(NetworkPortsProgram, HeadlessKeepsAPortWhoseServerIsDownAndSaysSo) {
  const std::string dead = "rfc2217://127.0.0.1:" + std::to_string(ClosedPort());
  ChildProcess monitor({TAPWISE_PROGRAM, "-headless", "-port:120=" + dead});
  // The port list and the first failed attempt come in either order.
  ASSERT_TRUE(monitor.ReadStderrUntil([&](const std::string& err) {
    return err.find("cannot connect") != std::string::npos && err.find("COM120 " + dead) != std::string::npos;
  })) << monitor.Stderr();
  EXPECT_NE(monitor.Stderr().find("COM120 " + dead), std::string::npos) << monitor.Stderr();
  EXPECT_NE(monitor.Stderr().find("COM120 (" + dead + "): cannot connect"), std::string::npos) << monitor.Stderr();
  // Still running, still quiet: one message, not one per attempt.
  monitor.ReadStderrUntil([](const std::string&) { return false; }, 2500ms);
  EXPECT_EQ(monitor.Stderr().find("cannot connect"), monitor.Stderr().rfind("cannot connect")) << monitor.Stderr();
  monitor.Signal(SIGTERM);
  EXPECT_EQ(monitor.Wait(), 0);
}

}  // namespace
}  // namespace tapwise
