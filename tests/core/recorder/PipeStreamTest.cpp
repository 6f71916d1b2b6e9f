// The stream a live pcapng recording goes to, over real named pipes: it
// waits for a reader without waiting itself, delivers every byte in order,
// and fails (never blocks) when the reader falls behind or goes away.

#include "core/recorder/PipeStream.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/recorder/Recording.h"
#include "core/util/ProcessSetup.h"
#include "support/Pty.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"
#include "support/TestRecords.h"

namespace tapwise {
namespace {

class PipeStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // As both programs do first: a write to a pipe without a reader fails
    // with EPIPE instead of ending the process.
    IgnoreWriteSignals();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  }
  void TearDown() override {
    if (reader >= 0) ::close(reader);
  }
  void OpenReader() { reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }
  // Everything the pipe holds now.
  std::string ReadAll() {
    std::string got;
    char buffer[65536];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<size_t>(n));
    return got;
  }

  TempDir dir;
  const std::string fifo = dir / "live";
  int reader = -1;
};

TEST_F(PipeStreamTest, BytesWaitForAReaderWhoGetsThemAllInOrder) {
  PipeStream stream;
  ASSERT_TRUE(Succeeded(stream.Open(fifo)));
  EXPECT_TRUE(stream.AwaitingReader());
  ASSERT_TRUE(Succeeded(stream.Write("first ")));
  ASSERT_TRUE(Succeeded(stream.Flush()));
  EXPECT_EQ(stream.Waiting(), 6u);
  OpenReader();
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(Succeeded(stream.Write("second")));
  EXPECT_FALSE(stream.AwaitingReader());
  EXPECT_EQ(stream.Waiting(), 0u);
  EXPECT_EQ(ReadAll(), "first second");
}

// Each failure closes the stream with the reason the user reads after
// "Recording stopped: ".
TEST_F(PipeStreamTest, AReaderThatLeavesOrFallsBehindEndsTheStreamWithoutBlockingIt) {
  {
    PipeStream stream;
    OpenReader();
    ASSERT_TRUE(Succeeded(stream.Open(fifo)));
    ASSERT_TRUE(Succeeded(stream.Write("taken")));
    EXPECT_EQ(ReadAll(), "taken");
    ::close(reader);
    reader = -1;
    EXPECT_TRUE(FailedWith(stream.Write("lost"), "the reader closed the pipe"));
    EXPECT_FALSE(stream.IsOpen());
  }
  {
    // A reader that never reads: the pipe fills, then the buffer.
    PipeStream stream(64 << 10);
    OpenReader();
    ASSERT_TRUE(Succeeded(stream.Open(fifo)));
    const std::string block(4096, 'x');
    Result written = Result::Success();
    size_t blocks = 0;
    while (written && blocks < 1000) {
      written = stream.Write(block);
      ++blocks;
    }
    EXPECT_TRUE(FailedWith(written, "the reader fell 64 KiB behind"));
    // The pipe's own 64 KiB and the buffer's.
    EXPECT_GT(blocks, 16u);
    EXPECT_LT(blocks, 40u);
    EXPECT_FALSE(stream.IsOpen());
    ::close(reader);
    reader = -1;
  }
  {
    PipeStream stream(8 << 10);
    ASSERT_TRUE(Succeeded(stream.Open(fifo)));
    EXPECT_TRUE(FailedWith(stream.Write(std::string(9000, 'y')),
                           "no program opened the named pipe to read it while 8 KiB waited"));
  }
}

TEST_F(PipeStreamTest, OnlyANamedPipeOrStandardOutputIsAStream) {
  EXPECT_TRUE(PipeStream::IsStreamTarget("-"));
  EXPECT_TRUE(PipeStream::IsStreamTarget(fifo));
  TempDir::WriteFile(dir / "plain", "");
  EXPECT_FALSE(PipeStream::IsStreamTarget(dir / "plain"));
  EXPECT_FALSE(PipeStream::IsStreamTarget(dir / "missing"));
  PipeStream stream;
  EXPECT_TRUE(FailedWith(stream.Open(dir / "plain"), "it is not a named pipe (FIFO)"));
}

// pcapng is binary: a terminal as standard output gets none of it.
TEST_F(PipeStreamTest, StandardOutputThatIsATerminalIsRefused) {
  Pty terminal;
  ASSERT_TRUE(terminal.Ok());
  const int slave = Pty::OpenPlain(terminal.SlavePath());
  ASSERT_GE(slave, 0);
  std::fflush(stdout);
  const int saved = ::dup(STDOUT_FILENO);
  ASSERT_GE(::dup2(slave, STDOUT_FILENO), 0);
  PipeStream stream;
  const Result opened = stream.Open("-");
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  ::close(slave);
  EXPECT_TRUE(FailedWith(opened, "standard output is a terminal, and pcapng is binary: pipe it into an analyser "
                                 "(| tshark -i -) or redirect it into a file"));
  EXPECT_FALSE(stream.IsOpen());
}

// The pcapng recording on a named pipe: the header and every packet reach
// the reader as they are taken; a rotation or an append is refused.
TEST_F(PipeStreamTest, APcapngRecordingStreamsIntoTheNamedPipe) {
  Recording recording;
  recording.SetRotation(RotationSettings{}, true);
  EXPECT_TRUE(FailedWith(recording.Start(fifo, RecorderState::RecordPcapng, 147, {}),
                         "a named pipe is a stream, which -rotate: and -append cannot be used with"));
  recording.SetRotation(RotationSettings{}, false);
  // The other formats keep refusing a pipe: they are cut back on a failed write.
  EXPECT_TRUE(FailedWith(recording.Start(fifo, RecorderState::RecordRaw, 147, {}),
                         "it is a named pipe (FIFO), not a file"));
  OpenReader();
  ASSERT_TRUE(Succeeded(recording.Start(fifo, RecorderState::RecordPcapng, 147, {})));
  EXPECT_EQ(recording.Path(), fifo);
  const std::string header = ReadAll();
  EXPECT_EQ(header.substr(0, 4), "\x0a\x0d\x0d\x0a");
  HandTo(recording, *MakeRecord(3, "abc"));
  const std::string packet = ReadAll();
  EXPECT_NE(packet.find("abc"), std::string::npos);
  EXPECT_NE(packet.find("COM3"), std::string::npos);
  ::close(reader);
  reader = -1;
  HandTo(recording, *MakeRecord(3, "def"));
  EXPECT_FALSE(recording.Open());
  const auto failure = recording.TakeFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->Text, "Recording stopped: the reader closed the pipe");
}

}  // namespace
}  // namespace tapwise
