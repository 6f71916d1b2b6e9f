#include "core/platform/PtyLink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tapwise {

namespace {

// Where the link at path points; "" when it is no link or cannot be read.
std::string LinkTarget(const std::string& path) {
  char buffer[4096];
  const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
  return length > 0 && static_cast<size_t>(length) < sizeof buffer ? std::string(buffer, static_cast<size_t>(length))
                                                                   : std::string();
}

}  // namespace

std::unique_ptr<PtyLink> PtyLink::Create(const std::string& linkPath, const std::string& target,
                                         std::string* error) {
  struct stat existing {};
  if (lstat(linkPath.c_str(), &existing) == 0) {
    if (!S_ISLNK(existing.st_mode)) {
      *error = linkPath + " exists and is not a symbolic link; it is left as it is";
      return nullptr;
    }
    // A link, most likely left by an earlier run that did not end normally.
    if (unlink(linkPath.c_str()) != 0 && errno != ENOENT) {
      *error = "cannot replace the link " + linkPath + ": " + std::strerror(errno);
      return nullptr;
    }
  }
  if (symlink(target.c_str(), linkPath.c_str()) != 0) {
    *error = "cannot make the link " + linkPath + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<PtyLink>(new PtyLink(linkPath, target));
}

PtyLink::PtyLink(std::string path, std::string target) : m_path(std::move(path)), m_target(std::move(target)) {}

PtyLink::~PtyLink() {
  // Someone may have put their own link there meanwhile: that one stays.
  if (LinkTarget(m_path) == m_target) unlink(m_path.c_str());
}

}  // namespace tapwise
