#pragma once
// A program run under measurement: tapwise itself, or the reference reader.
// Unlike the tests' ChildProcess, which keeps all output in memory to match
// it, this streams standard output on a thread of its own into a consumer
// (hundreds of megabytes over a run), collects standard error on another,
// finds the program on PATH, and takes the child's own CPU time from wait4
// when it is stopped. Standard input is /dev/null.

#include <sys/resource.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tapwise::bench {

class BenchProcess {
 public:
  using OutputSink = std::function<void(const char* data, size_t size)>;

  BenchProcess() = default;
  ~BenchProcess() { Stop(); }
  BenchProcess(const BenchProcess&) = delete;
  BenchProcess& operator=(const BenchProcess&) = delete;

  // Starts args[0] (looked up on PATH) with args. Its standard output goes,
  // piece by piece, to `onOutput` (called on the output thread), or to
  // /dev/null when onOutput is empty. False with the reason in `problem`.
  bool Start(const std::vector<std::string>& args, OutputSink onOutput, std::string& problem);

  pid_t Pid() const { return m_pid; }

  // Its standard error lines; `ports` picks the "COMn path" lines, which
  // tapwise writes for each port it opened, or all others.
  std::vector<std::string> ErrorLines(bool ports) const;
  // Waits for `count` "COMn path" lines or for time to run out; how many came.
  size_t WaitForPorts(size_t count, double seconds) const;
  // True once it holds all of `paths` open (for a program that has no other
  // way to say so).
  bool WaitUntilOpen(const std::vector<std::string>& paths, double seconds) const;

  // While it runs: utime + stime from /proc/<pid>/stat (10 ms steps), and
  // its number of threads.
  double CpuSecondsSoFar() const;
  int ThreadCount() const;

  // SIGTERM (SIGKILL after 10 s), reaps it and waits until its output has
  // been read to the end. Does nothing when it is not running.
  void Stop();
  // After Stop: user + system time of its whole life, and how it ended.
  double CpuSeconds() const;
  std::string ExitText() const;

 private:
  pid_t m_pid = -1;
  std::thread m_outputReader;
  std::thread m_errorReader;
  mutable std::mutex m_errorMutex;
  std::string m_errorText;
  rusage m_usage{};
  int m_status = 0;
};

}  // namespace tapwise::bench
