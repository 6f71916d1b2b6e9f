#include "support/ReadOnlyFolder.h"

#include <sys/mount.h>

namespace tapwise {

ReadOnlyFolder::ReadOnlyFolder(std::string folder) : m_folder(std::move(folder)) {
  m_bound = ::mount(m_folder.c_str(), m_folder.c_str(), nullptr, MS_BIND, nullptr) == 0;
  m_readOnly = m_bound && ::mount(nullptr, m_folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

ReadOnlyFolder::~ReadOnlyFolder() {
  if (m_bound) ::umount2(m_folder.c_str(), MNT_DETACH);
}

}  // namespace tapwise
