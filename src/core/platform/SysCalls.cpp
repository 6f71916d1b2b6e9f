#include "core/platform/SysCalls.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tapwise {

int SysCalls::Open(const char* path, int flags) { return ::open(path, flags); }

int SysCalls::Close(int fd) { return ::close(fd); }

int SysCalls::Dup(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

ssize_t SysCalls::Read(int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); }

ssize_t SysCalls::Write(int fd, const void* data, size_t count) { return ::write(fd, data, count); }

int SysCalls::Poll(pollfd* fds, unsigned long count, int timeoutMs) {
  return ::poll(fds, static_cast<nfds_t>(count), timeoutMs);
}

int SysCalls::Ioctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }

int SysCalls::Flock(int fd, int operation) { return ::flock(fd, operation); }

int SysCalls::Tcdrain(int fd) { return ::tcdrain(fd); }

int SysCalls::Tcflush(int fd, int queue) { return ::tcflush(fd, queue); }

int SysCalls::Tcgetattr(int fd, termios* settings) { return ::tcgetattr(fd, settings); }

int SysCalls::Tcsetattr(int fd, int when, const termios* settings) { return ::tcsetattr(fd, when, settings); }

int SysCalls::Kill(pid_t pid, int signal) { return ::kill(pid, signal); }

int SysCalls::Fstat(int fd, struct stat* info) { return ::fstat(fd, info); }

SysCalls& RealSysCalls() {
  static SysCalls real;
  return real;
}

}  // namespace tapwise
