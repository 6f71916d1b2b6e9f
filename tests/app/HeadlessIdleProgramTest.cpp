// The headless monitor of an idle line: it goes to sleep and still shows the
// first packet that comes after a quiet spell, and still ends on a signal.
// The figures of its sleep (wake-ups, CPU) are measured in bench/idle_bench,
// not here.

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/ChildProcess.h"
#include "support/OutputMatchers.h"
#include "support/Pty.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;

TEST(HeadlessIdleProgram, APacketAfterAQuietSpellIsShownAndASignalStillEndsIt) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    Pty wire;
    ASSERT_TRUE(wire.Ok());
    ChildProcess tapwise({TAPWISE_PROGRAM, "-headless", "-live:off", "-port:1=" + wire.SlavePath()});
    ASSERT_TRUE(tapwise.ReadStderrUntil(Contains("COM1 ")));
    // Well past the second of quiet after which the monitor sleeps.
    std::this_thread::sleep_for(2500ms);
    ASSERT_TRUE(wire.WriteAll({'W', 'A', 'K', 'E'}));
    EXPECT_TRUE(tapwise.ReadStdoutUntil(Contains("57 41 4B 45"), 10s)) << tapwise.Stdout();
    std::this_thread::sleep_for(2500ms);
    ASSERT_TRUE(wire.WriteAll({'A', 'G', 'A', 'I', 'N'}));
    EXPECT_TRUE(tapwise.ReadStdoutUntil(Contains("41 47 41 49  4E"), 10s)) << tapwise.Stdout();
    std::this_thread::sleep_for(1500ms);
    tapwise.Signal(signal);
    EXPECT_EQ(tapwise.Wait(), 0) << tapwise.Stderr();
  }
}

}  // namespace
}  // namespace tapwise
