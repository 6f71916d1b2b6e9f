// The latency timer of a USB serial adapter through sysfs, against a folder
// laid out as sysfs lays it out (no adapter is plugged in here).

#include "core/platform/LatencyTimer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "support/TempDir.h"

namespace tapwise {
namespace {

// A sysfs root with an adapter ttyUSB3 whose timer reads 16, a device node
// for it and a stable link to the node, as udev makes them.
struct FakeSysfs {
  TempDir dir;
  std::string root = dir / "sys";
  std::string node = dir / "ttyUSB3";
  std::string link = dir / "usb-FTDI_FT232R_A123-if00-port0";
  std::string attribute = root + "/bus/usb-serial/devices/ttyUSB3/latency_timer";

  FakeSysfs() {
    for (const char* folder : {"", "/bus", "/bus/usb-serial", "/bus/usb-serial/devices", "/bus/usb-serial/devices/ttyUSB3"}) {
      ::mkdir((root + folder).c_str(), 0755);
    }
    TempDir::WriteFile(attribute, "16\n");
    TempDir::WriteFile(node, "");
    (void)::symlink(node.c_str(), link.c_str());
    // A serial port without a latency timer of its own.
    TempDir::WriteFile(dir / "ttyS0", "");
  }
};

// Refuses to open the attribute for writing, as sysfs does for a user who
// is not root: root itself cannot be refused by a file mode.
class RefusedWrite : public SysCalls {
 public:
  int Open(const char* path, int flags) override {
    if ((flags & O_ACCMODE) == O_WRONLY) {
      errno = EACCES;
      return -1;
    }
    return SysCalls::Open(path, flags);
  }
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(LatencyTimer, SetsTheAdaptersTimerThroughItsNodeOrALinkAndPutsItBack) {
  for (const bool throughLink : {false, true}) {
    SCOPED_TRACE(throughLink ? "link" : "node");
    FakeSysfs sysfs;
    LatencyTimer timer(sysfs.root);
    const std::string device = throughLink ? sysfs.link : sysfs.node;
    EXPECT_EQ(timer.AttributePath(device), sysfs.attribute);
    const LatencyTimer::Outcome outcome = timer.Set(device, 1);
    EXPECT_TRUE(outcome.Set);
    EXPECT_EQ(outcome.Message, "latency timer 1 ms (was 16 ms)");
    EXPECT_EQ(TempDir::ReadFile(sysfs.attribute), "1\n");
    // Replugged: the driver's default again, set again; 16 is still what
    // was found first and is put back.
    TempDir::WriteFile(sysfs.attribute, "16\n");
    EXPECT_TRUE(timer.Set(device, 1).Set);
    timer.Restore();
    EXPECT_EQ(TempDir::ReadFile(sysfs.attribute), "16\n");
  }
}

TEST(LatencyTimer, AValueSomeoneElseSetSinceIsLeftAlone) {
  FakeSysfs sysfs;
  LatencyTimer timer(sysfs.root);
  ASSERT_TRUE(timer.Set(sysfs.node, 1).Set);
  TempDir::WriteFile(sysfs.attribute, "4\n");
  timer.Restore();
  EXPECT_EQ(TempDir::ReadFile(sysfs.attribute), "4\n");
}

TEST(LatencyTimer, SaysWhyItCannotAndWhatToDo) {
  FakeSysfs sysfs;
  RefusedWrite refused;
  struct Case {
    const char* name;
    std::string device;
    bool refuse;
    std::vector<std::string> parts;
  };
  const Case cases[] = {
      {"a virtual or network port", "", false, {"has no device here (a virtual or network port), so no latency timer"}},
      {"an adapter not plugged in yet", sysfs.dir / "ttyUSB9", false,
       {sysfs.dir / "ttyUSB9", "is not there; its latency timer is set when it appears"}},
      {"a port without a latency timer", sysfs.dir / "ttyS0", false,
       {sysfs.dir / "ttyS0", "has no latency timer (no " + sysfs.root + "/bus/usb-serial/devices/ttyS0/latency_timer)",
        "not a USB serial adapter"}},
      {"an attribute the user may not write", sysfs.node, true,
       {"cannot set the latency timer of " + sysfs.node + ": " + sysfs.attribute + ": Permission denied",
        "run as root", "echo 1 | sudo tee " + sysfs.attribute, "ATTR{latency_timer}=\"1\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LatencyTimer timer(sysfs.root, c.refuse ? static_cast<SysCalls&>(refused) : RealSysCalls());
    const LatencyTimer::Outcome outcome = timer.Set(c.device, 1);
    EXPECT_FALSE(outcome.Set);
    for (const std::string& part : c.parts) EXPECT_TRUE(Has(outcome.Message, part)) << outcome.Message;
    timer.Restore();
    EXPECT_EQ(TempDir::ReadFile(sysfs.attribute), "16\n");
  }
}

}  // namespace
}  // namespace tapwise
