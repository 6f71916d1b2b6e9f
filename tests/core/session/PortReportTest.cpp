// What start-up tells about the ports that did not open while others did:
// the user's own ports with the reason, and the probed ports that exist but
// were refused, with the remedy where there is one.

#include "core/session/PortReport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "core/platform/PortMap.h"
#include "core/session/MonitorSession.h"
#include "support/FakeOpener.h"
#include "support/Pty.h"
#include "support/ResultAssertions.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

std::string OwnGroupName() {
  const group* own = getgrgid(getegid());
  return own && own->gr_name ? own->gr_name : "";
}

TEST(PortReport, RefusedProbedPortsAreToldOnceAtStartWithTheirRemedy) {
  TempDir folder;
  // Nodes as the probe finds them: one the group may use, one only its owner.
  const std::string groupNode = folder / "ttyS0";
  const std::string ownerNode = folder / "ttyS1";
  TempDir::WriteFile(groupNode, "");
  TempDir::WriteFile(ownerNode, "");
  ASSERT_EQ(chmod(groupNode.c_str(), 0660), 0);
  ASSERT_EQ(chmod(ownerNode.c_str(), 0600), 0);

  FakeOpener opener;
  opener.AddFake(3);
  opener.SetPath(3, "/dev/ttyS2");
  struct Probed {
    uint8_t Port;
    OpenStatus Status;
    std::string Path;
  };
  const Probed probed[] = {
      {1, OpenStatus::NotPermitted, groupNode}, {2, OpenStatus::NotPermitted, ownerNode},
      {4, OpenStatus::Busy, folder / "ttyS3"},     {5, OpenStatus::Absent, "/dev/ttyS4"},
      {6, OpenStatus::NotATty, "/dev/ttyS5"},   {7, OpenStatus::NoDescriptors, "/dev/ttyS6"},
  };
  for (const Probed& p : probed) {
    opener.ForceStatus(p.Port, p.Status);
    opener.SetPath(p.Port, p.Path);
  }
  // The user's own port is told whatever the reason.
  opener.ForceStatus(9, OpenStatus::NoDescriptors);
  opener.SetPath(9, "/dev/pts/77");
  opener.SetExplicit(9);

  MonitorSession session(opener);
  ASSERT_TRUE(Succeeded(session.Start(MonitorOptions{})));
  EXPECT_EQ(session.Report().UnusablePorts, (std::vector<std::string>{
                                                "COM1 " + groupNode + ": not permitted (join the group " +
                                                    OwnGroupName() + ")",
                                                "COM2 " + ownerNode + ": not permitted",
                                                "COM4 " + folder / "ttyS3" + ": busy",
                                                "COM9 /dev/pts/77: too many open files",
                                            }));
}

// Every open fails for want of descriptors, as with a low RLIMIT_NOFILE;
// the virtual port (made before) opens through dup and is the one present.
class NoDescriptorsLeft : public SysCalls {
 public:
  int Open(const char*, int) override {
    errno = EMFILE;
    return -1;
  }
};

TEST(PortReport, APortRefusedForWantOfDescriptorsSaysSo) {
  Pty device;
  ASSERT_TRUE(device.Ok());
  NoDescriptorsLeft sys;
  PortMap map(sys);
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:1=pty")));
  ASSERT_TRUE(Succeeded(map.ApplyOption("-port:5=" + device.SlavePath())));
  MonitorSession session(map);
  ASSERT_TRUE(Succeeded(session.Start(MonitorOptions{})));
  EXPECT_EQ(session.PresentPorts(), (std::vector<uint8_t>{1}));
  EXPECT_EQ(session.Report().UnusablePorts,
            (std::vector<std::string>{"COM5 " + device.SlavePath() + ": too many open files"}));
}

}  // namespace
}  // namespace tapwise
