#pragma once
// Runs a program with its standard output and error in pipes, for end-to-end
// tests of the command-line front end.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tapwise {

class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();  // kills the child if it is still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return m_pid > 0; }
  pid_t Pid() const { return m_pid; }

  // Reads until done(output) holds or the timeout passes; true when it holds.
  bool ReadStdoutUntil(const std::function<bool(const std::string&)>& done,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5));
  bool ReadStderrUntil(const std::function<bool(const std::string&)>& done,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5));
  const std::string& Stdout() const { return m_out; }
  const std::string& Stderr() const { return m_err; }

  void Signal(int signal);
  // Waits for the child to end, reading what is left of its output; the exit
  // status, or -1 when it did not end in time or was killed by a signal.
  int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));

 private:
  bool ReadUntil(int& fd, std::string& into, const std::function<bool(const std::string&)>& done,
                 std::chrono::milliseconds timeout);
  void DrainBoth(int timeoutMs);

  pid_t m_pid = -1;
  int m_outFd = -1;
  int m_errFd = -1;
  std::string m_out;
  std::string m_err;
  int m_status = -1;
  bool m_reaped = false;
};

}  // namespace tapwise
