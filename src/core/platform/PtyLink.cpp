#include "core/platform/PtyLink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/platform/PortHolder.h"

namespace tapwise {

namespace {

namespace fs = std::filesystem;

// A link to a link to ... is followed this far, no further (a loop).
constexpr int MaxLinkDepth = 8;

// Where the link at path points; "" when it is no link or cannot be read.
std::string LinkTarget(const std::string& path) {
  char buffer[4096];
  const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
  return length > 0 && static_cast<size_t>(length) < sizeof buffer ? std::string(buffer, static_cast<size_t>(length))
                                                                   : std::string();
}

// The target of the link at path as an absolute path, without "." and "..".
fs::path ResolvedTarget(const fs::path& path, const std::string& target) {
  const fs::path to(target);
  return (to.is_absolute() ? to : path.parent_path() / to).lexically_normal();
}

bool IsPtySlavePath(const fs::path& path) {
  const std::string text = path.string();
  constexpr std::string_view Prefix = "/dev/pts/";
  if (text.compare(0, Prefix.size(), Prefix) != 0 || text.size() == Prefix.size()) return false;
  return text.find_first_not_of("0123456789", Prefix.size()) == std::string::npos;
}

// Whether the link's path is the device's path, one of the links on the way
// to the device, or the device itself once both are resolved.
bool LeadsToDevice(const fs::path& link, const std::string& devicePath) {
  if (devicePath.empty() || devicePath.front() != '/') return false;
  fs::path at = fs::path(devicePath).lexically_normal();
  for (int depth = 0; depth < MaxLinkDepth; ++depth) {
    if (at == link) return true;
    const std::string target = LinkTarget(at.string());
    if (target.empty()) break;
    at = ResolvedTarget(at, target);
  }
  std::error_code linkError;
  std::error_code deviceError;
  const fs::path linkReal = fs::canonical(link, linkError);
  const fs::path deviceReal = fs::canonical(devicePath, deviceError);
  return !linkError && !deviceError && linkReal == deviceReal;
}

// Why what is at linkPath now may not be replaced; "" when nothing is there
// or it is a dead run's link.
std::string ExistingRefusal(const fs::path& link) {
  struct stat existing {};
  if (lstat(link.c_str(), &existing) != 0) return "";
  if (!S_ISLNK(existing.st_mode)) return link.string() + " exists and is not a symbolic link; it is left as it is";
  const std::string target = LinkTarget(link.string());
  const fs::path resolved = ResolvedTarget(link, target);
  if (!IsPtySlavePath(resolved)) {
    return link.string() + " is a symbolic link to " + target + ", not to a pseudo-terminal; it is left as it is";
  }
  struct stat node {};
  if (stat(resolved.c_str(), &node) != 0) return "";  // its pseudo-terminal has gone with its program
  const PortHolder holder = FindPtyHolder(resolved.string());
  const std::string user =
      holder.Pid == 0 ? std::string("another program")
                      : "pid " + std::to_string(holder.Pid) + (holder.Name.empty() ? "" : " (" + holder.Name + ")");
  return link.string() + " leads to " + resolved.string() + ", which is in use by " + user + "; it is left as it is";
}

}  // namespace

std::string PtyLink::Refusal(const std::string& linkPath, const std::string& devicePath) {
  const fs::path link = fs::path(linkPath).lexically_normal();
  if (LeadsToDevice(link, devicePath)) {
    return "the link " + linkPath + " is the device " + devicePath + " itself; give the link a name of its own";
  }
  return ExistingRefusal(link);
}

std::unique_ptr<PtyLink> PtyLink::Create(const std::string& linkPath, const std::string& target,
                                         const std::string& devicePath, std::string* error) {
  if (std::string refused = Refusal(linkPath, devicePath); !refused.empty()) {
    *error = std::move(refused);
    return nullptr;
  }
  // What is left at the path is the link of a run that did not end normally.
  if (unlink(linkPath.c_str()) != 0 && errno != ENOENT) {
    *error = "cannot replace the link " + linkPath + ": " + std::strerror(errno);
    return nullptr;
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
