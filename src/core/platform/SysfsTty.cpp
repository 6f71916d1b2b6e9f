#include "core/platform/SysfsTty.h"

#include <fstream>

namespace tapwise {

bool SysfsUartKnown(const std::string& devicePath, const std::string& root) {
  const size_t slash = devicePath.rfind('/');
  const std::string name = slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
  if (name.empty()) return false;
  std::ifstream type(root + "/class/tty/" + name + "/type");
  int value = 0;
  return static_cast<bool>(type >> value) && value != 0;
}

}  // namespace tapwise
