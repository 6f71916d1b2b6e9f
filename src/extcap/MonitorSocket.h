#pragma once
// Connecting to a running monitor's live feed, as only its own user may:
// the folder must be this user's and closed to others (a folder planted in
// a shared /tmp must not feed the analyser someone else's bytes), and the
// process at the other end must run as this user.

#include <string>

namespace tapwise {

// Whether the live-feed folder may be trusted: a real folder (not a link)
// of this user's that nobody else may enter. A missing folder is not.
bool LiveFeedFolderIsPrivate(const std::string& folder);

// A connected stream socket, or -1 with errno set (EPERM: the peer runs as
// another user). nonBlocking: the socket is left non-blocking.
int ConnectToMonitor(const std::string& socketPath, bool nonBlocking);

}  // namespace tapwise
