#include "core/platform/PathWatch.h"

#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace tapwise {

namespace {

constexpr uint32_t FolderEvents = IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_ONLYDIR;
// A link to a link to ... is followed this far, no further (a loop).
constexpr int MaxLinkDepth = 8;

// "/a/b/c" -> "/a/b"; "/a" -> "/"; "c" -> ".".
std::string ParentOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

PathWatch::PathWatch() : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

PathWatch::~PathWatch() {
  if (m_fd >= 0) close(m_fd);
}

void PathWatch::WatchNearestFolder(const std::string& path) {
  std::string folder = ParentOf(path);
  for (;;) {
    if (inotify_add_watch(m_fd, folder.c_str(), FolderEvents) >= 0) return;
    // ENOENT, ENOTDIR: not there yet, so its parent will report it. Anything
    // else (EACCES, ENOSPC: out of watches) cannot be helped from here.
    if ((errno != ENOENT && errno != ENOTDIR) || folder == "/" || folder == ".") return;
    folder = ParentOf(folder);
  }
}

void PathWatch::Follow(const std::string& path) {
  if (m_fd < 0) return;
  std::string at = path;
  for (int depth = 0; depth < MaxLinkDepth; ++depth) {
    WatchNearestFolder(at);
    char target[PATH_MAX];
    const ssize_t length = readlink(at.c_str(), target, sizeof target - 1);
    if (length <= 0) return;
    const std::string_view link(target, static_cast<size_t>(length));
    at = link.front() == '/' ? std::string(link) : ParentOf(at) + "/" + std::string(link);
  }
}

bool PathWatch::TakeEvents() {
  if (m_fd < 0) return false;
  bool any = false;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = read(m_fd, buffer, sizeof buffer);
    if (got > 0) {
      // Which event it was does not matter: every waiting path is looked at
      // again. A removed folder's watch ends by itself (IN_IGNORED).
      any = true;
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return any;
  }
}

bool PathWatch::Exists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

}  // namespace tapwise
