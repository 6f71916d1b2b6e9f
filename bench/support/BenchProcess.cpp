#include "support/BenchProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/Timing.h"

extern char** environ;

namespace tapwise::bench {

bool BenchProcess::Start(const std::vector<std::string>& args, OutputSink onOutput, std::string& problem) {
  const bool captureOut = static_cast<bool>(onOutput);
  int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
  if ((captureOut && pipe2(outPipe, O_CLOEXEC) != 0) || pipe2(errPipe, O_CLOEXEC) != 0) {
    problem = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  // A large pipe keeps the child from waiting on the bench between its reads.
  if (captureOut) fcntl(outPipe[0], F_SETPIPE_SZ, 1 << 20);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (captureOut) {
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (captureOut) close(outPipe[1]);
  close(errPipe[1]);
  if (rc != 0) {
    problem = "cannot start " + args[0] + ": " + std::strerror(rc);
    if (captureOut) close(outPipe[0]);
    close(errPipe[0]);
    return false;
  }
  m_pid = pid;
  m_errorReader = std::thread([this, fd = errPipe[0]] {
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      std::lock_guard lock(m_errorMutex);
      m_errorText.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
  });
  if (captureOut) {
    m_outputReader = std::thread([fd = outPipe[0], sink = std::move(onOutput)] {
      std::vector<char> buffer(1 << 18);
      for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        sink(buffer.data(), static_cast<size_t>(n));
      }
      close(fd);
    });
  }
  return true;
}

std::vector<std::string> BenchProcess::ErrorLines(bool ports) const {
  std::lock_guard lock(m_errorMutex);
  std::vector<std::string> lines;
  std::istringstream text(m_errorText);
  for (std::string line; std::getline(text, line);) {
    bool port = line.size() > 4 && line.compare(0, 3, "COM") == 0 && line[3] >= '0' && line[3] <= '9';
    if (port == ports) lines.push_back(line);
  }
  return lines;
}

size_t BenchProcess::WaitForPorts(size_t count, double seconds) const {
  auto start = BenchClock::now();
  while (ErrorLines(true).size() < count && SecondsSince(start) < seconds) SleepSeconds(0.02);
  return ErrorLines(true).size();
}

bool BenchProcess::WaitUntilOpen(const std::vector<std::string>& paths, double seconds) const {
  auto start = BenchClock::now();
  while (SecondsSince(start) < seconds) {
    size_t found = 0;
    for (int fd = 0; fd < 1024; ++fd) {
      char link[256];
      std::string path = "/proc/" + std::to_string(m_pid) + "/fd/" + std::to_string(fd);
      ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
      if (n > 0) found += std::count(paths.begin(), paths.end(), std::string(link, static_cast<size_t>(n)));
    }
    if (found >= paths.size()) return true;
    SleepSeconds(0.02);
  }
  return false;
}

double BenchProcess::CpuSecondsSoFar() const {
  std::ifstream file("/proc/" + std::to_string(m_pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  size_t nameEnd = text.rfind(')');  // the name may hold spaces
  std::istringstream fields(nameEnd == std::string::npos ? "" : text.substr(nameEnd + 2));
  std::string field;
  unsigned long long ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i >= 14) ticks += std::stoull(field);
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int BenchProcess::ThreadCount() const {
  int threads = 0;
  std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("Threads:", 0) == 0) threads = std::atoi(line.c_str() + 8);
  return threads;
}

void BenchProcess::Stop() {
  if (m_pid > 0) {
    kill(m_pid, SIGTERM);
    auto start = BenchClock::now();
    while (wait4(m_pid, &m_status, WNOHANG, &m_usage) != m_pid) {
      if (SecondsSince(start) > 10) {
        kill(m_pid, SIGKILL);
        wait4(m_pid, &m_status, 0, &m_usage);
        break;
      }
      SleepSeconds(0.005);
    }
    m_pid = -1;
  }
  if (m_errorReader.joinable()) m_errorReader.join();
  if (m_outputReader.joinable()) m_outputReader.join();
}

double BenchProcess::CpuSeconds() const {
  auto value = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return value(m_usage.ru_utime) + value(m_usage.ru_stime);
}

std::string BenchProcess::ExitText() const {
  if (WIFEXITED(m_status)) return "exit status " + std::to_string(WEXITSTATUS(m_status));
  if (WIFSIGNALED(m_status)) return std::string("killed by ") + strsignal(WTERMSIG(m_status));
  return "status " + std::to_string(m_status);
}

}  // namespace tapwise::bench
