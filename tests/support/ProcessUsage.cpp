#include "support/ProcessUsage.h"

#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace tapwise {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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
