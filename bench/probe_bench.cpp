// probe_bench: what looking for other programs' open ports costs at start.
//
// Before a port opens, the monitor looks through /proc for other processes
// that have its device open. The bench starts P idle processes (default
// 1000), each holding 16 descriptors, so that /proc looks like a busy
// desktop, and measures:
//   - one look at every process's descriptors (what a probe of all 128
//     slots costs, since the probe looks once for all of them);
//   - the same look made once per slot, as a probe would without sharing
//     (eight looks, times sixteen);
//   - `tapwise -list-ports` with all 128 slots mapped to pseudo-terminals of
//     the bench's own, from start to exit (every slot exists and is looked up).
//
// It prints numbers. It exits 2 when it could not run, otherwise 0.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/PortHolder.h"
#include "support/Timing.h"
#include "tests/support/Pty.h"

namespace {

using namespace tapwise;
using namespace tapwise::bench;

constexpr int SlotCount = 128;
constexpr int DescriptorsEach = 16;

// Idle children that hold descriptors of /dev/null until killed.
class Crowd {
 public:
  explicit Crowd(int count) {
    for (int i = 0; i < count; ++i) {
      const pid_t pid = fork();
      if (pid == 0) {
        // Not the bench's own pseudo-terminals: only what a small program holds.
        for (int fd = 3; fd < 1024; ++fd) close(fd);
        for (int d = 0; d < DescriptorsEach; ++d) open("/dev/null", O_RDONLY);
        pause();
        _exit(0);
      }
      if (pid < 0) break;
      m_pids.push_back(pid);
    }
  }
  ~Crowd() {
    for (pid_t pid : m_pids) kill(pid, SIGKILL);
    for (pid_t pid : m_pids) waitpid(pid, nullptr, 0);
  }
  size_t Size() const { return m_pids.size(); }

 private:
  std::vector<pid_t> m_pids;
};

int RunList(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int processes = 1000;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--processes") == 0) processes = std::atoi(argv[i + 1]);
  }
  std::vector<std::unique_ptr<Pty>> ptys;
  std::vector<std::string> args{TAPWISE_PROGRAM, "-list-ports"};
  for (int n = 1; n <= SlotCount; ++n) {
    ptys.push_back(std::make_unique<Pty>());
    if (!ptys.back()->Ok()) {
      std::fprintf(stderr, "probe_bench: %s\n", ptys.back()->Error().c_str());
      return 2;
    }
    args.push_back("-port:" + std::to_string(n) + "=" + ptys.back()->SlavePath());
  }
  Crowd crowd(processes);
  SleepSeconds(0.5);  // let every child open its descriptors
  std::printf("processes besides the bench: %zu, %d descriptors each\n", crowd.Size(), DescriptorsEach);

  auto start = BenchClock::now();
  const OpenerIndex index = OpenerIndex::Scan();
  const double once = Milliseconds(BenchClock::now() - start);
  std::printf("one look at /proc:                    %8.1f ms\n", once);

  // Eight looks stand for the 128 a probe without sharing would make.
  start = BenchClock::now();
  for (int i = 0; i < 8; ++i) (void)FindPortHolder(ptys[static_cast<size_t>(i)]->SlavePath());
  std::printf("a look per slot (128, from 8):        %8.1f ms\n", Milliseconds(BenchClock::now() - start) * 16);

  start = BenchClock::now();
  const int status = RunList(args);
  std::printf("tapwise -list-ports, 128 slots:       %8.1f ms (exit %d)\n", Milliseconds(BenchClock::now() - start),
              status);
  return status == 0 ? 0 : 2;
}
