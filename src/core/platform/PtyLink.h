#pragma once
// A symbolic link of the user's choosing to a pseudo-terminal that the
// program made, so that an application can be configured once with a path
// that stays the same from run to run, whatever /dev/pts number the kernel
// hands out. The link is made by Create and removed by the destructor.
//
// A link left over from an earlier run (the program was killed) is replaced;
// anything else at the path (a file, a device, a folder) is never touched.

#include <memory>
#include <string>

#include "core/util/Result.h"

namespace tapwise {

class PtyLink {
 public:
  // The link at linkPath to target; a failure carries the reason, in plain
  // words, without naming the option that asked for it.
  static std::unique_ptr<PtyLink> Create(const std::string& linkPath, const std::string& target, std::string* error);

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
