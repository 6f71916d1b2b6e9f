#include "core/platform/PortHolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>

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

bool HoldsDevice(const std::string& fdFolder, dev_t device) {
  Dir dir(opendir(fdFolder.c_str()));
  if (!dir) return false;
  while (dirent* entry = readdir(dir.get())) {
    struct stat info {};
    const std::string fd = fdFolder + "/" + entry->d_name;
    if (stat(fd.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device) return true;
  }
  return false;
}

}  // namespace

PortHolder FindPortHolder(const std::string& path, const std::string& procRoot) {
  struct stat target {};
  if (stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return {};
  Dir proc(opendir(procRoot.c_str()));
  if (!proc) return {};
  const pid_t self = getpid();
  while (dirent* entry = readdir(proc.get())) {
    const pid_t pid = PidOf(entry->d_name);
    if (pid == 0 || pid == self) continue;
    const std::string folder = procRoot + "/" + entry->d_name;
    if (!HoldsDevice(folder + "/fd", target.st_rdev)) continue;
    PortHolder holder{pid, {}};
    std::ifstream comm(folder + "/comm");
    std::getline(comm, holder.Name);
    return holder;
  }
  return {};
}

std::string PortHolderText(const std::string& path) {
  const PortHolder holder = FindPortHolder(path);
  if (holder.Pid == 0) return "";
  return ", held by " + (holder.Name.empty() ? std::string("another program") : holder.Name) + ", pid " +
         std::to_string(holder.Pid);
}

}  // namespace tapwise
