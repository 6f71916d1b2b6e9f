#pragma once
// The reference a tap is measured against: the plainest copy between two
// pseudo-terminals, with poll, read and write and nothing else, on a thread
// of its own. It opens the slave of `device` (as the program would the
// device) and copies both ways between it and the master of `app`, whose
// slave the benchmark opens as the application.

#include <atomic>
#include <string>
#include <thread>

namespace tapwise::bench {

class DirectCopy {
 public:
  DirectCopy(const std::string& deviceSlave, int appMaster);
  ~DirectCopy();
  DirectCopy(const DirectCopy&) = delete;
  DirectCopy& operator=(const DirectCopy&) = delete;
  bool Ok() const { return m_device >= 0; }

 private:
  void Run();

  int m_device = -1;
  int m_app = -1;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

}  // namespace tapwise::bench
