// extcap_bench: how long `tapwise-extcap --extcap-interfaces` takes, which
// the packet analyser runs every time it starts and waits for (the aim is
// at most 200 ms).
//
// First with no monitor running (the listing looks at the default ports'
// device nodes, opening none), then with M monitors (default 16) of P
// virtual ports each (default 16) running headless in a runtime folder of
// the bench's own, every one of which is asked for its ports. R runs each
// (default 50): median, 99th percentile and worst, and the interfaces
// listed (M x (P + 1) expected).
//
//   extcap_bench [--monitors M] [--ports P] [--runs R]
//
// It prints numbers. It exits 2 when it could not run, otherwise 0.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/BenchProcess.h"
#include "support/Percentile.h"
#include "support/Timing.h"

namespace {

using namespace tapwise::bench;

struct Listing {
  double Ms = 0;
  size_t Interfaces = 0;
  int Status = -1;
};

Listing ListOnce() {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  const auto start = BenchClock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    execl(TAPWISE_EXTCAP, TAPWISE_EXTCAP, "--extcap-interfaces", "--extcap-version=4.0", nullptr);
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[65536];
  for (ssize_t n; (n = read(out[0], buffer, sizeof(buffer))) > 0;) text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  Listing listing;
  listing.Ms = Milliseconds(BenchClock::now() - start);
  listing.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  for (size_t at = text.find("\ninterface "); at != std::string::npos; at = text.find("\ninterface ", at + 1)) {
    ++listing.Interfaces;
  }
  return listing;
}

bool Measure(const char* what, int runs) {
  std::vector<double> times;
  size_t interfaces = 0;
  for (int i = 0; i < runs; ++i) {
    const Listing listing = ListOnce();
    if (listing.Status != 0) {
      std::fprintf(stderr, "extcap_bench: tapwise-extcap ended with status %d\n", listing.Status);
      return false;
    }
    times.push_back(listing.Ms);
    interfaces = listing.Interfaces;
  }
  std::sort(times.begin(), times.end());
  std::printf("%-40s median %6.1f ms  p99 %6.1f ms  worst %6.1f ms  (%zu interfaces)\n", what,
              Percentile(times, 50), Percentile(times, 99), times.back(), interfaces);
  return true;
}

size_t Sockets(const std::string& folder) {
  std::error_code error;
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".sock") ++count;
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  int monitors = 16;
  int ports = 16;
  int runs = 50;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--monitors") == 0) monitors = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--ports") == 0) ports = std::clamp(std::atoi(argv[i + 1]), 1, 128);
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
  }
  char runtime[] = "/tmp/extcap-bench-XXXXXX";
  if (mkdtemp(runtime) == nullptr) {
    std::perror("extcap_bench: mkdtemp");
    return 2;
  }
  setenv("XDG_RUNTIME_DIR", runtime, 1);
  const std::string folder = std::string(runtime) + "/tapwise";

  int status = Measure("no monitor (default ports, none opened):", runs) ? 0 : 2;

  std::vector<std::unique_ptr<BenchProcess>> running;
  for (int m = 0; m < monitors && status == 0; ++m) {
    // Virtual ports only, so that no real port is opened.
    std::vector<std::string> args = {TAPWISE_PROGRAM, "-headless", "-only:1-" + std::to_string(ports)};
    for (int n = 1; n <= ports; ++n) args.push_back("-port:" + std::to_string(n) + "=pty");
    running.push_back(std::make_unique<BenchProcess>());
    std::string problem;
    if (!running.back()->Start(args, {}, problem)) {
      std::fprintf(stderr, "extcap_bench: %s\n", problem.c_str());
      status = 2;
    }
  }
  const auto deadline = BenchClock::now() + std::chrono::seconds(30);
  while (status == 0 && Sockets(folder) < static_cast<size_t>(monitors) && BenchClock::now() < deadline) {
    SleepSeconds(0.05);
  }
  if (status == 0 && Sockets(folder) < static_cast<size_t>(monitors)) {
    std::fprintf(stderr, "extcap_bench: only %zu of %d monitors serve a live feed\n", Sockets(folder), monitors);
    status = 2;
  }
  if (status == 0) {
    const std::string what = std::to_string(monitors) + " monitors x " + std::to_string(ports) + " ports:";
    if (!Measure(what.c_str(), runs)) status = 2;
  }
  running.clear();
  std::filesystem::remove_all(runtime);
  return status;
}
