// Ports that come and go, end to end through the real port map and POSIX
// backend: pseudo-terminals behind symbolic links stand in for USB adapters
// that are pulled out and plugged in again.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "core/capture/TWComms.h"
#include "core/platform/PortMap.h"
#include "core/platform/PosixSerialDevice.h"
#include "core/platform/Termios2.h"
#include "support/ProcessUsage.h"
#include "support/PtyAdapter.h"
#include "support/QueueWait.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

using namespace std::chrono_literals;
using ByteVector = std::vector<uint8_t>;


// Whether any of our descriptors is the device at path.
bool HoldsOpen(const std::string& path) {
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (target == path || target == path + " (deleted)") return true;
  }
  return false;
}

class HotplugOverPty : public ::testing::Test {
 protected:
  // COM n is the adapter at dir/name; not yet plugged in.
  PtyAdapter& Map(uint8_t n, const std::string& name) {
    adapters.push_back(std::make_unique<PtyAdapter>(dir / name));
    EXPECT_TRUE(Succeeded(map.ApplyOption("-port:" + std::to_string(n) + "=" + adapters.back()->Link())));
    return *adapters.back();
  }

  // Waits for the port to report the change; the events before it are dropped.
  bool WaitFor(uint8_t port, PortChange change, std::chrono::milliseconds timeout = 5s) {
    return Eventually(
        [&] {
          for (const PortEvent& event : comms.TakePortEvents()) {
            if (event.Port == port && event.Change == change) return true;
          }
          return false;
        },
        timeout);
  }

  // Bytes written at the far end come back as one packet of the port.
  void ExpectTraffic(PtyAdapter& adapter, uint8_t port, const char* text) {
    ASSERT_TRUE(adapter.Wire().WriteAll(TextBytes(text)));
    Records records = WaitForRecords(comms.Queue(), 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->Port, port);
    EXPECT_EQ(Bytes(*records[0]), TextBytes(text));
  }

  TempDir dir;
  std::vector<std::unique_ptr<PtyAdapter>> adapters;  // outlive the port manager
  PortMap map;
  TWComms comms{map};
};

TEST_F(HotplugOverPty, UnpluggedMidPacketKeepsTheBytesRestsAndComesBackWithItsSettings) {
  PtyAdapter& adapter = Map(1, "adapter");
  ASSERT_TRUE(adapter.Plug());
  comms.SetPortSettings(1, {128000, ParityNone, 8, StopOne, 0, 0});
  // Far longer than the test waits: only the unplugging can end the packet.
  comms.PacketGap = 60000;
  comms.CreatePorts();
  ASSERT_TRUE(comms.IsPortPresent(1));
  const std::string oldSlave = adapter.Wire().SlavePath();
  ASSERT_TRUE(adapter.Wire().WriteAll(TextBytes("half a pack")));
  std::this_thread::sleep_for(50ms);
  adapter.Unplug();

  Records records = WaitForRecords(comms.Queue(), 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(Bytes(*records[0]), TextBytes("half a pack"));
  ASSERT_TRUE(WaitFor(1, PortChange::Gone));
  EXPECT_TRUE(comms.IsPortPresent(1));
  EXPECT_TRUE(comms.IsPortGone(1));
  EXPECT_TRUE(comms.IsPortEnabled(1));
  EXPECT_FALSE(HoldsOpen(oldSlave));

  const double cpuBefore = CpuSeconds();
  EXPECT_TRUE(CollectFor(comms.Queue(), 3s).empty());
  // A thread polling the dead port or the path would burn much of a core.
  EXPECT_LT(CpuSeconds() - cpuBefore, 0.3);

  ASSERT_TRUE(adapter.Plug());
  ASSERT_TRUE(WaitFor(1, PortChange::Back));
  EXPECT_FALSE(comms.IsPortGone(1));
  comms.PacketGap = 10;
  ExpectTraffic(adapter, 1, "back again");
  // The master reads the slave's settings: ours, put on the new device.
  std::optional<LineRates> rates = ReadLineRates(RealSysCalls(), adapter.Wire().MasterFd());
  ASSERT_TRUE(rates.has_value());
  EXPECT_EQ(rates->Output, 128000u);
}

TEST_F(HotplugOverPty, PathsThatAppearAfterStartUpBecomePortsWithReceiveThreads) {
  struct Case {
    uint8_t Port;
    const char* Link;  // under the test's folder; its own folders made on plugging
  };
  const Case cases[] = {{40, "late"}, {7, "serial/by-id/usb-Maker_Model_0001-if00-port0"}};
  for (const Case& c : cases) Map(c.Port, c.Link);
  comms.CreatePorts();
  // The machine's own fixed serial ports may be there too.
  std::vector<uint8_t> expected = comms.PresentPorts();
  EXPECT_FALSE(comms.IsPortPresent(7) || comms.IsPortPresent(40));
  const int threadsBefore = CountProcEntries("task");
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.Link);
    PtyAdapter& adapter = *adapters[i];
    std::filesystem::create_directories(std::filesystem::path(adapter.Link()).parent_path());
    ASSERT_TRUE(adapter.Plug());
    ASSERT_TRUE(WaitFor(c.Port, PortChange::New));
    EXPECT_TRUE(comms.IsPortPresent(c.Port));
    EXPECT_EQ(CountProcEntries("task"), threadsBefore + static_cast<int>(i) + 1);
    ExpectTraffic(adapter, c.Port, "hello");
  }
  expected.insert(expected.end(), {7, 40});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(comms.PresentPorts(), expected);
}

