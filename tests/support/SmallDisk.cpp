#include "support/SmallDisk.h"

#include <sys/mount.h>

namespace tapwise {

SmallDisk::SmallDisk(size_t kib) {
  const std::string options = "size=" + std::to_string(kib) + "k";
  m_mounted = ::mount("tapwise-test", m_dir.Path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
  if (m_mounted) ::umount2(m_dir.Path().c_str(), MNT_DETACH);
}

}  // namespace tapwise
