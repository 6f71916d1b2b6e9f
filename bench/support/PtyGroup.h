#pragma once
// The benchmarks' ports: pseudo-terminals made with the tests' Pty (the
// benchmark holds each master, the program opens each slave, raw).

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/Pty.h"

namespace tapwise::bench {

// `count` new pseudo-terminals; none, with the reason in `problem`, when any
// of them could not be made.
std::vector<Pty> MakePtys(size_t count, std::string& problem);

}  // namespace tapwise::bench
