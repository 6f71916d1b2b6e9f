#pragma once
// Where running monitors offer their live feeds, and how a client finds
// them. Each monitor serves one Unix-domain stream socket, live-PID.sock, in
// a folder only its user can enter:
//   $XDG_RUNTIME_DIR/tapwise/   when XDG_RUNTIME_DIR is set (it is per user
//                               and cleared at log-out);
//   /tmp/tapwise-UID/           otherwise; made 0700 and refused unless it
//                               is a real folder of ours that nobody else
//                               may enter, since /tmp is shared.
// Plain functions, no state; any thread.

#include <sys/types.h>

#include <string>
#include <vector>

#include "core/util/Result.h"

namespace tapwise {

// The folder for this user, from the environment.
std::string LiveFeedFolder();
// Makes the folder when missing (0700); fails, saying why, when it is not a
// folder of this user's closed to others.
[[nodiscard]] Result PrepareLiveFeedFolder(const std::string& folder);
// folder/live-PID.sock
std::string LiveFeedSocketPath(const std::string& folder, pid_t pid);

struct RunningMonitor {
  pid_t Pid = 0;
  std::string SocketPath;
};
// The monitors whose socket is in the folder and whose process still runs,
// by process id; a socket left behind by one that crashed is skipped.
std::vector<RunningMonitor> RunningMonitors(const std::string& folder);

}  // namespace tapwise
