// The live feed of the running tapwise program: a client that stops
// reading is cut off with a message, while the monitor's own recording and
// a client that keeps reading get every byte that arrived.

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/LiveClient.h"
#include "support/PcapngBlocks.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

// Every packet's bytes, in order, by interface name, of a pcapng stream or
// file.
std::map<std::string, std::string> PacketBytes(const std::string& pcapng) {
  const PcapngFile file = ReadPcapngBlocks(pcapng);
  EXPECT_EQ(file.Error, "");
  std::vector<std::string> names;
  std::map<std::string, std::string> bytes;
  for (const PcapngBlock& block : file.Blocks) {
    if (block.Type == 1) names.push_back(block.Option(2));
    if (block.Type == 6 && block.Interface < names.size()) bytes[names[block.Interface]] += block.Data;
  }
  return bytes;
}

// The monitor's sockets go to a folder of the test's own.
class RuntimeFolder {
 public:
  explicit RuntimeFolder(const std::string& folder) {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) m_saved = old;
    ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  }
  ~RuntimeFolder() {
    if (m_saved.empty()) {
      ::unsetenv("XDG_RUNTIME_DIR");
    } else {
      ::setenv("XDG_RUNTIME_DIR", m_saved.c_str(), 1);
    }
  }

 private:
  std::string m_saved;
};

TEST(LiveFeedProgram, AClientThatStopsReadingIsCutOffWhileTheRecordingLosesNothing) {
  // Four ports, so that the 4 MiB a client may fall behind come in a few seconds.
  std::vector<std::unique_ptr<Pty>> ports;
  TempDir dir;
  const RuntimeFolder runtime(dir.Path());
  const std::string recording = dir / "own.pcapng";
  std::vector<std::string> argv = {TAPWISE_PROGRAM, "-headless", "-quiet", "-recordpcapng:" + recording};
  for (int n = 1; n <= 4; ++n) {
    ports.push_back(std::make_unique<Pty>());
    ASSERT_TRUE(ports.back()->Ok());
    argv.push_back("-port:" + std::to_string(n) + "=" + ports.back()->SlavePath());
  }
  ChildProcess monitor(argv);
  ASSERT_TRUE(monitor.ReadStderrUntil([](const std::string& err) { return err.find("Recording ") != std::string::npos; }))
      << monitor.Stderr();
  const std::string socket = dir / "tapwise/live-" + std::to_string(monitor.Pid()) + ".sock";
  LiveClient stalled(socket);
  LiveClient reader(socket);
  ASSERT_TRUE(stalled.Connected() && reader.Connected());
  stalled.ShrinkReceiveBuffer();
  stalled.Send("ports=all\n");
  reader.Send("ports=all\n");
  std::this_thread::sleep_for(300ms);

  // Past the 4 MiB a client may fall behind, in bursts of 4000 bytes.
  std::map<std::string, std::string> sent;
  for (int burst = 0; burst < 1300; ++burst) {
    Pty::Bytes bytes(4000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((burst * 7 + i) % 251);
    const size_t port = static_cast<size_t>(burst % 4);
    ASSERT_TRUE(ports[port]->WriteAll(bytes));
    sent["COM" + std::to_string(port + 1)].append(bytes.begin(), bytes.end());
    reader.ReadAvailable();
  }
  const std::string cutOff = "tapwise: Live feed: client 1 cut off: it fell 4096 KiB behind; monitoring goes on\n";
  ASSERT_TRUE(monitor.ReadStderrUntil([&](const std::string& err) { return err.find(cutOff) != std::string::npos; },
                                      10s))
      << monitor.Stderr();
  // Time to drain every byte, then the end: it closes the reader's stream
  // after the last whole block.
  reader.ReadUntilQuiet(1s);
  monitor.Signal(SIGTERM);
  ASSERT_EQ(monitor.Wait(20s), 0) << monitor.Stderr();
  reader.ReadToEnd();

  EXPECT_TRUE(PacketBytes(TempDir::ReadFile(recording)) == sent) << "the recording lost bytes";
  EXPECT_TRUE(PacketBytes(reader.Received()) == sent) << "the reading client lost bytes";
  stalled.ReadToEnd();
  EXPECT_TRUE(stalled.PeerClosed());
  EXPECT_LT(stalled.Received().size(), size_t{5} << 20);
  // Said once, for the stalled client alone.
  EXPECT_EQ(monitor.Stderr().find("cut off"), monitor.Stderr().rfind("cut off")) << monitor.Stderr();
}

}  // namespace
}  // namespace tapwise
