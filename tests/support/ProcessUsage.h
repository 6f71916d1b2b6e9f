#pragma once
// What the test process itself uses, for tests that a thread does not spin
// or that nothing leaks: its CPU time and its open descriptors and threads.

#include <sys/resource.h>

#include <cstdint>
#include <vector>

namespace tapwise {

// User + system time of the whole process so far, in seconds.
double CpuSeconds();
// The same for a usage another process reported (wait4, getrusage of children).
double CpuSeconds(const rusage& usage);
// Entries of a /proc/self folder: open descriptors ("fd") or threads ("task").
int CountProcEntries(const char* folder);
// The characters of text, as bytes.
std::vector<uint8_t> TextBytes(const char* text);

}  // namespace tapwise
