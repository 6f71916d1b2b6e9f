#include "support/ProcessUsage.h"

#include <cstring>
#include <filesystem>
#include <string>

namespace tapwise {

double CpuSeconds(const rusage& usage) {
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return CpuSeconds(usage);
}

int CountProcEntries(const char* folder) {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(std::string("/proc/self/") + folder)) {
    ++count;
  }
  return count;
}

std::vector<uint8_t> TextBytes(const char* text) { return std::vector<uint8_t>(text, text + std::strlen(text)); }

}  // namespace tapwise
