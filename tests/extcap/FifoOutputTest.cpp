// The capture's FIFO: it waits for the analyser to open its end (and gives
// up on a stop), tells a reader that went away from a failed write, and
// never waits for a reader that stalls.

#include "extcap/FifoOutput.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

class FifoOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0); }
  int OpenReader() { return ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }

  TempDir dir;
  std::string fifo = dir / "capture";
};

TEST_F(FifoOutputTest, WaitsForTheReaderThenWritesWholeBlocksUntilItGoes) {
  std::atomic<int> reader{-1};
  std::thread analyser([&] {
    std::this_thread::sleep_for(100ms);
    reader = OpenReader();
  });
  FifoOutput out;
  ASSERT_TRUE(out.Open(fifo, [] { return false; }));
  analyser.join();
  ASSERT_GE(reader.load(), 0);
  EXPECT_TRUE(out.IsOpen());
  EXPECT_FALSE(out.ReaderGone());
  out.Queue("block one;");
  out.Queue("block two;");
  ASSERT_TRUE(out.Flush());
  char buffer[64];
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(::read(reader, buffer, sizeof(buffer)))),
            "block one;block two;");

  ::close(reader);
  // Seen with nothing to write, and then by the write itself.
  EXPECT_TRUE(out.ReaderGone());
  out.Queue("block three;");
  const Result after = out.Flush();
  EXPECT_FALSE(after);
  EXPECT_EQ(after.Message(), "the reader closed the pipe");
}

TEST_F(FifoOutputTest, AStopWhileNobodyReadsEndsTheWaitWithoutOpening) {
  int asked = 0;
  FifoOutput out;
  EXPECT_TRUE(out.Open(fifo, [&] { return ++asked == 3; }));
  EXPECT_FALSE(out.IsOpen());
  EXPECT_EQ(asked, 3);
}

TEST_F(FifoOutputTest, AStalledReaderIsGivenUpPastTheLimit) {
  const int reader = OpenReader();
  ASSERT_GE(reader, 0);
  FifoOutput out(256 << 10);
  ASSERT_TRUE(out.Open(fifo, {}));
  const std::string block(4096, 'x');
  Result flushed = Result::Success();
  size_t queued = 0;
  while (flushed && queued < (size_t{8} << 20)) {
    out.Queue(block);
    queued += block.size();
    flushed = out.Flush();
  }
  ASSERT_FALSE(flushed) << "never gave up";
  EXPECT_EQ(flushed.Message(), "the packet analyser fell 256 KiB behind; the capture stops");
  EXPECT_FALSE(out.ReaderGone());
  // Far less than was queued went into the pipe, and nothing waited for it.
  EXPECT_LE(out.Waiting(), (size_t{256} << 10) + block.size());
  ::close(reader);
}

TEST_F(FifoOutputTest, APlainFileIsMadeAfresh) {
  const std::string file = dir / "capture.pcapng";
  TempDir::WriteFile(file, "old contents, longer than the new");
  {
    FifoOutput out;
    ASSERT_TRUE(out.Open(file, {}));
    out.Queue("new");
    ASSERT_TRUE(out.Flush());
  }
  EXPECT_EQ(TempDir::ReadFile(file), "new");
  FifoOutput nowhere;
  const Result refused = nowhere.Open(dir / "no/such/folder/file", {});
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.Message(), dir / "no/such/folder/file" + ": No such file or directory");
}

}  // namespace
}  // namespace tapwise
