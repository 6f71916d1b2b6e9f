#pragma once
// Who holds a busy port, so that the user can be told which program to
// close: found by looking for an open descriptor of the same device among
// the processes in /proc that we may look into.

#include <string>
#include <sys/types.h>

namespace tapwise {

struct PortHolder {
  pid_t Pid = 0;      // 0 when no holder was found
  std::string Name;   // the holder's command name, as ps shows it
};

// The first other process with the device at path open; Pid 0 when none is
// visible (another user's process, or a holder that uses only a lock file).
PortHolder FindPortHolder(const std::string& path, const std::string& procRoot = "/proc");

// ", held by NAME, pid N", or "" when no holder was found.
std::string PortHolderText(const std::string& path);

}  // namespace tapwise
