#pragma once
// The fuzz input as a file the record readers can open: an anonymous
// in-memory file, reached through its /proc path.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace tapwise {

class FuzzFile {
 public:
  FuzzFile(const uint8_t* data, size_t size) {
    m_fd = memfd_create("tapwise-fuzz", MFD_CLOEXEC);
    if (m_fd < 0) std::abort();
    size_t done = 0;
    while (done < size) {
      ssize_t n = write(m_fd, data + done, size - done);
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
    m_path = "/proc/self/fd/" + std::to_string(m_fd);
  }
  ~FuzzFile() { close(m_fd); }
  FuzzFile(const FuzzFile&) = delete;
  FuzzFile& operator=(const FuzzFile&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  int m_fd = -1;
  std::string m_path;
};

// Stops the fuzzer with a crash report when an invariant does not hold.
inline void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace tapwise
