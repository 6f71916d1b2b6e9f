#pragma once
// Conditions on a program's output for ChildProcess::Read…Until.

#include <cstddef>
#include <string>

namespace tapwise {

// At least count lines ended by CR LF (packet data lines).
inline auto HasLines(size_t count) {
  return [count](const std::string& out) {
    size_t lines = 0;
    for (size_t at = out.find("\r\n"); at != std::string::npos; at = out.find("\r\n", at + 2)) ++lines;
    return lines >= count;
  };
}

inline auto Contains(const std::string& text) {
  return [text](const std::string& out) { return out.find(text) != std::string::npos; };
}

}  // namespace tapwise
