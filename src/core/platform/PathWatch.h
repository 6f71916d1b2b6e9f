#pragma once
// Tells when paths that do not work yet may have started to: one inotify
// descriptor that watches the folders on the way to them. A folder that does
// not exist yet (/dev/serial/by-id before the first adapter) is stood in for
// by its nearest existing ancestor, which reports the folder's creation; a
// symbolic link's target folder is watched too, so a link that is there
// before its device still brings news of the device.
//
// Only creation, arrival by rename and changes of attributes (udev sets a
// new node's group a moment after creating it) are asked for: opens, reads
// and writes of other devices in /dev never wake the watcher.
//
// One thread uses an instance; nothing here blocks.

#include <string>

namespace tapwise {

class PathWatch {
 public:
  PathWatch();
  ~PathWatch();
  PathWatch(const PathWatch&) = delete;
  PathWatch& operator=(const PathWatch&) = delete;

  // False when the system gave no inotify instance; Follow then does nothing
  // and Handle is -1.
  bool Ok() const { return m_fd >= 0; }
  // Polls readable when something happened in a watched folder.
  int Handle() const { return m_fd; }

  // Watches the deepest existing folder on the way to path (and to a link's
  // target). Call it again whenever an event came: the folders may have
  // changed. Watching a folder twice costs nothing.
  void Follow(const std::string& path);

  // Reads what has happened; true when anything did (or events were lost),
  // so that every path should be looked at again.
  bool TakeEvents();

  // Whether path leads to something now (links followed).
  static bool Exists(const std::string& path);

 private:
  void WatchNearestFolder(const std::string& path);

  int m_fd = -1;
};

}  // namespace tapwise
