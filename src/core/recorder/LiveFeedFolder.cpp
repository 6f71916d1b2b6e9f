#include "core/recorder/LiveFeedFolder.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tapwise {

std::string LiveFeedFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/tapwise";
  return "/tmp/tapwise-" + std::to_string(getuid());
}

Result PrepareLiveFeedFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return Result::Failure(folder + ": " + std::strerror(errno));
  }
  struct stat info {};
  // lstat: a link planted in a shared folder must not lead our socket elsewhere.
  if (::lstat(folder.c_str(), &info) != 0) return Result::Failure(folder + ": " + std::strerror(errno));
  if (!S_ISDIR(info.st_mode)) return Result::Failure(folder + ": not a folder");
  if (info.st_uid != getuid()) return Result::Failure(folder + ": belongs to another user");
  if ((info.st_mode & 077) != 0) return Result::Failure(folder + ": others may enter it");
  return Result::Success();
}

std::string LiveFeedSocketPath(const std::string& folder, pid_t pid) {
  return folder + "/live-" + std::to_string(pid) + ".sock";
}

std::vector<RunningMonitor> RunningMonitors(const std::string& folder) {
  std::vector<RunningMonitor> monitors;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return monitors;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    constexpr size_t Prefix = 5;  // "live-"
    constexpr size_t Suffix = 5;  // ".sock"
    if (name.size() <= Prefix + Suffix || name.compare(0, Prefix, "live-") != 0 ||
        name.compare(name.size() - Suffix, Suffix, ".sock") != 0) {
      continue;
    }
    const std::string digits = name.substr(Prefix, name.size() - Prefix - Suffix);
    if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    const auto pid = static_cast<pid_t>(std::stol(digits));
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM)) continue;
    monitors.push_back({pid, folder + "/" + name});
  }
  ::closedir(dir);
  std::sort(monitors.begin(), monitors.end(), [](const auto& a, const auto& b) { return a.Pid < b.Pid; });
  return monitors;
}

}  // namespace tapwise
