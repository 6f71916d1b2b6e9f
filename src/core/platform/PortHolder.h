#pragma once
// Who else has a device open, so that a port another program uses is left
// alone (even one opened plainly, without any lock) and the user can be
// told which program to close: found by looking at the open descriptors of
// the processes in /proc that we may look into. Our own process never
// counts: the pseudo-terminals of our virtual ports, pairs and taps are ours.
//
// One look at /proc costs a readlink per descriptor of every process, so a
// probe of many ports takes one OpenerIndex and asks it for each port.

#include <sys/types.h>

#include <string>
#include <unordered_map>

namespace tapwise {

struct PortHolder {
  pid_t Pid = 0;      // 0 when no holder was found
  std::string Name;   // the holder's command name, as ps shows it
};

// The character devices that other processes have open, as one look at
// procRoot found them.
class OpenerIndex {
 public:
  static OpenerIndex Scan(const std::string& procRoot = "/proc");

  // The first other process with the device at path open; Pid 0 when none
  // was seen (another user's process, a path that is no device).
  PortHolder Find(const std::string& path) const;
  PortHolder Find(dev_t device) const;
  bool Has(dev_t device) const { return m_openers.count(device) != 0; }

 private:
  std::string m_procRoot;
  std::unordered_map<dev_t, pid_t> m_openers;
};

// The first other process with the device at path open (one look at /proc).
PortHolder FindPortHolder(const std::string& path, const std::string& procRoot = "/proc");

// The process that holds the master side of the pseudo-terminal whose slave
// is at path (/dev/pts/N), or else one that has its slave open; Pid 0 when
// none is visible. Our own process counts here.
PortHolder FindPtyHolder(const std::string& path, const std::string& procRoot = "/proc");

// ", held by NAME, pid N", or "" when no holder was found.
std::string PortHolderText(const std::string& path);

}  // namespace tapwise
