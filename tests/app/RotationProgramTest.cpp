// The headless monitor recording to rotating files from a real port: the
// files it names, what they hold, and the messages of a full disk.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RotationProgram, PacketsFromAPortGoToNewFilesBySizeWholeAndInOrder) {
  Pty wire;
  TempDir dir;
  ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-port:1=" + wire.SlavePath(),
                        "-recordraw:" + (dir / "line.bin"), "--rotate:4K"});
  ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Recording "))) << tapwise.Stderr();
  // The start-up line names the first stamped file, not the name given.
  EXPECT_NE(tapwise.Stderr().find("Recording " + (dir / "line-")), std::string::npos) << tapwise.Stderr();
  std::string sent;
  for (int i = 0; i < 4; ++i) {
    const Pty::Bytes packet(3000, static_cast<uint8_t>('a' + i));
    ASSERT_TRUE(wire.WriteAll(packet));
    sent.append(packet.begin(), packet.end());
    const std::string hex = std::to_string(61 + i) + " " + std::to_string(61 + i);
    ASSERT_TRUE(tapwise.ReadStdoutUntil(Contains(hex), 10s)) << i;
    // A quiet gap, so that the next bytes are a packet of their own.
    std::this_thread::sleep_for(300ms);
  }
  tapwise.Signal(SIGINT);
  ASSERT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
  // No file goes past 4 KiB, none splits a packet, and together they hold
  // every byte in order.
  const std::vector<std::string> files = FilesIn(dir.Path());
  ASSERT_GE(files.size(), 3u) << tapwise.Stderr();
  std::string recorded;
  for (const std::string& file : files) {
    const std::string bytes = TempDir::ReadFile(file);
    EXPECT_LE(bytes.size(), 4096u) << file;
    EXPECT_EQ(file.rfind(dir / "line-", 0), 0u) << file;
    recorded += bytes;
  }
  EXPECT_EQ(recorded, sent);
  EXPECT_EQ(tapwise.Stderr().find("tapwise: "), std::string::npos) << tapwise.Stderr();
}

}  // namespace
}  // namespace tapwise
