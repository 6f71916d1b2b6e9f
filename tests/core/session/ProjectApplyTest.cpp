// A project between its data and the running program: the port manager (over
// fake devices) and the user packets.

#include "core/session/ProjectApply.h"

#include <gtest/gtest.h>

#include "support/FakeOpener.h"

namespace tapwise {
namespace {

TEST(ProjectApply, LoadedProjectReachesPortsAndTriggersAndComesBack) {
  FakeOpener opener;
  std::shared_ptr<FakeLine> line2 = opener.AddFake(2);
  std::shared_ptr<FakeLine> line5 = opener.AddFake(5);
  TWComms comms(opener);
  std::atomic<uint8_t> selectedPort{2};
  UserMessages messages;
  CalcState calc;
  UserPackets packets(comms, selectedPort, messages, calc);
  comms.SetTriggerStep(&packets);
  comms.CreatePorts();
  ASSERT_EQ(comms.PresentCount(), 2);
  const int appliedTo5 = line5->ApplyCount();

  ProjectData data;
  data.Ports[2] = {19200, ParityEven, 7, StopTwo, 0, 0};
  data.Ports[100].BaudRate = 1200;  // not present: kept for when it is
  data.PacketGap = 250;
  data.Rows[1] = {"\"reply\"", "01 02"};
  data.Rows[4] = {"", "G"};
  ApplyProject(data, comms, packets);

  EXPECT_EQ(line2->Format().BaudRate, 19200u);
  EXPECT_EQ(line2->Format().Parity, ParityEven);
  EXPECT_EQ(line5->ApplyCount(), appliedTo5) << "unchanged ports are left alone";
  EXPECT_EQ(comms.GetPortSettings(100).BaudRate, 1200u);
  EXPECT_EQ(comms.PacketGap.load(), 250);
  EXPECT_EQ(packets.Table().PacketText(1), "\"reply\"");
  EXPECT_EQ(packets.Triggers()->Length(1), 2);
  EXPECT_EQ(messages.TakeAll(), std::vector<std::string>{"\\bError in Trigger Packet #4"});

  data.HexDisplay = false;
  data.Play.PlayGap = 3;
  EXPECT_EQ(CollectProject(comms, packets, false, data.Play), data);
  comms.DestroyPorts();
}

}  // namespace
}  // namespace tapwise
