#pragma once
// A disk that fills up after a few KiB, as a full one does: a tmpfs of the
// given size mounted on a fresh folder, unmounted when the object goes.
// Mounting needs root (CAP_SYS_ADMIN); where it is not allowed, Ok() is
// false and the test skips. A file-size limit (RLIMIT_FSIZE) stands in for a
// full disk everywhere; this shows the real ENOSPC.

#include <cstddef>
#include <string>
#include <string_view>

#include "support/TempDir.h"

namespace tapwise {

class SmallDisk {
 public:
  explicit SmallDisk(size_t kib);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Ok() const { return m_mounted; }
  std::string operator/(std::string_view name) const { return m_dir / name; }

 private:
  TempDir m_dir;
  bool m_mounted = false;
};

}  // namespace tapwise
