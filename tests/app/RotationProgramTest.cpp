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
#include "support/ReadOnlyFolder.h"
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

// A rig's recording folder that is removed, or made read-only, ends the
// recording with a message at its next file; the monitor goes on showing
// the traffic.
TEST(RotationProgram, AFolderThatGoesOrTurnsReadOnlyStopsTheRecordingNotTheMonitor) {
  for (bool removed : {true, false}) {
    SCOPED_TRACE(removed ? "removed" : "read-only");
    Pty wire;
    TempDir dir;
    const std::string folder = dir / "rig";
    fs::create_directory(folder);
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-live:off", "-port:1=" + wire.SlavePath(),
                          "-recordraw:" + folder + "/line.bin", "-rotate:every=1s"});
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("Recording "))) << tapwise.Stderr();
    ASSERT_TRUE(wire.WriteAll({'o', 'n', 'e'}));
    ASSERT_TRUE(tapwise.ReadStdoutUntil(Contains("6F 6E 65"), 10s)) << tapwise.Stdout();
    std::unique_ptr<ReadOnlyFolder> readOnly;
    if (removed) {
      fs::remove_all(folder);
    } else {
      readOnly = std::make_unique<ReadOnlyFolder>(folder);
      if (!readOnly->Ok()) GTEST_SKIP() << "cannot bind-mount a folder read-only here";
    }
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("; monitoring goes on"), 10s)) << tapwise.Stderr();
    EXPECT_NE(tapwise.Stderr().find("tapwise: Recording stopped: "), std::string::npos) << tapwise.Stderr();
    // Gone, it is found at the next file or the next look, whichever comes first.
    EXPECT_NE(tapwise.Stderr().find(removed ? folder + "/line-" : "Read-only file system"), std::string::npos)
        << tapwise.Stderr();
    ASSERT_TRUE(wire.WriteAll({'t', 'w', 'o'}));
    EXPECT_TRUE(tapwise.ReadStdoutUntil(Contains("74 77 6F"), 10s)) << tapwise.Stdout();
    tapwise.Signal(SIGINT);
    EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
  }
}

}  // namespace
}  // namespace tapwise
