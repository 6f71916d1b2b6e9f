// Only this user's monitors feed a capture: the folder must be private and
// the process behind the socket must run as this user.

#include "extcap/MonitorSocket.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "support/TempDir.h"

namespace tapwise {
namespace {

TEST(MonitorSocket, OnlyAPrivateFolderOfOursIsTrusted) {
  TempDir dir;
  const std::string open = dir / "open";
  const std::string closed = dir / "closed";
  ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(closed.c_str(), 0700), 0);
  ASSERT_EQ(::symlink(closed.c_str(), (dir / "link").c_str()), 0);
  TempDir::WriteFile(dir / "file", "");
  EXPECT_TRUE(LiveFeedFolderIsPrivate(closed));
  EXPECT_FALSE(LiveFeedFolderIsPrivate(open));
  EXPECT_FALSE(LiveFeedFolderIsPrivate(dir / "link"));
  EXPECT_FALSE(LiveFeedFolderIsPrivate(dir / "file"));
  EXPECT_FALSE(LiveFeedFolderIsPrivate(dir / "missing"));
}

int Listen(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) return -1;
  return fd;
}

TEST(MonitorSocket, ConnectsToAListenerOfOurs) {
  TempDir dir;
  const int listener = Listen(dir / "live-1.sock");
  ASSERT_GE(listener, 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  const int fd = ConnectToMonitor(dir / "live-1.sock", true);
  EXPECT_GE(fd, 0) << std::strerror(errno);
  if (fd >= 0) ::close(fd);
  EXPECT_EQ(ConnectToMonitor(dir / "live-2.sock", false), -1);
  EXPECT_EQ(errno, ENOENT);
  ::close(listener);
}

// A socket whose listener runs as another user (here: one that gave up
// root before listening) is refused even where the connect succeeds.
TEST(MonitorSocket, RefusesAListenerOfAnotherUser) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to listen as another user";
  TempDir dir;
  const std::string path = dir / "live-3.sock";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const int listener = Listen(path);
    ::chmod(path.c_str(), 0777);
    // The peer credentials are those of the moment of listen().
    if (listener < 0 || ::setresuid(65534, 65534, 65534) != 0 || ::listen(listener, 4) != 0) _exit(1);
    (void)::write(ready[1], "x", 1);
    ::pause();
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  EXPECT_EQ(ConnectToMonitor(path, false), -1);
  EXPECT_EQ(errno, EPERM);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
}  // namespace tapwise
