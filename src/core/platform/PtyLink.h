#pragma once
// A symbolic link of the user's choosing to a pseudo-terminal that the
// program made, so that an application can be configured once with a path
// that stays the same from run to run, whatever /dev/pts number the kernel
// hands out. The link is made by Create and removed by the destructor.
//
// Only a link that can be nobody's but a dead run's is replaced: one that
// leads to a /dev/pts node which no longer exists (the program was killed).
// A link to a pseudo-terminal that is alive belongs to a running program (a
// second monitor, a terminal that got the number since), a link to anything
// else is the user's own, and anything at the path that is no link (a file,
// a device, a folder) is never touched either. A link that is, or leads to,
// the device being tapped is refused: re-pointing it would make the tap
// open itself, and removing it would take the user's name for the device.

#include <memory>
#include <string>

#include "core/util/Result.h"

namespace tapwise {

class PtyLink {
 public:
  // Why a link at linkPath may not be made for a tap of devicePath (which
  // may be "" when the device has no path), in plain words without naming
  // the option; "" when it may. Nothing on disk changes.
  static std::string Refusal(const std::string& linkPath, const std::string& devicePath);

  // The link at linkPath to target, after the same checks; a failure
  // carries the reason as Refusal words it.
  static std::unique_ptr<PtyLink> Create(const std::string& linkPath, const std::string& target,
                                         const std::string& devicePath, std::string* error);

  ~PtyLink();
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  PtyLink(std::string path, std::string target);

  std::string m_path;
  std::string m_target;
};

}  // namespace tapwise
