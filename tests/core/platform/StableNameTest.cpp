#include "core/platform/StableName.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "support/Pty.h"
#include "support/TempDir.h"

namespace tapwise {
namespace {

TEST(StableNameTest, TheLinkThatLeadsToTheDeviceIsItsStableName) {
  Pty first, second;
  ASSERT_TRUE(first.Ok() && second.Ok());
  TempDir byId;
  const std::string firstLink = byId / "usb-Maker_First_A1-if00-port0";
  ASSERT_EQ(symlink(first.SlavePath().c_str(), firstLink.c_str()), 0);
  ASSERT_EQ(symlink(second.SlavePath().c_str(), (byId / "usb-Maker_Second_B2-if00-port0").c_str()), 0);
  ASSERT_EQ(symlink("/nowhere", (byId / "dangling").c_str()), 0);
  TempDir elsewhere;
  // The device by its kernel name, and through another link to it.
  const std::string viaOther = elsewhere / "other";
  ASSERT_EQ(symlink(first.SlavePath().c_str(), viaOther.c_str()), 0);

  EXPECT_EQ(StableDeviceName(first.SlavePath(), byId.Path()), firstLink);
  EXPECT_EQ(StableDeviceName(viaOther, byId.Path()), firstLink);
  // Named by its stable name already: nothing to add.
  EXPECT_EQ(StableDeviceName(firstLink, byId.Path()), "");
  // No link for it, no such device, no such folder.
  Pty third;
  EXPECT_EQ(StableDeviceName(third.SlavePath(), byId.Path()), "");
  EXPECT_EQ(StableDeviceName("/dev/ttyUSB99", byId.Path()), "");
  EXPECT_EQ(StableDeviceName(first.SlavePath(), elsewhere / "absent"), "");
}

}  // namespace
}  // namespace tapwise
