#pragma once
// The one seam between the serial device layer and the kernel. Every call the
// devices make goes through a SysCalls object handed to them at construction,
// so a test can derive from it and make a call fail (EINTR, EAGAIN, EIO) or
// come up short where a real pseudo-terminal never would.
//
// The methods behave exactly like the system calls they are named after:
// -1 (or a negative count) with errno set on failure. The base class makes
// the real calls and holds no state, so one instance serves every thread.
//
// This header declares termios and pollfd without defining them, because the
// termios2 translation unit includes it next to <asm/termbits.h>, which
// clashes with <termios.h>.

#include <sys/types.h>

#include <cstddef>

struct termios;
struct pollfd;
struct stat;

namespace tapwise {

class SysCalls {
 public:
  virtual ~SysCalls() = default;

  virtual int Open(const char* path, int flags);
  virtual int Close(int fd);
  // A second descriptor on the same open file, closed on exec.
  virtual int Dup(int fd);
  virtual ssize_t Read(int fd, void* buffer, size_t count);
  virtual ssize_t Write(int fd, const void* data, size_t count);
  virtual int Poll(pollfd* fds, unsigned long count, int timeoutMs);
  virtual int Ioctl(int fd, unsigned long request, void* arg);
  virtual int Flock(int fd, int operation);
  virtual int Tcdrain(int fd);
  virtual int Tcflush(int fd, int queue);
  virtual int Tcgetattr(int fd, termios* settings);
  virtual int Tcsetattr(int fd, int when, const termios* settings);
  // kill(pid, 0): whether a process exists (EPERM means it does).
  virtual int Kill(pid_t pid, int signal);
  virtual int Fstat(int fd, struct stat* info);
};

// The calls as the kernel answers them.
SysCalls& RealSysCalls();

}  // namespace tapwise