TEST_F(HotplugOverPty, ReplugHeldByAnotherProgramIsLeftAloneUntilReleased) {
  PtyAdapter& adapter = Map(2, "adapter");
  ASSERT_TRUE(adapter.Plug());
  comms.CreatePorts();
  adapter.Unplug();
  ASSERT_TRUE(WaitFor(2, PortChange::Gone));

  ASSERT_TRUE(adapter.Make());
  OpenResult other = PosixSerialDevice::Open(adapter.Wire().SlavePath());
  ASSERT_EQ(other.Status, OpenStatus::Opened);
  ASSERT_TRUE(adapter.Plug());
  EXPECT_FALSE(WaitFor(2, PortChange::Back, 1500ms));
  EXPECT_TRUE(comms.IsPortGone(2));
  // What the other program is sent is its own.
  ASSERT_TRUE(adapter.Wire().WriteAll(TextBytes("theirs")));
  EXPECT_EQ(Pty::ReadFor(*other.Device, 6), TextBytes("theirs"));

  other.Device.reset();
  ASSERT_TRUE(WaitFor(2, PortChange::Back));
  ExpectTraffic(adapter, 2, "ours");
}

TEST_F(HotplugOverPty, FiftyUnplugsAndReplugsLeaveNoDescriptorOrThreadBehind) {
  PtyAdapter& adapter = Map(3, "adapter");
  ASSERT_TRUE(adapter.Plug());
  comms.CreatePorts();
  auto cycle = [&] {
    adapter.Unplug();
    ASSERT_TRUE(WaitFor(3, PortChange::Gone));
    ASSERT_TRUE(adapter.Plug());
    ASSERT_TRUE(WaitFor(3, PortChange::Back));
    ExpectTraffic(adapter, 3, "x");
  };
  // The first cycle sets up what stays (the watcher thread, its descriptors).
  cycle();
  const int fds = CountProcEntries("fd");
  const int threads = CountProcEntries("task");
  for (int i = 0; i < 50 && !HasFatalFailure(); ++i) cycle();
  EXPECT_EQ(CountProcEntries("fd"), fds);
  EXPECT_EQ(CountProcEntries("task"), threads);
}

}  // namespace
}  // namespace tapwise
