#include "core/platform/PortHolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string_view>

namespace tapwise {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

// A number made of digits only (a process folder of /proc); 0 otherwise.
pid_t PidOf(const char* name) {
  char* end = nullptr;
  const long value = std::strtol(name, &end, 10);
  return end != name && *end == '\0' && value > 0 ? static_cast<pid_t>(value) : 0;
}

// Calls look(pid, fdFolder, fdName, target) for every descriptor of every
// process we may look into whose target is a path under /dev, until look
// says to stop. Only the link is read for the others (sockets, pipes, files
// on a network share that might hang a stat).
void EachDeviceDescriptor(const std::string& procRoot, bool withSelf,
                          const std::function<bool(pid_t, int, const char*, const std::string&)>& look) {
  Dir proc(opendir(procRoot.c_str()));
  if (!proc) return;
  const pid_t self = getpid();
  while (dirent* entry = readdir(proc.get())) {
    const pid_t pid = PidOf(entry->d_name);
    if (pid == 0 || (pid == self && !withSelf)) continue;
    const std::string fdFolder = procRoot + "/" + entry->d_name + "/fd";
    Dir fds(opendir(fdFolder.c_str()));
    if (!fds) continue;  // another user's, or gone meanwhile
    const int folderFd = dirfd(fds.get());
    while (dirent* fd = readdir(fds.get())) {
      if (fd->d_name[0] == '.') continue;
      char target[PATH_MAX];
      const ssize_t length = readlinkat(folderFd, fd->d_name, target, sizeof target - 1);
      if (length <= 5 || std::strncmp(target, "/dev/", 5) != 0) continue;
      if (!look(pid, folderFd, fd->d_name, std::string(target, static_cast<size_t>(length)))) return;
    }
  }
}

// The device number behind an open descriptor, 0 when it is no character device.
dev_t DeviceOf(int folderFd, const char* name) {
  struct stat info {};
  if (fstatat(folderFd, name, &info, 0) != 0 || !S_ISCHR(info.st_mode)) return 0;
  return info.st_rdev;
}

PortHolder Named(const std::string& procRoot, pid_t pid) {
  PortHolder holder{pid, {}};
  std::ifstream comm(procRoot + "/" + std::to_string(pid) + "/comm");
  std::getline(comm, holder.Name);
  return holder;
}

// The index of /dev/pts/N; -1 for any other path.
int PtyIndex(const std::string& path) {
  constexpr std::string_view Prefix = "/dev/pts/";
  if (path.compare(0, Prefix.size(), Prefix) != 0 || path.size() == Prefix.size()) return -1;
  int index = 0;
  for (size_t at = Prefix.size(); at < path.size(); ++at) {
    if (path[at] < '0' || path[at] > '9' || index > 1'000'000) return -1;
    index = index * 10 + (path[at] - '0');
  }
  return index;
}

// The pseudo-terminal a master descriptor belongs to ("tty-index:" of its
// fdinfo); -1 when it does not say.
int MasterIndex(const std::string& procRoot, pid_t pid, const char* fdName) {
  std::ifstream info(procRoot + "/" + std::to_string(pid) + "/fdinfo/" + fdName);
  std::string line;
  while (std::getline(info, line)) {
    if (line.rfind("tty-index:", 0) == 0) return std::atoi(line.c_str() + 10);
  }
  return -1;
}

}  // namespace

OpenerIndex OpenerIndex::Scan(const std::string& procRoot) {
  // The descriptors of a desktop's processes lead to few distinct devices
  // (/dev/null, terminals, ...): each path is looked at once, not once per
  // descriptor.
  std::unordered_map<std::string, pid_t> byPath;
  EachDeviceDescriptor(procRoot, false, [&byPath](pid_t pid, int, const char*, const std::string& target) {
    byPath.emplace(target, pid);
    return true;
  });
  OpenerIndex index;
  index.m_procRoot = procRoot;
  for (const auto& [path, pid] : byPath) {
    struct stat node {};
    if (stat(path.c_str(), &node) == 0 && S_ISCHR(node.st_mode)) index.m_openers.emplace(node.st_rdev, pid);
  }
  return index;
}

PortHolder OpenerIndex::Find(dev_t device) const {
  const auto found = m_openers.find(device);
  return found == m_openers.end() ? PortHolder{} : Named(m_procRoot, found->second);
}

PortHolder OpenerIndex::Find(const std::string& path) const {
  struct stat target {};
  if (stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return {};
  return Find(target.st_rdev);
}

PortHolder FindPortHolder(const std::string& path, const std::string& procRoot) {
  return OpenerIndex::Scan(procRoot).Find(path);
}

PortHolder FindPtyHolder(const std::string& path, const std::string& procRoot) {
  const int index = PtyIndex(path);
  struct stat target {};
  if (index < 0 || stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return {};
  pid_t master = 0;
  pid_t opener = 0;
  EachDeviceDescriptor(procRoot, true, [&](pid_t pid, int folderFd, const char* name, const std::string& link) {
    if (link == "/dev/ptmx" || link == "/dev/pts/ptmx") {
      if (MasterIndex(procRoot, pid, name) == index) {
        master = pid;
        return false;
      }
    } else if (opener == 0 && DeviceOf(folderFd, name) == target.st_rdev) {
      opener = pid;
    }
    return true;
  });
  const pid_t holder = master != 0 ? master : opener;
  return holder == 0 ? PortHolder{} : Named(procRoot, holder);
}

std::string PortHolderText(const std::string& path) {
  const PortHolder holder = FindPortHolder(path);
  if (holder.Pid == 0) return "";
  return ", held by " + (holder.Name.empty() ? std::string("another program") : holder.Name) + ", pid " +
         std::to_string(holder.Pid);
}

}  // namespace tapwise
