#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace tapwise {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int out[2];
  int err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  if (posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0) m_pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  m_outFd = out[0];
  m_errFd = err[0];
  fcntl(m_outFd, F_SETFL, O_NONBLOCK);
  fcntl(m_errFd, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
  if (m_pid > 0 && !m_reaped) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
  if (m_outFd >= 0) close(m_outFd);
  if (m_errFd >= 0) close(m_errFd);
}

bool ChildProcess::ReadUntil(int& fd, std::string& into, const std::function<bool(const std::string&)>& done,
                             std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done(into)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || fd < 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[65536];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into.append(buffer, static_cast<size_t>(n));
    } else if (n == 0) {
      close(fd);
      fd = -1;
    }
  }
  return true;
}

bool ChildProcess::ReadStdoutUntil(const std::function<bool(const std::string&)>& done,
                                   std::chrono::milliseconds timeout) {
  return ReadUntil(m_outFd, m_out, done, timeout);
}

bool ChildProcess::ReadStderrUntil(const std::function<bool(const std::string&)>& done,
                                   std::chrono::milliseconds timeout) {
  return ReadUntil(m_errFd, m_err, done, timeout);
}

void ChildProcess::Signal(int signal) {
  if (m_pid > 0 && !m_reaped) kill(m_pid, signal);
}

void ChildProcess::DrainBoth(int timeoutMs) {
  auto never = [](const std::string&) { return false; };
  ReadUntil(m_outFd, m_out, never, std::chrono::milliseconds(timeoutMs));
  ReadUntil(m_errFd, m_err, never, std::chrono::milliseconds(timeoutMs));
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (m_pid <= 0) return -1;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!m_reaped) {
    int status = 0;
    pid_t done = waitpid(m_pid, &status, WNOHANG);
    if (done == m_pid) {
      m_reaped = true;
      m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
    // Keep the pipes flowing so a chatty child cannot block on a full pipe.
    DrainBoth(5);
  }
  DrainBoth(1000);
  return m_status;
}

}  // namespace tapwise
