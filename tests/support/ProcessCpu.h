#pragma once
// CPU time (user and system) of a process, for the checks that something
// idle or waiting does not spin.

#include <sys/resource.h>

namespace tapwise {

inline double CpuSeconds(const rusage& usage) {
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// This process's CPU time so far.
inline double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return CpuSeconds(usage);
}

}  // namespace tapwise
