// Whether a serial port has a UART, from a folder laid out as sysfs is.

#include "core/platform/SysfsTty.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/TempDir.h"

namespace tapwise {
namespace {

TEST(SysfsTty, AUartIsKnownByItsTypeWithoutOpeningThePort) {
  TempDir dir;
  const std::string root = dir / "sys";
  for (const std::string folder : {"", "/class", "/class/tty", "/class/tty/ttyS0", "/class/tty/ttyS1"}) {
    ASSERT_EQ(::mkdir((root + folder).c_str(), 0755), 0);
  }
  TempDir::WriteFile(root + "/class/tty/ttyS0/type", "4\n");  // a 16550A
  TempDir::WriteFile(root + "/class/tty/ttyS1/type", "0\n");  // PORT_UNKNOWN
  const std::pair<const char*, bool> cases[] = {
      {"/dev/ttyS0", true}, {"/dev/ttyS1", false}, {"/dev/ttyS2", false}, {"", false}, {"/dev/", false}};
  for (const auto& [device, known] : cases) EXPECT_EQ(SysfsUartKnown(device, root), known) << device;
}

}  // namespace
}  // namespace tapwise
