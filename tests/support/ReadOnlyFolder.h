#pragma once
// Makes a folder read-only while the object lives, as a remount or a full
// quota does to a rig's recording folder: files open for writing stay
// writable, new ones cannot be made (EROFS). A read-only bind mount over the
// folder itself, so it holds for root too (for whom a folder's mode bits
// mean nothing). Mounting needs CAP_SYS_ADMIN; where it is not allowed, Ok()
// is false and the test skips.

#include <string>

namespace tapwise {

class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(std::string folder);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

  bool Ok() const { return m_readOnly; }

 private:
  std::string m_folder;
  bool m_bound = false;
  bool m_readOnly = false;
};

}  // namespace tapwise
